// The generation of one version: numbering of its procedures, then every
// generator in a fixed order. All generators append to the same open output
// files and section files, so this order is the layout of every file.
#include "generate/generate_version.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "generate/name_check.h"
#include "generate/procedure_steps.h"
#include "model/generated_identifiers.h"
#include "model/rpc_program.h"
#include "model/type.h"
#include "model/type_table.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

// The largest number the 32 bits of a call's procedure number can carry.
constexpr std::int64_t widestProcedureNumber = 0xFFFFFFFF;

void reportNumberClash(const rpcVersion* version, const rpcProcedure* procedure,
                       const rpcProcedure* earlier)
{
    reportError() << " procedure " << procedure->name() << " has the number " << procedure->number()
                  << " of procedure " << earlier->name() << " in version " << version->number()
                  << ".\n";
}

void reportMacroClash(const rpcProcedure* procedure, const rpcProcedure* earlier)
{
    reportError() << " procedures " << earlier->name() << " and " << procedure->name()
                  << " differ only in letter case: both would be number macro "
                  << procedure->upperName() << ".\n";
}

// Numbers that would make the dispatcher ambiguous, and names that would
// give two procedures one number macro (or a procedure the macro of its
// version or program), are counted errors. Each procedure is compared with
// the earlier ones of its number or its macro only, found by index, and the
// clashes are reported in the order of those earlier procedures.
void checkProcedureNumbers(rpcVersion* version)
{
    const procedureList* procedures = version->procedures();
    const int count = procedures ? procedures->count() : 0;
    const rpcProgram* program = version->program();
    std::unordered_map<std::int64_t, std::vector<int>> earlierByNumber;
    std::unordered_map<std::string, std::vector<int>> earlierByMacro;
    for (int i = 0; i < count; ++i) {
        rpcProcedure* procedure = procedures->at(i);
        const std::string macro = procedure->upperName();
        if (macro == version->upperName() || (program && macro == program->upperName()))
            reportError() << " procedure " << procedure->name() << " would have the number macro "
                          << macro << " of its "
                          << (macro == version->upperName() ? "version" : "program") << ".\n";
        if (procedure->number() == 0)
            reportError() << " procedure " << procedure->name()
                          << " has the number 0, which belongs to the null procedure.\n";
        if (procedure->number() > widestProcedureNumber)
            reportError() << " procedure " << procedure->name() << " has the number "
                          << procedure->number()
                          << ", more than the 32 bits of a call can carry.\n";

        std::vector<int>& sameNumber = earlierByNumber[procedure->number()];
        std::vector<int>& sameMacro = earlierByMacro[macro];
        auto number = sameNumber.begin();
        auto upper = sameMacro.begin();
        while (number != sameNumber.end() || upper != sameMacro.end()) {
            const int j = std::min(number != sameNumber.end() ? *number : count,
                                   upper != sameMacro.end() ? *upper : count);
            if (number != sameNumber.end() && *number == j) {
                reportNumberClash(version, procedure, procedures->at(j));
                ++number;
            }
            if (upper != sameMacro.end() && *upper == j) {
                reportMacroClash(procedure, procedures->at(j));
                ++upper;
            }
        }
        sameNumber.push_back(i);
        sameMacro.push_back(i);
    }
}

// The versions generated so far in this run, by program and number, with
// the files each one wrote.
struct generatedVersion {
    const rpcProgram* program;
    std::int64_t number;
    versionFileSet files;
};
std::vector<generatedVersion> generatedVersions;

// The earlier version of the same program that already got this number
// (and with it the same output files); null when there is none.
const generatedVersion* earlierVersionWithNumber(const rpcVersion* version)
{
    for (const generatedVersion& earlier : generatedVersions)
        if (earlier.program == version->program() && earlier.number == version->number())
            return &earlier;
    return nullptr;
}

void rememberGeneratedVersion(const rpcVersion* version)
{
    generatedVersions.push_back(
        generatedVersion{version->program(), version->number(), currentFiles});
}

// A version whose number repeats an earlier one would write the earlier
// one's files: it writes nothing, and its files are those of the earlier
// version, which the compile flow removes for the counted error.
versionFileSet refuseRepeatedVersion(const rpcVersion* version, const generatedVersion& earlier)
{
    const rpcProgram* program = version->program();
    reportError() << " version " << version->number() << " of program "
                  << (program ? program->name() : std::string()) << " is defined twice;"
                  << " its files would replace those of the first one.\n";
    generateImplTemplate = 0;
    return earlier.files;
}

}  // namespace

void resetGenerationState()
{
    generatedVersions.clear();
    indentLevel = 0;
}

void numberProcedures(rpcVersion* version)
{
    const procedureList* procedures = version->procedures();
    const int count = procedures ? procedures->count() : 0;
    // Numbers too wide for a call (reported by the check below) are passed
    // over, so that counting on from the highest one cannot overflow.
    std::int64_t highest = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t number = procedures->at(i)->number();
        if (number <= widestProcedureNumber)
            highest = std::max(highest, number);
    }
    std::int64_t nextNumber = highest + 1;
    for (int i = 0; i < count; ++i)
        if (procedures->at(i)->number() < 0)
            procedures->at(i)->setNumber(nextNumber++);

    const std::string versionText = version->propertyValue("VERSION");
    if (!versionText.empty())
        version->setNumber(std::atoi(versionText.c_str()));

    checkProcedureNumbers(version);
}

