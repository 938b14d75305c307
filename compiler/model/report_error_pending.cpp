// TEMPORARY definitions of reportError and generationErrorCount until the
// output files (output/output_files.cpp) are in the tree. Deleted when they land.
#include "model/report_error_pending.h"

#include <iostream>

int generationErrorCount = 0;

std::ostream& reportError() {
  std::cerr << "Error: ";
  ++generationErrorCount;
  return std::cerr;
}
