// Every name a version's generated files use, gathered with its owner so
// that a clash can be reported with both: the C compiler would otherwise
// refuse the files, or accept them and give one name two meanings (a
// procedure whose number macro turns an enumeration constant into its
// number, a procedure that replaces the C library's function of its name).
#include "generate/name_check.h"

#include <functional>
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

// Forms a name or a description when it is asked for.
using formedText = std::function<std::string()>;

// A name entered and who owns it. The check keeps neither the name nor its
// description, only the way to form them again: the names of a deep
// declarator's types hold their element's name, thousands of characters
// each, so that keeping them would cost memory in the square of the depth.
struct owner {
    formedText name;
    formedText description;
    int isMacro;
    // Number macros of procedures, the version and the program: their
    // clashes with each other are reported with the procedure numbers.
    int isNumberMacro;
};

class nameCheck {
public:
    // A name of file scope that the interface gives or the compiler forms
    // from one the interface gives.
    void formed(const formedText& formName, const formedText& description, int isMacro = 0,
                int isNumberMacro = 0)
    {
        const std::string name = formName();
        if (name.empty())
            return;
        if (!refusedWord(name, description) && isLibraryName(name))
            reportError() << " " << description() << " is named like " << name
                          << " of the C library, POSIX or ONC RPC.\n";
        enter(name, owner{formName, description, isMacro, isNumberMacro});
    }

    // A name of file scope that every generated file set has.
    void fixed(const fixedName& name)
    {
        enter(name.name, owner{[&name] { return std::string(name.name); },
                               [&name] { return std::string(name.owner); }, name.isMacro, 0});
    }

    // A struct, union or enumeration tag.
    void tag(const std::string& name, const formedText& description)
    {
        if (name.empty() || refusedWord(name, description))
            return;
        if (isLibraryTag(name))
            reportError() << " " << description() << " is named like the tag " << name
                          << " of the C library, POSIX or ONC RPC.\n";
    }

    // A struct member or an argument: its own scope, which only a macro
    // reaches; an argument also meets the names inside the client stub.
    void member(const std::string& name, const formedText& description, int isArgument)
    {
        if (name.empty() || refusedWord(name, description))
            return;
        if (isLibraryMacro(name)) {
            reportError() << " " << description() << " is named like the macro " << name
                          << " of the C library, POSIX or ONC RPC.\n";
            return;
        }
        const owner* found = find(name, hashOf(name));
        if (found && found->isMacro) {
            reportBoth(description(), found->description(), name);
            return;
        }
        if (isArgument)
            for (const fixedName& stub : stubNames)
                if (name == stub.name)
                    reportBoth(description(), stub.owner, name);
    }

private:
    int refusedWord(const std::string& name, const formedText& description)
    {
        const char* language = keywordLanguage(name);
        if (!language)
            return 0;
        reportError() << " " << description() << " is named by the " << language << " keyword "
                      << name << ".\n";
        return 1;
    }

    static std::size_t hashOf(const std::string& name) { return std::hash<std::string>()(name); }

    // The owner entered first under `name` of hash `hash`, null when there
    // is none. Names of one hash are formed again to tell them apart.
    const owner* find(const std::string& name, std::size_t hash) const
    {
        auto range = names_.equal_range(hash);
        for (auto at = range.first; at != range.second; ++at)
            if (at->second.name() == name)
                return &at->second;
        return nullptr;
    }

    void enter(const std::string& name, const owner& added)
    {
        const std::size_t hash = hashOf(name);
        const owner* found = find(name, hash);
        if (!found) {
            names_.emplace(hash, added);
            return;
        }
        const std::string first = found->description();
        const std::string second = added.description();
        // One type reached as a typedef and as the struct it names.
        if (first == second)
            return;
        if (!(found->isNumberMacro && added.isNumberMacro))
            reportBoth(first, second, name);
    }

    static void reportBoth(const std::string& first, const std::string& second,
                           const std::string& name)
    {
        reportError() << " " << first << " and " << second << " are both named " << name << ".\n";
    }

    // Owners by the hash of their name.
    std::unordered_multimap<std::size_t, owner> names_;
};

formedText ofProcedure(const char* what, const rpcProcedure* procedure)
{
    return [what, procedure] { return std::string(what) + " of procedure " + procedure->name(); };
}

formedText ofType(const char* what, const Type* t)
{
    return [what, t] { return std::string(what) + " of type " + t->name(); };
}

formedText ofVersion(const char* what, const rpcVersion* version)
{
    return [what, version] {
        return std::string(what) + " of version " + std::to_string(version->number());
    };
}

formedText ofProgram(const char* what, const rpcProgram* program)
{
    return [what, program] { return std::string(what) + " of program " + program->name(); };
}

void declareProcedures(nameCheck& check, const procedureList* procedures)
{
    procedureList::cursor walk = procedureList::begin(procedures);
    while (rpcProcedure* procedure = walk.next())
        check.formed([procedure] { return procedure->name(); },
                     [procedure] { return "procedure " + procedure->name(); });
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
            check.formed([t] { return t->name(); }, [t] { return "type " + t->name(); });
            continue;
        }
        const classType* record = static_cast<const classType*>(t);
        if (record->isArgRecord())
            continue;
        check.tag(record->nameField(), [record] { return recordDescription(record); });
        check.formed([record] { return record->typedefName(); },
                     [record] { return "type " + record->typedefName(); });
    }
}

