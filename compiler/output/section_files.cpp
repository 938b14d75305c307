#include "output/section_files.h"

#include "diagnostics/error_report.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/temporary_file.h"

#include <cstdlib>
#include <fstream>
#include <iostream>  // the standard streams are ready before the section files

namespace {

// The name of a new private file for a section. Without one no run can
// start: the process ends here, before the command line is read, naming
// where it tried last (the section files made so far are removed).
std::string newSectionFile()
{
    const std::vector<std::string> dirs = temporaryDirectories();
    const std::string name = createTemporaryFileIn(dirs);
    if (name.empty()) {
        std::cerr << "Fatal error: fail open file " << temporaryFilePattern(dirs.back()) << "\n";
        std::exit(1);
    }
    return name;
}

} // namespace

// Defined in this order so that serverCodeStream is taken after the files
// exist; all of them are created before main runs.
outFile argRecordSection(newSectionFile().c_str(), 1);
outFile xdrProtoSection(newSectionFile().c_str(), 1);
outFile clientProtoSection(newSectionFile().c_str(), 1);
outFile serverProtoSection(newSectionFile().c_str(), 1);
outFile serverCodeSection(newSectionFile().c_str(), 1);
outFile leadingTextSection(newSectionFile().c_str(), 1);
outFile trailingTextSection(newSectionFile().c_str(), 1);

std::ostream& serverCodeStream = serverCodeSection.stream();

void spliceSection(std::ostream& target, outFile& section)
{
    section.close();
    const std::string name = section.name();
    std::ifstream in(name, std::ios::in | std::ios::binary);
    if (!in) {
        reportError() << " fail to open file " << name << ".\n";
        return;
    }
    char byte;
    while (in.get(byte))
        target.put(byte);
}

void emitSectionBlocks()
{
    emit(headerOut, "\n", "#ifdef ", "VELORIN_XDR", "\n\n");
    spliceSection(headerOut, argRecordSection);
    spliceSection(headerOut, xdrProtoSection);
    emit(headerOut, "\n#endif", "\n\n");

    emit(headerOut, "\n", "#ifdef ", "VELORIN_CLIENT", "\n\n");
    spliceSection(headerOut, clientProtoSection);
    emit(headerOut, "\n", "#endif", "\n\n");

    emit(headerOut, "\n", "#ifdef ", "VELORIN_SERVER", "\n\n");
    spliceSection(headerOut, serverProtoSection);
    emit(headerOut, "\n", "#endif", "\n\n");
}

void writeDefine(const std::string& name, const std::string& value)
{
    emit(headerOut, "#define ", name, " ", value, "\n");
    headerOut.flush();
}

void emitCommonMacros()
{
    emit(headerOut, "#ifndef VELORIN_COMMON_H\n#define VELORIN_COMMON_H", "\n");
    writeDefine("ERR_NULL_CLNT", "-125");
    writeDefine("server_err(x)", "vlrpc_report_event(x)");
    writeDefine("MEM_ASSERT(P)", "{if(P==0){server_err(\"Memory exhausted!\"); return 0;}}");
    writeDefine("server_msg(x)", "vlrpc_report_event(x)");
    writeDefine("server_exit(x)", "exit(x)");
    emit(headerOut, "#endif", "\n\n");
}

void resetGenerationSections()
{
    for (outFile* section : {&argRecordSection, &xdrProtoSection, &clientProtoSection,
                             &serverProtoSection, &serverCodeSection})
        section->reopen();
}
