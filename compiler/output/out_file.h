#ifndef VELORIN_OUTPUT_OUT_FILE_H
#define VELORIN_OUTPUT_OUT_FILE_H

#include <fstream>
#include <string>

// A file stream that knows its own file name. With the remove flag set, the
// file is removed when the object is destroyed, which for the process-wide
// section files happens at every end of the process through exit().
class outFile {
public:
    // Opens the file for writing (created when missing, emptied when it
    // exists). Whether that worked is checked by stream(), not here.
    outFile(const char* fileName, int removeFlag);
    ~outFile();

    outFile(const outFile&) = delete;
    outFile& operator=(const outFile&) = delete;

    // The stream to write to. A stream in a failed state (its file did not
    // open, or an earlier write failed) ends the process with status 1.
    std::ostream& stream();

    std::string name() const;

    // Closes the stream; text written to it afterwards is lost.
    void close();

    // Empties the file and opens it for writing again under the same name;
    // references to stream() stay valid.
    void reopen();

private:
    std::ofstream file;
    std::string fileName;
    int removeFlag;
};

#endif
