#ifndef VELORIN_OUTPUT_OUTPUT_FILES_H
#define VELORIN_OUTPUT_OUTPUT_FILES_H

#include "diagnostics/error_report.h"  // the generators writing these files report through it
#include "output/version_file_set.h"

#include <fstream>
#include <ostream>
#include <string>

class rpcVersion;

// The seven files generated for one version of the program. They are opened
// by openOutputFiles at the start of each version's generation and closed by
// closeOutputFiles at its end; generators append to them in the order of the
// generation driver. The streams stay closed until the first version.
extern std::ofstream headerOut;         // <base>.h
extern std::ofstream serverOut;         // <base>_svc.c
extern std::ofstream xdrOut;            // <base>_xdr.c
extern std::ofstream clientOut;         // <base>_cln.c
extern std::ofstream classHeaderOut;    // <base>Client.hpp
extern std::ofstream classSourceOut;    // <base>Client.cpp
extern std::ofstream implTemplateOut;   // <base>_impl_tmp.c

// The names of the seven files of the version being (or last) generated.
extern versionFileSet currentFiles;

// The <base> of the version being (or last) generated; the makefile's
// FILE_PREFIX.
extern std::string filePrefix;

// The system headers the preambles include: <rpc/rpc.h> or its
// replacement in the header, <rpc/pmap_clnt.h> or its replacement in the
// server file. The driver sets them from the configuration.
extern std::string oncRpcHeader;
extern std::string pmapClntHeader;

// Non-zero unless the current version's template file failed to open.
extern int generateImplTemplate;

// The names a version's output files and preambles are made of.
struct versionFileNames {
    std::string fileBase;     // rpcVersion::fileBaseName, e.g. "rfile"
    std::string upperName;    // rpcVersion::upperName, e.g. "RFILE_5"
    std::string handleVar;    // rpcVersion::handleVarName, e.g. "RFILE_5_handle"
    std::string timeoutVar;   // rpcVersion::timeoutVarName, e.g. "RFILE_5_timeout"
};

// Starts a version's generation: empties the generation sections, names and
// opens the seven files and writes their preambles. A file that cannot be
// created ends the process (cannotCreateFile); a template that cannot be
// created only switches the template off for this version. Always 1.
int openOutputFiles(rpcVersion* version);
int openOutputFiles(const versionFileNames& names);

// Returns the output to the start of a run: no version generated yet (no
// file names, no file prefix, the template switched on), the seven streams
// closed and every section, the "%" text sections included, empty.
void resetOutputState();

// Closes the seven output files of the version just generated. Their names
// stay in currentFiles.
void closeOutputFiles();

// Reports an output file that cannot be created and ends the process with
// status 255.
[[noreturn]] void cannotCreateFile(const std::string& name);

#endif