versionFileSet generateVersion(rpcVersion* version)
{
    rpcProgram* program = version->program();
    const procedureList* procedures = version->procedures();

    // Procedure numbers first: a version whose number an earlier version of
    // the program already has writes nothing.
    numberProcedures(version);
    if (const generatedVersion* earlier = earlierVersionWithNumber(version))
        return refuseRepeatedVersion(version, *earlier);

    // The seven files, each started with its preamble.
    openOutputFiles(version);
    rememberGeneratedVersion(version);

    // The types the procedures reach, each after the types it depends on.
    typeList types;
    version->collectTypes(types);

    // The declarations in the header: the enumerations, then those types.
    // A struct without any name is written and coded where its member
    // stands (it has no name to declare or to give a routine).
    emitEnumerationDeclarations(headerOut);
    typeList::cursor declarations = typeList::begin(&types);
    while (Type* t = declarations.next())
        if (!unnamedClass(t))
            t->emitDeclaration(headerOut);

    // The types' XDR prototypes and free macros in the header, their routines
    // in the XDR file.
    typeList::cursor routines = typeList::begin(&types);
    while (Type* t = routines.next()) {
        if (unnamedClass(t))
            continue;
        emit(headerOut, t->xdrPrototype(), ";\n\n");
        emit(headerOut, t->freeMacro());
        t->emitXdrRoutine(xdrOut);
    }

    // Everything each procedure contributes (procedure_steps.h).
    procedureList::cursor generate = procedureList::begin(procedures);
    while (rpcProcedure* procedure = generate.next())
        generateProcedure(procedure);

    // Every name of the files, now that the records exist: a clash is a
    // counted error, and the version's header and C files are removed.
    checkGeneratedNames(version, types);

    // The dispatcher.
    emitDispatcher(version);

    // The number macros of the procedures, the version and the program.
    procedureList::cursor numbers = procedureList::begin(procedures);
    while (rpcProcedure* procedure = numbers.next())
        writeNumberDefine(headerOut, procedure->upperName(), procedure->number());
    writeNumberDefine(headerOut, version->upperName(), version->number());
    if (program)
        writeNumberDefine(headerOut, program->upperName(), program->number());

    // The common block of macros that all generated code relies on.
    emitCommonMacros();

    // Registration and server main.
    emitRegisterFunction(version);
    emitServerMain(version);

    // Binding functions.
    emitBindFunctions(version);
    emitClassBind(version);
    emitUnbindFunction(version);
    emitErrnoFunction(version);

    // Handle and timeout macros, into the client section of the header.
    std::ostream& clientProtos = clientProtoSection.stream();
    emit(clientProtos, defineText(version->handleMacroName(), version->handleVarName()));
    emit(clientProtos, defineText(version->setHandleMacroName(), bindHandleName(version)));
    emit(clientProtos, defineText(version->timeoutMacroName(), version->timeoutVarName()));

    // The header's three conditional blocks, holding the sections filled above.
    emitSectionBlocks();

    // Trailing "%" text, then the server code.
    spliceSection(headerOut, trailingTextSection);
    spliceSection(serverOut, serverCodeSection);

    // The class head.
    emitClientClass(version);

    // Client prototypes, method declarations, prefixed server functions.
    // The stubs' call timeout stands beside them, so that a program that
    // includes the header can set it without defining a block selector.
    emit(headerOut, " extern struct timeval ", version->timeoutVarName(), ";\n");
    procedureList::cursor prototypes = procedureList::begin(procedures);
    while (rpcProcedure* procedure = prototypes.next()) {
        const std::string plain = clientPrototype(procedure, 0, 0);
        emit(headerOut, " ", plain, ";\n");
        emit(classHeaderOut, "\t", plain, ";\n");
        if (!procedure->propertyValue("SERV_CALL_PREFIX").empty())
            emit(headerOut, " ", clientPrototype(procedure, 1, 0), ";\n");
    }

    // End of the class.
    emit(classHeaderOut, "\n\n};\n");

    // Binding, registration, unmap and main prototypes.
    emit(headerOut, "\n");
    emit(headerOut, " ", bindPrototype(version), ";\n");
    emit(headerOut, " ", unbindPrototype(version), ";\n");
    emit(headerOut, " ", bindHandlePrototype(version), ";\n");
    emit(headerOut, " ", errnoPrototype(version), ";\n\n");
    emit(headerOut, " ", version->registerPrototype(), ";\n");
    emit(headerOut, " ", version->unmapPrototype(), ";\n");
    emit(headerOut, " ", version->mainPrototype(), ";\n");

    // The runtime header, the end of extern "C" and of the guard.
    emit(headerOut, "\n#include <velorin.h>", "\n");
    emit(headerOut, "#ifdef __cplusplus\n", "};\n", "#endif\n");
    emit(headerOut, "\n\n#endif", "\n");

    // The class header's guard.
    emit(classHeaderOut, "\n\n#endif", "\n");

    closeOutputFiles();
    return currentFiles;
}
