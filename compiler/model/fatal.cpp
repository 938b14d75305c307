#include "model/fatal.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

void fatalError(const char* condition, const char* file, int line)
{
    // Only the file's own name: build paths say nothing to the reader.
    const char* slash = std::strrchr(file, '/');
    const char* base = slash ? slash + 1 : file;
    std::cerr << "Fatal error: " << condition << " " << base << line << "\n";
    std::exit(2);
}
