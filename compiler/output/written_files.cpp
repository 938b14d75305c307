#include "output/written_files.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>
#include <sys/stat.h>

namespace {

struct writtenFile {
    std::string name;
    bool existed;
    std::string before;  // the content when it existed
};

std::vector<writtenFile> writtenFiles;

bool isRecorded(const std::string& name)
{
    for (const writtenFile& file : writtenFiles)
        if (file.name == name)
            return true;
    return false;
}

}  // namespace

void noteFileToWrite(const std::string& name)
{
    if (isRecorded(name))
        return;
    struct stat st;
    writtenFile file{name, stat(name.c_str(), &st) == 0, std::string()};
    // Only a regular file is written over; anything else of that name
    // (a directory) makes the opening fail, and is no concern of the undo.
    if (file.existed && !S_ISREG(st.st_mode))
        return;
    if (file.existed) {
        std::ifstream in(name, std::ios::in | std::ios::binary);
        file.before.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    writtenFiles.push_back(file);
}

void undoWrittenFiles()
{
    for (const writtenFile& file : writtenFiles) {
        if (!file.existed) {
            std::remove(file.name.c_str());
            continue;
        }
        std::ofstream out(file.name, std::ios::out | std::ios::trunc | std::ios::binary);
        out << file.before;
    }
    writtenFiles.clear();
}

void forgetWrittenFiles() { writtenFiles.clear(); }
