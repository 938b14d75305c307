#include "output/temporary_file.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

std::string createTemporaryFile()
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = (dir && *dir) ? dir : "/tmp";
    if (pattern.back() != '/')
        pattern += '/';
    pattern += "velorinXXXXXX";

    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());   // mkstemp creates the file with mode 0600
    if (fd < 0) {
        std::perror(pattern.c_str());
        return "";
    }
    close(fd);
    return std::string(name.data());
}
