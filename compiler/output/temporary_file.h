#ifndef VELORIN_OUTPUT_TEMPORARY_FILE_H
#define VELORIN_OUTPUT_TEMPORARY_FILE_H

#include <string>

// Creates a new, empty file that only the current user can read and write
// (mode 0600), in $TMPDIR or, when that is unset or empty, in /tmp. The name
// is drawn by mkstemp, so no other process can have planted a file under it.
// Returns the file's name; on failure reports the reason on the error stream
// and returns "".
std::string createTemporaryFile();

#endif
