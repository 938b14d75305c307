#include "output/output_files.h"

#include "driver/configuration.h"
#include "driver/version_info.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/section_files.h"

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

std::string headerFileName;
std::string serverFileName;
std::string xdrFileName;
std::string clientFileName;
std::string classHeaderFileName;
std::string classSourceFileName;
std::string implTemplateFileName;

std::string filePrefix;
std::string versionStrLine;
int generateImplTemplate = 1;
int generationErrorCount = 0;

std::ostream& reportError()
{
    std::cerr << "Error: ";
    ++generationErrorCount;
    return std::cerr;
}

void cannotCreateFile(const std::string& name)
{
    std::cerr << "Error: could not create file " << name << " for output.\n";
    std::exit(255);
}

namespace {

void openOrDie(std::ofstream& out, const std::string& name)
{
    out.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out) {
        std::perror(name.c_str());
        cannotCreateFile(name);
    }
}

bool fileExists(const std::string& name)
{
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

// Follows the version line of the C files: nothing in them reads
// version_str (it is there for what(1)), and cc -Wall would warn about it.
const char* const versionStrUnusedLine =
    "#ifdef __GNUC__\nstatic char *version_str __attribute__((unused));\n#endif\n";

void writePreambles(const versionFileNames& names)
{
    const char* notice = generatedFileNotice();
    const std::string includeHeader = "#include \"" + headerFileName + "\"\n";
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
    emit(serverOut, versionStrLine, versionStrUnusedLine);
    emit(serverOut, "static SVCXPRT* tcp_master = 0;\n");
    emit(serverOut, "static SVCXPRT* udp_master = 0;\n\n");
    // Nothing calls no_op, and cc -Wall would warn about it.
    emit(serverOut, "#ifdef __GNUC__\nstatic void no_op(void*p) __attribute__((unused));\n#endif\n");
    emit(serverOut, "static void no_op(void*p) {}\n\n");

    emit(clientOut, notice);
    emit(clientOut, "#define VELORIN_XDR\n", "#define VELORIN_CLIENT\n");
    emit(clientOut, includeHeader);
    emit(clientOut, versionStrLine, versionStrUnusedLine);
    emit(clientOut, "CLIENT* ", names.handleVar, " = 0;\n");
    emit(clientOut, "struct timeval ", names.timeoutVar, " = {60, 0};\n");

    emit(classHeaderOut, notice);
    emit(classHeaderOut, "#ifndef ", guard, "_CXX\n", "#define ", guard, "_CXX\n");
    emit(classHeaderOut, "#define VELORIN_XDR\n", "#define VELORIN_CLIENT\n");
    emit(classHeaderOut, includeHeader);
    emit(classHeaderOut, "\n#include <rpcclient.hpp>\n");

    emit(classSourceOut, notice);
    emit(classSourceOut, "\n#include \"", classHeaderFileName, "\"\n\n");

    emit(xdrOut, notice);
    emit(xdrOut, "#define VELORIN_XDR\n");
    emit(xdrOut, includeHeader);
    emit(xdrOut, versionStrLine, versionStrUnusedLine);

    // Without a template file the stream stays closed and this is lost.
    emit(implTemplateOut, includeHeader);
}

} // namespace

int openOutputFiles(const versionFileNames& names)
{
    resetGenerationSections();

    versionStrLine = std::string("static char *version_str=\"@(#)") + versionString() + "\";\n";

    filePrefix = names.fileBase;
    headerFileName = filePrefix + ".h";
    serverFileName = filePrefix + "_svc.c";
    xdrFileName = filePrefix + "_xdr.c";
    clientFileName = filePrefix + "_cln.c";
    classHeaderFileName = filePrefix + "Client.hpp";
    classSourceFileName = filePrefix + "Client.cpp";
    implTemplateFileName = filePrefix + "_impl_tmp.c";

    openOrDie(headerOut, headerFileName);
    openOrDie(xdrOut, xdrFileName);
    openOrDie(serverOut, serverFileName);
    openOrDie(clientOut, clientFileName);
    openOrDie(classHeaderOut, classHeaderFileName);
    openOrDie(classSourceOut, classSourceFileName);

    if (!fileExists(implTemplateFileName))
        generateImplTemplate = 1;
    if (generateImplTemplate) {
        implTemplateOut.open(implTemplateFileName, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!implTemplateOut) {
            std::perror(implTemplateFileName.c_str());
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

void closeOutputFiles()
{
    for (std::ofstream* out : {&headerOut, &serverOut, &xdrOut, &clientOut,
                               &classHeaderOut, &classSourceOut, &implTemplateOut}) {
        out->close();
        out->clear();
    }
}
