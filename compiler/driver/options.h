#ifndef VELORIN_DRIVER_OPTIONS_H
#define VELORIN_DRIVER_OPTIONS_H

#include <string>

// Reads the command line: -I path, -D macro, -h, -v and the input file.
// Ends the process after -v (status 0), on a bad option or a missing file
// name (status 1).
void parseOptions(int argc, char** argv);

// The -I and -D options of the command line in their order, each operand
// quoted for the shell as the preprocessor gets it, joined by blanks; ""
// without any. A later run given them preprocesses as this one does.
std::string commandLineOptions();

// "Usage: <programName> [-h] -[-v] [-I path] [-D macro] filename." on the
// error stream.
void printUsage(const char* programName);

#endif
