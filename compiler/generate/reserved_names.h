// The names a generated program cannot give to anything of its own: the C
// and C++ keywords, and the names it takes from the C library, POSIX, the
// ONC RPC library and the Velorin runtime. A generated function of such a
// name does not compile against the system's declaration, or compiles and
// replaces the library's own function in the linked program.
#ifndef VELORIN_GENERATE_RESERVED_NAMES_H
#define VELORIN_GENERATE_RESERVED_NAMES_H

#include <string>

// "C" for a keyword of C, "C++" for one of C++ only; null for any other name.
const char* keywordLanguage(const std::string& name);
// 1 for a function, object, type or enumeration constant of those libraries.
int isLibraryName(const std::string& name);
// 1 for an object-like macro of their headers, which replaces the name
// wherever it stands, a struct member or an argument too.
int isLibraryMacro(const std::string& name);
// 1 for the tag of a struct, union or enumeration of their headers.
int isLibraryTag(const std::string& name);

#endif
