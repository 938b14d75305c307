#include "driver/path_utils.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string path_append(const std::string& path, const std::string& name)
{
    std::string joined = path;
    if (!joined.empty() && joined.back() != '/')
        joined += '/';
    return joined + name;
}

std::string find_file(const std::string& dir, const std::string& name)
{
    std::string path = path_append(dir, name);
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? path : std::string();
}

std::string is_executable(const std::string& path)
{
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return "";
    return (st.st_mode & 0111) ? path : std::string();
}

void check_alloc(const void* p)
{
    if (!p)
        std::exit(255);
}

int file_type(const std::string& path)
{
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return 0;
    if (S_ISLNK(st.st_mode))
        return 1;
    if (S_ISDIR(st.st_mode))
        return 3;
    if (S_ISREG(st.st_mode))
        return 2;
    return 4;
}

std::string read_link(const std::string& path)
{
    char target[4097] = {0};
    ssize_t length = readlink(path.c_str(), target, 4096);
    if (length < 0)
        return "";
    return std::string(target, static_cast<size_t>(length));
}

std::string dir_name(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string resolve_link(const std::string& path)
{
    std::string target = read_link(path);
    if (target.empty())
        return "";
    if (target[0] == '/')
        return target;
    return dir_name(path) + target;
}

std::string follow_links(const std::string& path)
{
    std::string current = path;
    int linksFollowed = 0;
    while (file_type(current) == 1) {
        if (++linksFollowed > maxLinksFollowed)
            return "";
        current = resolve_link(current);
        if (current.empty())
            return "";
    }
    return file_type(current) == 2 ? is_executable(current) : std::string();
}

std::string find_program(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return dir_name(follow_links(name));

    const char* pathVariable = std::getenv("PATH");
    const std::string searchPath = pathVariable ? pathVariable : "";
    std::string component;
    // Every ':' and every byte at most 32 as a signed character (control
    // characters, blank, bytes 128 to 255) ends a component.
    for (size_t i = 0; i <= searchPath.size(); ++i) {
        bool ends = i == searchPath.size() || searchPath[i] == ':' ||
                    static_cast<signed char>(searchPath[i]) <= 32;
        if (!ends) {
            component += searchPath[i];
            continue;
        }
        if (!component.empty()) {
            std::string candidate = find_file(component, name);
            if (!candidate.empty()) {
                std::string dir = dir_name(follow_links(candidate));
                if (!dir.empty())
                    return dir;
            }
        }
        component.clear();
    }
    return "";
}

namespace {
std::string currentDirectory()
{
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) {
        if (errno == ENOMEM)
            check_alloc(cwd);
        return "";
    }
    std::string dir = cwd;
    std::free(cwd);
    return dir;
}
}  // namespace

std::string program_dir(const std::string& argv0)
{
    std::string dir = find_program(argv0);
    if (dir.empty() || dir[0] == '/')
        return dir;
    std::string cwd = currentDirectory();
    if (cwd.empty())
        return "";
    return cwd + "/" + dir;
}

std::string canonical_dir(const std::string& dir)
{
    // Come back through a descriptor of the current directory, which works
    // even when its name is too long for getcwd or no longer valid.
    int here = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (here < 0)
        return "";
    std::string canonical;
    if (!dir.empty() && chdir(dir.c_str()) == 0) {
        canonical = currentDirectory();
        if (fchdir(here) != 0)
            canonical.clear();
    }
    close(here);
    return canonical;
}
