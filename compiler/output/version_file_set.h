#ifndef VELORIN_OUTPUT_VERSION_FILE_SET_H
#define VELORIN_OUTPUT_VERSION_FILE_SET_H

#include <array>
#include <string>

// The names of the seven files generated for one version, all formed from
// the version's file base.
struct versionFileSet {
    std::string header;        // <base>.h
    std::string server;        // <base>_svc.c
    std::string xdr;           // <base>_xdr.c
    std::string client;        // <base>_cln.c
    std::string classHeader;   // <base>Client.hpp
    std::string classSource;   // <base>Client.cpp
    std::string implTemplate;  // <base>_impl_tmp.c

    static versionFileSet forBase(const std::string& base);

    // The header and the three C files, in that order: the files that a
    // version with errors must not leave behind. The C++ client files and
    // the template are kept. Allocates nothing, so the signal handler may
    // use it.
    std::array<const std::string*, 4> headerAndCFiles() const;
};

#endif
