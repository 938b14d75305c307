#include "output/temporary_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

std::string withoutTrailingSlashes(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace

std::vector<std::string> temporaryDirectories()
{
    std::vector<std::string> dirs;
    const char* fromEnvironment = std::getenv("TMPDIR");
    if (fromEnvironment && *fromEnvironment)
        dirs.push_back(fromEnvironment);
    const std::string system = P_tmpdir;
    if (dirs.empty() || withoutTrailingSlashes(dirs.front()) != withoutTrailingSlashes(system))
        dirs.push_back(system);
    return dirs;
}

std::string temporaryFilePattern(const std::string& dir)
{
    std::string pattern = dir;
    if (pattern.empty() || pattern.back() != '/')
        pattern += '/';
    return pattern + "velorinXXXXXX";
}

std::string createTemporaryFileIn(const std::vector<std::string>& dirs)
{
    std::string reasons;
    for (const std::string& dir : dirs) {
        std::string name = temporaryFilePattern(dir);
        int fd = mkstemp(&name[0]);   // mkstemp creates the file with mode 0600
        if (fd >= 0) {
            close(fd);
            return name;
        }
        reasons += temporaryFilePattern(dir) + ": " + std::strerror(errno) + "\n";
    }
    std::cerr << reasons;
    return "";
}

std::string createTemporaryFile() { return createTemporaryFileIn(temporaryDirectories()); }
