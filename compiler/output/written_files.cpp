#include "output/written_files.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

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
    std::ifstream in(name, std::ios::in | std::ios::binary);
    writtenFile file{name, static_cast<bool>(in), std::string()};
    if (file.existed)
        file.before.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
