#include "driver/configuration.h"

#include "driver/options.h"
#include "driver/path_utils.h"
#include "output/output_files.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <new>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

std::string installDir;
std::string ccCommand;
std::string sysLdflags;
std::string configFilePath;
std::string homeDir;
int isSolaris = 0;

namespace {

// The files every installation must hold, relative to its directory.
const char* const crucialFiles[] = {
    "/lib/libvlrpc.a",
    "/include/velorin.h",
    "/data/makefile.tml",
    "/bin/Velorin",
    nullptr,
};

bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void detectSystem()
{
    struct utsname system;
    std::string sysname, release;
    if (uname(&system) != 0)
        std::cerr << "Unable to determine the OS.\n";
    else {
        sysname = system.sysname;
        release = system.release;
    }
    isSolaris = (sysname == "SunOS" && release.compare(0, 2, "5.") == 0) ? 1 : 0;
}

std::string discoverInstallDir(const char* argv0)
{
    try {
        std::string dir = program_dir(argv0 ? argv0 : "");
        if (!dir.empty())
            dir = path_append(dir, "../");
        return canonical_dir(dir);
    } catch (const std::bad_alloc&) {
        std::exit(255);   // exhausted memory while resolving paths
    }
}

std::string defaultPreprocessor()
{
    std::string cpp = is_executable("/lib/cpp");
    if (cpp.empty() && isSolaris)
        cpp = is_executable("/usr/ccs/lib/cpp");
    return cpp;
}

} // namespace

std::string configLine(const std::string& key, const std::string& value)
{
    return key + "=" + value + "\n";
}

std::string lookupConfig(const std::string& configPath, const std::string& key)
{
    const char* fromEnvironment = std::getenv(key.c_str());
    if (fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    return lookupConfigFile(configPath, key);
}

std::string lookupConfigFile(const std::string& configPath, const std::string& key)
{
    std::ifstream file(configPath);
    std::string line;
    while (std::getline(file, line)) {
        if (line.size() > maxConfigLineLength)
            continue;
        if (line.empty() || line[0] == '#')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;

        size_t keyStart = 0;
        while (keyStart < equals && isBlank(line[keyStart]))
            ++keyStart;
        size_t keyEnd = keyStart;
        while (keyEnd < equals && !isBlank(line[keyEnd]))
            ++keyEnd;
        if (line.substr(keyStart, keyEnd - keyStart) != key)
            continue;

        size_t valueStart = equals + 1;
        while (valueStart < line.size() && isBlank(line[valueStart]))
            ++valueStart;
        return line.substr(valueStart);
    }
    return "";
}

int checkInstallation(const std::string& dir)
{
    for (const char* const* entry = crucialFiles; *entry; ++entry) {
        if (find_file(dir, *entry).empty()) {
            std::cerr << "Could not find file " << *entry << ".\n";
            return 0;
        }
    }
    return 1;
}

void checkRequiredConfig()
{
    bool missing = false;
    if (installDir.empty()) {
        std::cerr << "\nError: required configuration " << "VELORIN_HOME" << " not defined.\n";
        missing = true;
    }
    if (cppCommand.empty()) {
        std::cerr << "Error: configuration CPP not defined.\n";
        missing = true;
    }
    if (missing) {
        if (!isatty(0))
            std::exit(255);
        std::cerr << "\nEnter configuration procedure ... \n";
        if (interactiveSetup() < 0)
            std::exit(255);
    }
    if (oncRpcHeader.empty())
        oncRpcHeader = "rpc/rpc.h";
    if (pmapClntHeader.empty())
        pmapClntHeader = "rpc/pmap_clnt.h";
    if (ccCommand.empty())
        ccCommand = "cc";
}

int initConfiguration(int argc, char** argv)
{
    for (std::string* value : {&configFilePath, &oncRpcHeader, &includeOptions, &inputFileName,
                               &preprocessedFileName, &cppCommand, &pmapClntHeader, &ccCommand,
                               &installDir, &sysLdflags})
        value->clear();

    parseOptions(argc, argv);
    detectSystem();

    // An empty HOME names no home directory: like an unset one it means the
    // current directory, not the filesystem root.
    const char* home = std::getenv("HOME");
    homeDir = (home && *home) ? std::string(home) + "/" : std::string();
    configFilePath = homeDir + ".velorin";

    installDir = lookupConfig(configFilePath, "VELORIN_HOME");
    if (installDir.empty()) {
        installDir = discoverInstallDir(argv[0]);
        if (!checkInstallation(installDir)) {
            std::cerr << "Misconfiguration or missing crucial files in installation!\n";
            installDir.clear();
        }
    }

    if (!fileExists(configFilePath))
        configFilePath = path_append(installDir, "/Velorin.init");

    cppCommand = lookupConfig(configFilePath, "CPP");
    if (cppCommand.empty())
        cppCommand = defaultPreprocessor();

    oncRpcHeader = lookupConfig(configFilePath, "ONC_RPC_HEADER");
    pmapClntHeader = lookupConfig(configFilePath, "PMAP_CLNT_HEADER");
    ccCommand = lookupConfig(configFilePath, "ANSI_CC");
    sysLdflags = lookupConfig(configFilePath, "SYS_LDFLAGS");

    checkRequiredConfig();

    if (!checkInstallation(installDir)) {
        std::cerr << "Fail to validate integrity of the installation, bail out.\n";
        std::exit(255);
    }
    return 0;
}
