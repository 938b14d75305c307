#include "output/version_info.h"

#include <cstring>

namespace {
char versionBuffer[1024];

// The release and the system the compiler is built for.
const char* const releaseNumber = "1.6";
#if defined(__sun)
const char* const systemName = "SunOS";
#else
const char* const systemName = "Linux";
#endif
} // namespace

const char* versionString()
{
    std::strcpy(versionBuffer, "Velorin V");
    std::strcat(versionBuffer, releaseNumber);
    std::strcat(versionBuffer, " RkWp");
    std::strcat(versionBuffer, "! system: ");
    std::strcat(versionBuffer, systemName);
    return versionBuffer;
}

const char* versionNotice()
{
    return "Interface compiler for ONC RPC clients and servers.\n"
           "This program comes with no warranty; see the documentation for details.\n";
}

const char* generatedFileNotice()
{
    return "/*------------------------------------------------------- Velorin generated\n"
           " *\n"
           " * This file was written by the Velorin interface compiler from an\n"
           " * interface definition file. Do not edit it: every change is lost\n"
           " * when the interface file is compiled again.\n"
           " *\n"
           " * To change what this file holds, change the interface file and\n"
           " * run Velorin on it once more. Server functions belong in a file\n"
           " * of your own, started from the implementation template.\n"
           " *\n"
           " * The generated code includes velorin.h and is linked against the\n"
           " * Velorin runtime library libvlrpc and the system's ONC RPC\n"
           " * library.\n"
           " *\n"
           " * The generated code is provided as is, without warranty of any\n"
           " * kind, to the extent permitted by applicable law.\n"
           " *\n"
           " *\n"
           " *-----------------------------------------------------------------------*/\n";
}
