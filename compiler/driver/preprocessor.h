#ifndef VELORIN_DRIVER_PREPROCESSOR_H
#define VELORIN_DRIVER_PREPROCESSOR_H

#include <string>

// The preprocessor command for the input file, without its output redirect:
// cppCommand, " ", includeOptions, defineOptions, " ", the input file.
std::string preprocessorCommand();

// Runs the preprocessor over inputFileName into a new private temporary
// file (preprocessedFileName). 0 on success, -1 when the input file does not
// exist or no temporary file could be created, else the status system()
// returned.
int runPreprocessor();

// Removes the preprocessed file, if there is one; runs at every end of the
// process once preprocessing has started.
void removePreprocessedFile();

#endif
