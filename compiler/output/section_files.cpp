#include "output/section_files.h"

#include "diagnostics/error_report.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/temporary_file.h"

#include <fstream>
#include <iostream>  // the standard streams are ready before the section files

// Defined in this order so that serverCodeStream is taken after the files
// exist; all of them are created before main runs.
outFile argRecordSection(createTemporaryFile().c_str(), 1);
outFile xdrProtoSection(createTemporaryFile().c_str(), 1);
outFile clientProtoSection(createTemporaryFile().c_str(), 1);
outFile serverProtoSection(createTemporaryFile().c_str(), 1);
outFile serverCodeSection(createTemporaryFile().c_str(), 1);
outFile leadingTextSection(createTemporaryFile().c_str(), 1);
outFile trailingTextSection(createTemporaryFile().c_str(), 1);

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
