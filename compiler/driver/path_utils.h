#ifndef VELORIN_DRIVER_PATH_UTILS_H
#define VELORIN_DRIVER_PATH_UTILS_H

#include <string>

// Path helpers for finding the running program and its installation.
// A result of "" stands for "none": no path is ever empty.

// path, then "/" when path is non-empty and does not end in "/", then name.
std::string path_append(const std::string& path, const std::string& name);

// dir joined to name by path_append when that file exists (stat), else "".
std::string find_file(const std::string& dir, const std::string& name);

// path when it exists and has any execute bit (owner, group or others) in
// its mode, else "". Looks at the mode bits only, not at the caller's rights.
std::string is_executable(const std::string& path);

// Ends the process with status 255, without a message, when p is null.
void check_alloc(const void* p);

// The kind of path by lstat: 0 lstat fails, 1 symbolic link, 2 regular file,
// 3 directory, 4 anything else.
int file_type(const std::string& path);

// The target of a symbolic link (at most 4096 bytes), or "" when it cannot
// be read.
std::string read_link(const std::string& path);

// path up to and including its last "/", or "" when it holds no "/".
std::string dir_name(const std::string& path);

// One level of a symbolic link: an absolute target replaces the path, a
// relative one is taken relative to the link's directory; "" when the link
// cannot be read.
std::string resolve_link(const std::string& path);

// Resolves links (at most maxLinksFollowed of them; a longer chain or a
// cycle is "not found"); the result when it is an executable regular file,
// else "".
std::string follow_links(const std::string& path);
const int maxLinksFollowed = 40;

// The directory, ending in "/", of the executable that running name would
// start (name itself when it holds a "/", else through PATH); "" when none.
std::string find_program(const std::string& name);

// The absolute directory, ending in "/", of the program started as argv0;
// "" when it is not found.
std::string program_dir(const std::string& argv0);

// The canonical absolute form of dir without a final "/"; "" when the
// directory cannot be entered. Changes the working directory for a moment.
std::string canonical_dir(const std::string& dir);

#endif
