// Every name a version's generated files use, gathered with its owner so
// that a clash can be reported with both: the C compiler would otherwise
// refuse the files, or accept them and give one name two meanings (a
// procedure whose number macro turns an enumeration constant into its
// number, a procedure that replaces the C library's function of its name).
#include "generate/name_check.h"

#include <string>
#include <unordered_map>

#include "diagnostics/error_report.h"
#include "generate/client_binding.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "generate/reserved_names.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"

namespace {

// The names the generated files always define, whatever the interface:
// the common block of the header, the server file's variables and main.
struct fixedName {
    const char* name;
    const char* owner;
    int isMacro;
};
const fixedName fixedNames[] = {
    {"ERR_NULL_CLNT", "a macro of the generated header", 1},
    {"server_err", "a macro of the generated header", 1},
    {"server_msg", "a macro of the generated header", 1},
    {"server_exit", "a macro of the generated header", 1},
    {"MEM_ASSERT", "a macro of the generated header", 1},
    {"VELORIN_COMMON_H", "a macro of the generated header", 1},
    {"VELORIN_XDR_HELPERS_H", "a macro of the generated header", 1},
    {"VELORIN_XDR", "a macro of the generated files", 1},
    {"VELORIN_CLIENT", "a macro of the generated files", 1},
    {"VELORIN_SERVER", "a macro of the generated files", 1},
    {"VL_NO_SUPRESS_CLNT_ERROR", "a macro of the generated client file", 1},
    {"tcp_master", "a transport variable of the server file", 0},
    {"udp_master", "a transport variable of the server file", 0},
    {"version_str", "the version text of the generated files", 0},
    {"main", "the main function of the server file", 0},
};

// Names that stand beside the arguments inside a client stub or method.
const fixedName stubNames[] = {
    {"Input", "the argument record of the client stub", 0},
    {"Output", "the result record of the client stub", 0},
    {"timeOut", "the timeout of the client stub", 0},
    {"clnt", "the handle of the client class", 0},
    {"memset", "a function the client stub calls", 0},
    {"memcpy", "a function the client stub calls", 0},
    {"clnt_control", "a function the client stub calls", 0},
    {"_vlrpc_return_", "the result member of the result record", 0},
};

struct owner {
    std::string description;
    int isMacro;
    // Number macros of procedures, the version and the program: their
    // clashes with each other are reported with the procedure numbers.
    int isNumberMacro;
};

class nameCheck {
public:
    // A name of file scope that the interface gives or the compiler forms
    // from one the interface gives.
    void formed(const std::string& name, const std::string& description, int isMacro = 0,
                int isNumberMacro = 0)
    {
        if (name.empty())
            return;
        if (!refusedWord(name, description) && isLibraryName(name))
            reportError() << " " << description << " is named like " << name
                          << " of the C library, POSIX or ONC RPC.\n";
        enter(name, owner{description, isMacro, isNumberMacro});
    }

    // A name of file scope that every generated file set has.
    void fixed(const fixedName& name) { enter(name.name, owner{name.owner, name.isMacro, 0}); }

    // A struct, union or enumeration tag.
    void tag(const std::string& name, const std::string& description)
    {
        if (name.empty() || refusedWord(name, description))
            return;
        if (isLibraryTag(name))
            reportError() << " " << description << " is named like the tag " << name
                          << " of the C library, POSIX or ONC RPC.\n";
    }

    // A struct member or an argument: its own scope, which only a macro
    // reaches; an argument also meets the names inside the client stub.
    void member(const std::string& name, const std::string& description, int isArgument)
    {
        if (name.empty() || refusedWord(name, description))
            return;
        if (isLibraryMacro(name)) {
            reportError() << " " << description << " is named like the macro " << name
                          << " of the C library, POSIX or ONC RPC.\n";
            return;
        }
        auto found = names_.find(name);
        if (found != names_.end() && found->second.isMacro) {
            reportBoth(description, found->second.description, name);
            return;
        }
        if (isArgument)
            for (const fixedName& stub : stubNames)
                if (name == stub.name)
                    reportBoth(description, stub.owner, name);
    }

private:
    int refusedWord(const std::string& name, const std::string& description)
    {
        const char* language = keywordLanguage(name);
        if (!language)
            return 0;
        reportError() << " " << description << " is named by the " << language << " keyword "
                      << name << ".\n";
        return 1;
    }

