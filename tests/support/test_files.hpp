// Files of the tests: a whole file read into a string or written from one,
// and a fresh scratch directory that goes away with everything in it when
// the test is done.
#ifndef TESTS_SUPPORT_TEST_FILES_HPP
#define TESTS_SUPPORT_TEST_FILES_HPP

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace testsupport {

// The bytes of the file; empty when it cannot be read.
inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file's contents with the bytes of text.
inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A new directory /tmp/<name>.XXXXXX, removed with its contents when the
// object ends unless keep() was called (a failed test keeps its files for
// a look). path() is empty when the directory could not be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
    {
        std::string pattern = "/tmp/" + name + ".XXXXXX";
        if (mkdtemp(&pattern[0]) != nullptr)
            path_ = pattern;
    }
    ~ScratchDir()
    {
        if (!path_.empty() && !kept_) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

}  // namespace testsupport

#endif
