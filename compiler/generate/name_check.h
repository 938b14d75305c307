// The names of one version's generated files, checked before they are
// written: what the interface declares (procedures, arguments, types,
// struct members, enumeration constants) and what the compiler forms from
// it (records, routines, call functions, macros, binding functions).
#ifndef VELORIN_GENERATE_NAME_CHECK_H
#define VELORIN_GENERATE_NAME_CHECK_H

class rpcVersion;
class typeList;

// Reports as counted errors, each naming the clash: two names of the
// generated files that are the same identifier; a name that is a C or C++
// keyword; a name that is one of the C library, POSIX, the ONC RPC library
// or the runtime, which the generated programs include and link. `types`
// is the version's type list.
void checkGeneratedNames(const rpcVersion* version, const typeList& types);

#endif
