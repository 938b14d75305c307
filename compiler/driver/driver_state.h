#ifndef VELORIN_DRIVER_DRIVER_STATE_H
#define VELORIN_DRIVER_DRIVER_STATE_H

#include <string>

// Process-wide state of one compiler run, set at start-up and then only read.

// The interface file named on the command line (also IDLFILE in the makefile).
extern std::string inputFileName;

// The private temporary file that receives the preprocessor's output; empty
// until preprocessing starts. Removed at every end of the process.
extern std::string preprocessedFileName;

// The preprocessor's options: each " -I" + path, and " -DVELORIN_COMPILE"
// followed by each " -D" + macro, in command-line order.
extern std::string includeOptions;
extern std::string defineOptions;

// The preprocessor command (configuration key CPP).
extern std::string cppCommand;

#endif
