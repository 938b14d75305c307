#include "diagnostics/error_report.h"

#include <iostream>

errorCounts errorCount;

std::ostream& reportError()
{
    std::cerr << "Error: ";
    ++errorCount.generation;
    return std::cerr;
}
