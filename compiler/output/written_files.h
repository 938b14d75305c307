// The files a compiler run writes, each with what it held before the run,
// so that a run that fails leaves the directory as it found it.
#ifndef VELORIN_OUTPUT_WRITTEN_FILES_H
#define VELORIN_OUTPUT_WRITTEN_FILES_H

#include <string>

// Records that the run is about to write `name`, and the file's content
// when it exists already; only the first call of a run for a name counts.
void noteFileToWrite(const std::string& name);

// Puts back every recorded file: one that existed gets its content back,
// one that did not is removed. The record is emptied.
void undoWrittenFiles();

// Empties the record, keeping the files as they are.
void forgetWrittenFiles();

#endif
