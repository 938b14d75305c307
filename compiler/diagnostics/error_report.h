// The errors of one compiler run, counted by kind. Every part of the
// compiler reports into these counts; the compile flow reads them to decide
// whether a parse or a version succeeded. This is the lowest layer of the
// compiler: it depends on nothing else in it.
#ifndef VELORIN_DIAGNOSTICS_ERROR_REPORT_H
#define VELORIN_DIAGNOSTICS_ERROR_REPORT_H

#include <ostream>

struct errorCounts {
    int syntax = 0;      // syntax errors of the parse
    int semantic = 0;    // semantic errors found during the parse
    int generation = 0;  // errors of the version being generated; cleared after each version

    // Back to no error of any kind, as at the start of a run.
    void clear() { *this = errorCounts(); }
};

// The counts of the current run.
extern errorCounts errorCount;

// Writes "Error: " on the error stream, counts one generation error and
// returns the error stream for the rest of the message.
std::ostream& reportError();

#endif
