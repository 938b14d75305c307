#include "output/out_file.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

outFile::outFile(const char* name, int remove)
    : file(name, std::ios::out | std::ios::trunc | std::ios::binary),
      fileName(name),
      removeFlag(remove)
{
}

outFile::~outFile()
{
    file.close();
    if (removeFlag && !fileName.empty())
        std::remove(fileName.c_str());
}

std::ostream& outFile::stream()
{
    if (!file) {
        std::cerr << "Fatal error: fail open file " << fileName << "\n";
        std::exit(1);
    }
    return file;
}

std::string outFile::name() const { return fileName; }

void outFile::close() { file.close(); }

void outFile::reopen()
{
    file.close();
    file.clear();
    if (!fileName.empty())
        file.open(fileName, std::ios::out | std::ios::trunc | std::ios::binary);
    else
        file.setstate(std::ios::failbit);
}
