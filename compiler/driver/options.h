#ifndef VELORIN_DRIVER_OPTIONS_H
#define VELORIN_DRIVER_OPTIONS_H

// Reads the command line: -I path, -D macro, -h, -v and the input file.
// Ends the process after -v (status 0), on a bad option or a missing file
// name (status 1).
void parseOptions(int argc, char** argv);

// "Usage: <programName> [-h] -[-v] [-I path] [-D macro] filename." on the
// error stream.
void printUsage(const char* programName);

#endif
