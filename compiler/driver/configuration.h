#ifndef VELORIN_DRIVER_CONFIGURATION_H
#define VELORIN_DRIVER_CONFIGURATION_H

#include "driver/driver_state.h"

#include <string>

// Configuration values, settled by initConfiguration before the compile run
// starts and only read afterwards.
extern std::string installDir;       // VELORIN_HOME: the installation directory
extern std::string ccCommand;        // ANSI_CC, default "cc"
extern std::string sysLdflags;       // SYS_LDFLAGS, may stay empty
// cppCommand (CPP) is declared in driver_state.h; oncRpcHeader
// (ONC_RPC_HEADER, default "rpc/rpc.h") and pmapClntHeader (PMAP_CLNT_HEADER,
// default "rpc/pmap_clnt.h") in output/output_files.h, whose preambles
// include them.

// The configuration file in use: the per-user file when it exists, else the
// installation's Velorin.init.
extern std::string configFilePath;
// $HOME followed by "/", or "" when HOME is unset or empty.
extern std::string homeDir;
// 1 on Solaris (SunOS 5.x), else 0.
extern int isSolaris;

// Longest configuration line that is read; a longer line is skipped.
const size_t maxConfigLineLength = 1022;

// The start-up sequence: command line, system, configuration, installation
// check (and the interactive setup when needed). Returns 0 or ends the
// process.
int initConfiguration(int argc, char** argv);

// The value of key: a non-empty environment variable of that name, else the
// first line of the configuration file whose key is key ("" when the value
// is empty or the key is not there).
std::string lookupConfig(const std::string& configPath, const std::string& key);
// The value of key in the configuration file alone, as lookupConfig reads it.
std::string lookupConfigFile(const std::string& configPath, const std::string& key);

// Reports missing required values, runs the setup when a person can answer,
// sets the defaults of the optional values.
void checkRequiredConfig();

// 1 when all crucial files exist under dir, else 0 after reporting the first
// missing one.
int checkInstallation(const std::string& dir);

// Asks for the installation directory and the preprocessor command, tests
// both and appends them to the per-user configuration file. 1 when done, -1
// when that file cannot be opened; ends the process at end of input. When
// the installation's file was in use, the per-user file also takes the other
// values it gave, which it would otherwise hide from later runs.
int interactiveSetup();

// key + "=" + value + "\n".
std::string configLine(const std::string& key, const std::string& value);

#endif
