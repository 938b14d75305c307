#ifndef VELORIN_OUTPUT_TEMPORARY_FILE_H
#define VELORIN_OUTPUT_TEMPORARY_FILE_H

#include <string>
#include <vector>

// The directories temporary files are made in, in the order they are tried:
// $TMPDIR when it is set and not empty, then the system's temporary
// directory (P_tmpdir), so that a TMPDIR that cannot take files does not
// stop the run.
std::vector<std::string> temporaryDirectories();

// The name pattern of the temporary files in dir: dir/velorinXXXXXX.
std::string temporaryFilePattern(const std::string& dir);

// Creates a new, empty file that only the current user can read and write
// (mode 0600) in the first of dirs that takes one. The name is drawn by
// mkstemp, so no other process can have planted a file under it. Returns the
// file's name; "" when no directory takes one, after writing for each of
// them its pattern and the reason on the error stream.
std::string createTemporaryFileIn(const std::vector<std::string>& dirs);

// createTemporaryFileIn(temporaryDirectories()).
std::string createTemporaryFile();

#endif
