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

#include "generate/codegen_support.h"
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
                       const rpcProcedure* earlier) {
  reportError() << " procedure " << procedure->name() << " has the number " << procedure->number()
                << " of procedure " << earlier->name() << " in version " << version->number()
                << ".\n";
}

void reportMacroClash(const rpcProcedure* procedure, const rpcProcedure* earlier) {
  reportError() << " procedures " << earlier->name() << " and " << procedure->name()
                << " differ only in letter case: both would be number macro "
                << procedure->upperName() << ".\n";
}

// Numbers that would make the dispatcher ambiguous, and names that would
// give two procedures one number macro (or a procedure the macro of its
// version or program), are counted errors. Each procedure is compared with
// the earlier ones of its number or its macro only, found by index, and the
// clashes are reported in the order of those earlier procedures.
void checkProcedureNumbers(rpcVersion* version) {
  const procedureList* procedures = version->procedures();
  const int count = procedures ? procedures->count() : 0;
  const rpcProgram* program = version->program();
  std::unordered_map<std::int64_t, std::vector<int>> earlierByNumber;
  std::unordered_map<std::string, std::vector<int>> earlierByMacro;
  for (int i = 0; i < count; ++i) {
    rpcProcedure* procedure = procedures->at(i);
    const std::string macro = procedure->upperName();
    if (macro == version->upperName() || (program && macro == program->upperName()))
      reportError() << " procedure " << procedure->name() << " would have the number macro " << macro
                    << " of its " << (macro == version->upperName() ? "version" : "program") << ".\n";
    if (procedure->number() == 0)
      reportError() << " procedure " << procedure->name()
                    << " has the number 0, which belongs to the null procedure.\n";
    if (procedure->number() > widestProcedureNumber)
      reportError() << " procedure " << procedure->name() << " has the number "
                    << procedure->number() << ", more than the 32 bits of a call can carry.\n";

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
// the names of the files each one wrote.
struct generatedVersion {
  const rpcProgram* program;
  std::int64_t number;
  std::vector<std::string> fileNames;
};
std::vector<generatedVersion> generatedVersions;

std::vector<std::string*> outputFileNames() {
  return {&headerFileName, &serverFileName, &xdrFileName, &clientFileName,
          &classHeaderFileName, &classSourceFileName, &implTemplateFileName};
}

// The earlier version of the same program that already got this number
// (and with it the same output files); null when there is none.
const generatedVersion* earlierVersionWithNumber(const rpcVersion* version) {
  for (const generatedVersion& earlier : generatedVersions)
    if (earlier.program == version->program() && earlier.number == version->number()) return &earlier;
  return nullptr;
}

void rememberGeneratedVersion(const rpcVersion* version) {
  generatedVersion generated{version->program(), version->number(), {}};
  for (const std::string* name : outputFileNames()) generated.fileNames.push_back(*name);
  generatedVersions.push_back(generated);
}

// A version whose number repeats an earlier one would write the earlier
// one's files: it writes nothing, and its files are those of the earlier
// version, which the compile flow removes for the counted error.
void refuseRepeatedVersion(const rpcVersion* version, const generatedVersion& earlier) {
  const rpcProgram* program = version->program();
  reportError() << " version " << version->number() << " of program "
                << (program ? program->name() : std::string()) << " is defined twice;"
                << " its files would replace those of the first one.\n";
  std::vector<std::string*> names = outputFileNames();
  for (size_t i = 0; i < names.size() && i < earlier.fileNames.size(); ++i)
    *names[i] = earlier.fileNames[i];
  generateImplTemplate = 0;
}

}  // namespace

void numberProcedures(rpcVersion* version) {
  const procedureList* procedures = version->procedures();
  const int count = procedures ? procedures->count() : 0;
  // Numbers too wide for a call (reported by the check below) are passed
  // over, so that counting on from the highest one cannot overflow.
  std::int64_t highest = 0;
  for (int i = 0; i < count; ++i) {
    const std::int64_t number = procedures->at(i)->number();
    if (number <= widestProcedureNumber) highest = std::max(highest, number);
  }
  std::int64_t nextNumber = highest + 1;
  for (int i = 0; i < count; ++i)
    if (procedures->at(i)->number() < 0) procedures->at(i)->setNumber(nextNumber++);

  const std::string versionText = version->propertyValue("VERSION");
  if (!versionText.empty()) version->setNumber(std::atoi(versionText.c_str()));

  checkProcedureNumbers(version);
}

void generateVersion(rpcVersion* version) {
  rpcProgram* program = version->program();
  const procedureList* procedures = version->procedures();

  // 1. Numbers.
  numberProcedures(version);
  if (const generatedVersion* earlier = earlierVersionWithNumber(version)) {
    refuseRepeatedVersion(version, *earlier);
    return;
  }

  // 2. Files and preambles.
  openOutputFiles(version);
  rememberGeneratedVersion(version);

  // 3. The types the procedures reach.
  typeList types;
  version->collectTypes(types);

  // 4. Declarations.
  // A struct without any name is written and coded where its member
  // stands (it has no name to declare or to give a routine).
  emitEnumerationDeclarations(headerOut);
  typeList::cursor declarations = typeList::begin(&types);
  while (Type* t = declarations.next())
    if (!unnamedClass(t)) t->emitDeclaration(headerOut);

  // 5. XDR prototypes, free macros and routines.
  typeList::cursor routines = typeList::begin(&types);
  while (Type* t = routines.next()) {
    if (unnamedClass(t)) continue;
    emit(headerOut, t->xdrPrototype(), ";\n\n");
    emit(headerOut, t->freeMacro());
    t->emitXdrRoutine(xdrOut);
  }

  // 6. Per procedure.
  procedureList::cursor generate = procedureList::begin(procedures);
  while (rpcProcedure* procedure = generate.next()) generateProcedure(procedure);

  // 7. The dispatcher.
  emitDispatcher(version);

  // 8. Number macros.
  procedureList::cursor numbers = procedureList::begin(procedures);
  while (rpcProcedure* procedure = numbers.next())
    writeNumberDefine(headerOut, procedure->upperName(), procedure->number());
  writeNumberDefine(headerOut, version->upperName(), version->number());
  if (program) writeNumberDefine(headerOut, program->upperName(), program->number());

  // 9. The common block.
  emitCommonMacros();
  emit(headerOut, xdrHelpersText());

  // 10. Registration and server main.
  emitRegisterFunction(version);
  emitServerMain(version);

  // 11. Binding functions.
  emitBindFunctions(version);
  emitClassBind(version);
  emitUnbindFunction(version);
  emitErrnoFunction(version);

  // 12. Handle and timeout macros.
  std::ostream& clientProtos = clientProtoSection.stream();
  emit(clientProtos, defineText(version->handleMacroName(), version->handleVarName()));
  emit(clientProtos, defineText(version->setHandleMacroName(), bindHandleName(version)));
  emit(clientProtos, defineText(version->timeoutMacroName(), version->timeoutVarName()));

  // 13. The three conditional blocks.
  emitSectionBlocks();

  // 14. Trailing "%" text, then the server code.
  spliceSection(headerOut, trailingTextSection);
  spliceSection(serverOut, serverCodeSection);

  // 15. The class head.
  emitClientClass(version);

  // 16. Client prototypes, method declarations, prefixed server functions.
  procedureList::cursor prototypes = procedureList::begin(procedures);
  while (rpcProcedure* procedure = prototypes.next()) {
    const std::string plain = clientPrototype(procedure, 0, 0);
    emit(headerOut, " ", plain, ";\n");
    emit(classHeaderOut, "\t", plain, ";\n");
    if (!procedure->propertyValue("SERV_CALL_PREFIX").empty())
      emit(headerOut, " ", clientPrototype(procedure, 1, 0), ";\n");
  }

  // 17. End of the class.
  emit(classHeaderOut, "\n\n};\n");

  // 18. Binding, registration, unmap and main prototypes.
  emit(headerOut, "\n");
  emit(headerOut, " ", bindPrototype(version), ";\n");
  emit(headerOut, " ", unbindPrototype(version), ";\n");
  emit(headerOut, " ", bindHandlePrototype(version), ";\n");
  emit(headerOut, " ", errnoPrototype(version), ";\n\n");
  emit(headerOut, " ", version->registerPrototype(), ";\n");
  emit(headerOut, " ", version->unmapPrototype(), ";\n");
  emit(headerOut, " ", version->mainPrototype(), ";\n");

  // 19. The runtime header, the end of extern "C" and of the guard.
  emit(headerOut, "\n#include <velorin.h>", "\n");
  emit(headerOut, "#ifdef __cplusplus\n", "};\n", "#endif\n");
  emit(headerOut, "\n\n#endif", "\n");

  // 20. The class header's guard.
  emit(classHeaderOut, "\n\n#endif", "\n");

  // 21.
  closeOutputFiles();
}
