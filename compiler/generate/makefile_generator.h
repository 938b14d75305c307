#ifndef VELORIN_GENERATE_MAKEFILE_GENERATOR_H
#define VELORIN_GENERATE_MAKEFILE_GENERATOR_H

#include <ostream>
#include <string>

// The makefile of the generated program.
//
// At the end of a compile run the compiler leaves <filePrefix>.mak in the
// current directory: six variable lines (CC, APP, IDLFILE, FILE_PREFIX,
// SYS_LDFLAGS, VELORIN_HOME), after a run with -I or -D options a seventh,
// VELORIN_OPTIONS, that holds them, and then the installation's template
// data/makefile.tml, copied unchanged. A file of that name that exists
// already is never overwritten, so a makefile the programmer has edited
// survives later runs.

// What the makefile is made of: the values of its six variable lines and
// the template that follows them.
struct makefileSettings {
    std::string cc;            // CC: the C compiler command
    std::string app;           // APP: the program name
    std::string idlFile;       // IDLFILE: the interface file
    std::string filePrefix;    // FILE_PREFIX: the file base of the last version, "" when none
    std::string sysLdflags;    // SYS_LDFLAGS
    std::string velorinHome;   // VELORIN_HOME: the installation directory
    std::string options;       // VELORIN_OPTIONS: the -I and -D options, "" when none
    std::string templatePath;  // the installation's data/makefile.tml
};

// Writes the makefile unless it exists; nothing when no version was
// generated (no program in the interface file). Returns 0 when it was written or
// already existed, -1 when it could not be created or written.
int generateMakefile(const makefileSettings& settings);

// Copies every byte of the file at path to stream. A file that cannot be
// opened is reported as a generation error and nothing is copied.
void appendFile(std::ostream& stream, const std::string& path);

#endif
