#include "output/version_file_set.h"

versionFileSet versionFileSet::forBase(const std::string& base)
{
    return versionFileSet{base + ".h",         base + "_svc.c",      base + "_xdr.c",
                          base + "_cln.c",     base + "Client.hpp",  base + "Client.cpp",
                          base + "_impl_tmp.c"};
}

std::array<const std::string*, 4> versionFileSet::headerAndCFiles() const
{
    return {&header, &server, &xdr, &client};
}
