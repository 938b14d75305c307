#ifndef VELORIN_DRIVER_COMPILE_FLOW_H
#define VELORIN_DRIVER_COMPILE_FLOW_H

#include "generate/makefile_generator.h"
#include "output/version_file_set.h"

class rpcProgram;

// The whole compiler run; the result is the process's exit status.
int runCompiler(int argc, char** argv);

// Generates and reports every version of the program.
void compileVersions(rpcProgram* program);

// Reports the files of the version just generated, or its generation errors
// (and then removes its header and C files).
void reportGeneration(const versionFileSet& files);

// Removes the header and the three C files of the set.
void removeGeneratedFiles(const versionFileSet& files);

// The makefile of this run: the configuration's compiler, flags and
// installation, the program's name, the input file, the file base of the
// last version generated and the command line's -I and -D options.
makefileSettings makefileSettingsOfRun();

// Set once a version counted generation errors; the run then ends with
// status 1, since that version's header and C files were removed.
extern int versionsFailed;

#endif