void declareEnumerations(nameCheck& check)
{
    for (const enumeration* e : declaredEnumerations) {
        check.tag(e->tag, [e] { return "enum " + e->tag; });
        for (const enumeration::constant& c : e->constants)
            check.formed([&c] { return c.name; },
                         [&c] { return "enumeration constant " + c.name; });
    }
}

void declareMembers(nameCheck& check, const typeList& types, const procedureList* procedures)
{
    typeList::cursor walk = typeList::begin(&types);
    while (Type* t = walk.next()) {
        if (t->kind() != KIND_CLASS || static_cast<const classType*>(t)->isArgRecord())
            continue;
        const classType* record = static_cast<const classType*>(t);
        symbolSet::cursor members = symbolSet::begin(&record->members);
        while (Symbol* m = members.next())
            check.member(
                m->name(),
                [m, record] { return "member " + m->name() + " of " + recordDescription(record); },
                0);
    }
    procedureList::cursor each = procedureList::begin(procedures);
    while (rpcProcedure* procedure = each.next()) {
        symbolSet::cursor arguments = symbolSet::begin(procedure->arguments);
        while (Symbol* a = arguments.next())
            check.member(
                a->name(),
                [a, procedure] {
                    return "argument " + a->name() + " of procedure " + procedure->name();
                },
                1);
    }
}

void formProcedureNames(nameCheck& check, const rpcProcedure* procedure)
{
    check.formed([procedure] { return procedure->inRecordName(); },
                 ofProcedure("the argument record", procedure));
    check.formed([procedure] { return procedure->outRecordName(); },
                 ofProcedure("the result record", procedure));
    if (procedure->hasInRecord())
        check.formed([procedure] { return procedure->inXdrRoutine(); },
                     ofProcedure("the XDR routine of the argument record", procedure));
    if (procedure->hasOutRecord())
        check.formed([procedure] { return procedure->outXdrRoutine(); },
                     ofProcedure("the XDR routine of the result record", procedure));
    check.formed([procedure] { return procedure->wrapName(); },
                 ofProcedure("the call function", procedure));
    check.formed([procedure] { return procedure->callName(); },
                 ofProcedure("the server wrapper", procedure));
    check.formed([procedure] { return procedure->upperName(); },
                 ofProcedure("the number macro", procedure), 1, 1);
    if (procedure->needsHelpers && procedure->hasOutRecord()) {
        const classType* record = procedure->outRecord;
        check.formed([record] { return record->mallocHelperName(); },
                     ofProcedure("the allocation function", procedure));
        check.formed([record] { return record->freeHelperName(); },
                     ofProcedure("the release function", procedure));
    }
    // The programmer's server function: the client stub keeps the bare name.
    if (!procedure->propertyValue("SERV_CALL_PREFIX").empty())
        check.formed(
            [procedure] {
                return procedure->propertyValue("SERV_CALL_PREFIX") + procedure->name();
            },
            ofProcedure("the server function", procedure));
}

void formTypeNames(nameCheck& check, const typeList& types)
{
    typeList::cursor walk = typeList::begin(&types);
    while (Type* t = walk.next()) {
        if (unnamedClass(t))
            continue;
        if (t->kind() == KIND_CLASS && static_cast<const classType*>(t)->isArgRecord())
            continue;
        check.formed([t] { return t->xdrRoutineName(); }, ofType("the XDR routine", t));
        check.formed([t] { return t->freeMacroName(); }, ofType("the free macro", t), 1);
    }
}

// The names a version forms of its own, with what owns them.
struct versionName {
    std::string (rpcVersion::*form)() const;
    const char* what;
    int isMacro;
    int isNumberMacro;
};
const versionName versionNames[] = {
    {&rpcVersion::baseName, "the dispatcher", 0, 0},
    {&rpcVersion::upperName, "the number macro", 1, 1},
    {&rpcVersion::clientClassName, "the client class", 0, 0},
    {&rpcVersion::handleMacroName, "the handle macro", 1, 0},
    {&rpcVersion::timeoutMacroName, "the timeout macro", 1, 0},
    {&rpcVersion::setHandleMacroName, "the set-handle macro", 1, 0},
    {&rpcVersion::handleVarName, "the handle variable", 0, 0},
    {&rpcVersion::timeoutVarName, "the timeout variable", 0, 0},
    {&rpcVersion::registerName, "the registration function", 0, 0},
    {&rpcVersion::unmapName, "the unmap function", 0, 0},
    {&rpcVersion::mainName, "the server main", 0, 0},
};

void formVersionNames(nameCheck& check, const rpcVersion* version)
{
    for (const versionName& name : versionNames)
        check.formed([version, &name] { return (version->*name.form)(); },
                     ofVersion(name.what, version), name.isMacro, name.isNumberMacro);

    const rpcProgram* program = version->program();
    if (!program)
        return;
    check.formed([program] { return program->upperName(); }, ofProgram("the number macro", program),
                 1, 1);
    check.formed([version] { return bindName(version); }, ofProgram("the bind function", program));
    check.formed([version] { return unbindName(version); },
                 ofProgram("the unbind function", program));
    check.formed([version] { return bindHandleName(version); },
                 ofProgram("the bind-handle function", program));
    check.formed([version] { return errnoName(version); },
                 ofProgram("the status function", program));
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
