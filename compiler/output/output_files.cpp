#include "output/output_files.h"

#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/section_files.h"
#include "output/version_info.h"
#include "output/written_files.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/stat.h>

std::ofstream headerOut;
std::ofstream serverOut;
std::ofstream xdrOut;
std::ofstream clientOut;
std::ofstream classHeaderOut;
std::ofstream classSourceOut;
std::ofstream implTemplateOut;

versionFileSet currentFiles;

std::string oncRpcHeader;
std::string pmapClntHeader;

std::string filePrefix;
int generateImplTemplate = 1;
void cannotCreateFile(const std::string& name)
{
    std::cerr << "Error: could not create file " << name << " for output.\n";
    std::exit(255);
}

namespace {

// The stream of each file of the set, in the order of versionFileSet.
std::ofstream* const outputStreams[] = {&headerOut,      &serverOut,      &xdrOut,
                                        &clientOut,      &classHeaderOut, &classSourceOut,
                                        &implTemplateOut};

// Opens a stream on name for writing with truncation. A stream left open by
// an earlier version is closed first, so that opening cannot fail for that.
bool openForWriting(std::ofstream& out, const std::string& name)
{
    out.close();
    out.clear();
    noteFileToWrite(name);
    out.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    return static_cast<bool>(out);
}

void openOrDie(std::ofstream& out, const std::string& name)
{
    if (!openForWriting(out, name)) {
        std::perror(name.c_str());
        cannotCreateFile(name);
    }
}

bool fileExists(const std::string& name)
{
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

// The version text written into the server, client and XDR files. Nothing
// reads version_str: it is there to be found in the binary, so it is marked
// used, which keeps it at every optimisation level and keeps cc -Wall quiet
// about it.
std::string versionStrLine()
{
    return std::string("static char *version_str __attribute__((used))=\"@(#)") + versionString() +
           "\";\n";
}

void writePreambles(const versionFileNames& names)
{
    const std::string versionLine = versionStrLine();
    const char* notice = generatedFileNotice();
    const std::string includeHeader = "#include \"" + currentFiles.header + "\"\n";
    const std::string guard = names.upperName + "_H";

    emit(headerOut, notice);
    emit(headerOut, "#ifndef ", guard, "\n", "#define ", guard, "\n");
    emit(headerOut, "#define PORTMAP\n");
    emit(headerOut, "#include <", oncRpcHeader, ">\n");
    emit(headerOut, "#include <malloc.h>\n", "#include <stdio.h>\n", "#include <string.h>\n");
    spliceSection(headerOut, leadingTextSection);
    emit(headerOut, "#ifdef __cplusplus\n", "extern \"C\" {\n", "#endif\n");

    emit(serverOut, notice);
    emit(serverOut, "#define VELORIN_XDR\n", "#define VELORIN_SERVER\n");
    emit(serverOut, includeHeader);
    emit(serverOut, "#include <", pmapClntHeader, ">\n");
    emit(serverOut, versionLine);
    emit(serverOut, "static SVCXPRT* tcp_master = 0;\n");
    emit(serverOut, "static SVCXPRT* udp_master = 0;\n\n");
    // Nothing calls no_op: marked so that cc -Wall does not warn about it.
    emit(serverOut, "static void __attribute__((unused)) no_op(void*p) {}\n\n");

    emit(clientOut, notice);
    emit(clientOut, "#define VELORIN_XDR\n", "#define VELORIN_CLIENT\n");
    emit(clientOut, includeHeader);
    emit(clientOut, versionLine);
    emit(clientOut, "CLIENT* ", names.handleVar, " = 0;\n");
    emit(clientOut, "struct timeval ", names.timeoutVar, " = {60, 0};\n");

    emit(classHeaderOut, notice);
    emit(classHeaderOut, "#ifndef ", guard, "_CXX\n", "#define ", guard, "_CXX\n");
    emit(classHeaderOut, "#define VELORIN_XDR\n", "#define VELORIN_CLIENT\n");
    emit(classHeaderOut, includeHeader);
    emit(classHeaderOut, "\n#include <rpcclient.hpp>\n");

    emit(classSourceOut, notice);
    emit(classSourceOut, "\n#include \"", currentFiles.classHeader, "\"\n\n");

    emit(xdrOut, notice);
    emit(xdrOut, "#define VELORIN_XDR\n");
    emit(xdrOut, includeHeader);
    emit(xdrOut, versionLine);

    // Without a template file the stream stays closed and this is lost.
    emit(implTemplateOut, includeHeader);
}

}  // namespace

int openOutputFiles(const versionFileNames& names)
{
    resetGenerationSections();

    filePrefix = names.fileBase;
    currentFiles = versionFileSet::forBase(filePrefix);

    openOrDie(headerOut, currentFiles.header);
    openOrDie(xdrOut, currentFiles.xdr);
    openOrDie(serverOut, currentFiles.server);
    openOrDie(clientOut, currentFiles.client);
    openOrDie(classHeaderOut, currentFiles.classHeader);
    openOrDie(classSourceOut, currentFiles.classSource);

    if (!fileExists(currentFiles.implTemplate))
        generateImplTemplate = 1;
    if (generateImplTemplate) {
        if (!openForWriting(implTemplateOut, currentFiles.implTemplate)) {
            std::perror(currentFiles.implTemplate.c_str());
            generateImplTemplate = 0;
        }
    }

    writePreambles(names);
    return 1;
}

int openOutputFiles(rpcVersion* version)
{
    return openOutputFiles(versionFileNames{version->fileBaseName(), version->upperName(),
                                            version->handleVarName(), version->timeoutVarName()});
}

void resetOutputState()
{
    closeOutputFiles();
    forgetWrittenFiles();
    currentFiles = versionFileSet();
    filePrefix.clear();
    generateImplTemplate = 1;
    resetGenerationSections();
    leadingTextSection.reopen();
    trailingTextSection.reopen();
}

void closeOutputFiles()
{
    for (std::ofstream* out : outputStreams) {
        out->close();
        out->clear();
    }
}