    void enter(const std::string& name, const owner& added)
    {
        auto found = names_.find(name);
        if (found == names_.end()) {
            names_.emplace(name, added);
            return;
        }
        // One type reached as a typedef and as the struct it names.
        if (found->second.description == added.description)
            return;
        if (!(found->second.isNumberMacro && added.isNumberMacro))
            reportBoth(found->second.description, added.description, name);
    }

    static void reportBoth(const std::string& first, const std::string& second,
                           const std::string& name)
    {
        reportError() << " " << first << " and " << second << " are both named " << name << ".\n";
    }

    std::unordered_map<std::string, owner> names_;
};

std::string ofProcedure(const char* what, const rpcProcedure* procedure)
{
    return std::string(what) + " of procedure " + procedure->name();
}

std::string ofType(const char* what, const Type* t)
{
    return std::string(what) + " of type " + t->name();
}

// The macro a "#define <name>( ... )" text defines.
std::string definedMacro(const std::string& text)
{
    const std::string head = "#define ";
    if (text.compare(0, head.size(), head) != 0)
        return "";
    const std::string::size_type end = text.find_first_of("( \n", head.size());
    return text.substr(head.size(), end == std::string::npos ? end : end - head.size());
}

void declareProcedures(nameCheck& check, const procedureList* procedures)
{
    procedureList::cursor walk = procedureList::begin(procedures);
    while (rpcProcedure* procedure = walk.next())
        check.formed(procedure->name(), "procedure " + procedure->name());
}

// "struct <tag>" ("union <tag>"), else the typedef that names the record.
std::string recordDescription(const classType* record)
{
    const std::string keyword = record->keyword() == CODE_UNION ? "union" : "struct";
    if (!record->nameField().empty())
        return keyword + " " + record->nameField();
    if (!record->typedefName().empty())
        return "type " + record->typedefName();
    return "an unnamed " + keyword;
}

void declareTypes(nameCheck& check, const typeList& types)
{
    typeList::cursor walk = typeList::begin(&types);
    while (Type* t = walk.next()) {
        if (unnamedClass(t))
            continue;
        if (t->kind() != KIND_CLASS) {
            check.formed(t->name(), "type " + t->name());
            continue;
        }
        const classType* record = static_cast<const classType*>(t);
        if (record->isArgRecord())
            continue;
        check.tag(record->nameField(), recordDescription(record));
        check.formed(record->typedefName(), "type " + record->typedefName());
    }
}

void declareEnumerations(nameCheck& check)
{
    for (const enumeration* e : declaredEnumerations) {
        check.tag(e->tag, "enum " + e->tag);
        for (const enumeration::constant& c : e->constants)
            check.formed(c.name, "enumeration constant " + c.name);
    }
}

void declareMembers(nameCheck& check, const typeList& types, const procedureList* procedures)
{
    typeList::cursor walk = typeList::begin(&types);
    while (Type* t = walk.next()) {
        if (t->kind() != KIND_CLASS || static_cast<const classType*>(t)->isArgRecord())
            continue;
        const classType* record = static_cast<const classType*>(t);
        const std::string owner = recordDescription(record);
        symbolSet::cursor members = symbolSet::begin(&record->members);
        while (Symbol* m = members.next())
            check.member(m->name(), "member " + m->name() + " of " + owner, 0);
    }
    procedureList::cursor each = procedureList::begin(procedures);
    while (rpcProcedure* procedure = each.next()) {
        symbolSet::cursor arguments = symbolSet::begin(procedure->arguments);
        while (Symbol* a = arguments.next())
            check.member(a->name(), "argument " + a->name() + " of procedure " + procedure->name(),
                         1);
    }
}

void formProcedureNames(nameCheck& check, const rpcProcedure* procedure)
{
    check.formed(procedure->inRecordName(), ofProcedure("the argument record", procedure));
    check.formed(procedure->outRecordName(), ofProcedure("the result record", procedure));
    if (procedure->hasInRecord())
        check.formed(procedure->inXdrRoutine(),
                     ofProcedure("the XDR routine of the argument record", procedure));
    if (procedure->hasOutRecord())
        check.formed(procedure->outXdrRoutine(),
                     ofProcedure("the XDR routine of the result record", procedure));
    check.formed(procedure->wrapName(), ofProcedure("the call function", procedure));
    check.formed(procedure->callName(), ofProcedure("the server wrapper", procedure));
    check.formed(procedure->upperName(), ofProcedure("the number macro", procedure), 1, 1);
    if (procedure->needsHelpers && procedure->hasOutRecord()) {
        check.formed(procedure->outRecord->mallocHelperName(),
                     ofProcedure("the allocation function", procedure));
        check.formed(procedure->outRecord->freeHelperName(),
                     ofProcedure("the release function", procedure));
    }
    // The programmer's server function: the client stub keeps the bare name.
    const std::string prefix = procedure->propertyValue("SERV_CALL_PREFIX");
    if (!prefix.empty())
        check.formed(prefix + procedure->name(), ofProcedure("the server function", procedure));
}

void formTypeNames(nameCheck& check, const typeList& types)
{
    typeList::cursor walk = typeList::begin(&types);
    while (Type* t = walk.next()) {
        if (unnamedClass(t))
            continue;
        if (t->kind() == KIND_CLASS && static_cast<const classType*>(t)->isArgRecord())
            continue;
        check.formed(t->xdrRoutineName(), ofType("the XDR routine", t));
        check.formed(definedMacro(t->freeMacro()), ofType("the free macro", t), 1);
    }
}

void formVersionNames(nameCheck& check, const rpcVersion* version)
{
    const std::string ofVersion = " of version " + std::to_string(version->number());
    check.formed(version->baseName(), "the dispatcher" + ofVersion);
    check.formed(version->upperName(), "the number macro" + ofVersion, 1, 1);
    check.formed(version->clientClassName(), "the client class" + ofVersion);
    check.formed(version->handleMacroName(), "the handle macro" + ofVersion, 1);
    check.formed(version->timeoutMacroName(), "the timeout macro" + ofVersion, 1);
    check.formed(version->setHandleMacroName(), "the set-handle macro" + ofVersion, 1);
    check.formed(version->handleVarName(), "the handle variable" + ofVersion);
    check.formed(version->timeoutVarName(), "the timeout variable" + ofVersion);
    check.formed(version->registerName(), "the registration function" + ofVersion);
    check.formed(version->unmapName(), "the unmap function" + ofVersion);
    check.formed(version->mainName(), "the server main" + ofVersion);

    const rpcProgram* program = version->program();
    if (!program)
        return;
    const std::string ofProgram = " of program " + program->name();
    check.formed(program->upperName(), "the number macro" + ofProgram, 1, 1);
    check.formed(bindName(version), "the bind function" + ofProgram);
    check.formed(unbindName(version), "the unbind function" + ofProgram);
    check.formed(bindHandleName(version), "the bind-handle function" + ofProgram);
    check.formed(errnoName(version), "the status function" + ofProgram);
}

}  // namespace

void checkGeneratedNames(const rpcVersion* version, const typeList& types)
{
    const procedureList* procedures = version->procedures();
    nameCheck check;
    for (const fixedName& name : fixedNames)
        check.fixed(name);
    // What the interface declares first, so that a clash names it before
    // the name the compiler formed.
    declareProcedures(check, procedures);
    declareTypes(check, types);
    declareEnumerations(check);
    procedureList::cursor walk = procedureList::begin(procedures);
    while (rpcProcedure* procedure = walk.next())
        formProcedureNames(check, procedure);
    formTypeNames(check, types);
    formVersionNames(check, version);
    // Members and arguments last: only macros reach them.
    declareMembers(check, types, procedures);
}
