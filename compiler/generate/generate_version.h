// The generation of one version of the parsed program: its seven output
// files, in the fixed order of steps that gives every file its layout.
#ifndef VELORIN_GENERATE_GENERATE_VERSION_H
#define VELORIN_GENERATE_GENERATE_VERSION_H

#include "output/version_file_set.h"

class rpcVersion;

// Numbers the procedures, opens the version's output files, and runs every
// generator in order; closes the files at the end. Errors that generators
// count (errorCount.generation) do not stop the sequence. Returns the files
// the version's outcome concerns: its own, or for a version whose number an
// earlier version of the program already used, that version's files, which
// it would have overwritten (it writes nothing itself).
versionFileSet generateVersion(rpcVersion* version);

// Forgets the versions generated so far, so that a version is only refused
// for a number repeated within one run.
void resetGenerationState();

// Gives numbers to the procedures that have none (negative number), counting
// on from the highest one, and applies the VERSION property; reports
// repeated numbers, an explicit 0, a number wider than 32 bits and procedure
// names that differ only in letter case as counted errors.
void numberProcedures(rpcVersion* version);

#endif
