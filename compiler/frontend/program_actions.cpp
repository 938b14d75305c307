// Actions of the RPC program block: procedures, versions and the program,
// which the compile flow finds in currentProgram once the block is complete.
#include <cctype>

#include "frontend/diagnostics.h"
#include "frontend/list_actions.h"
#include "frontend/parser_actions.h"
#include "frontend/scanner.h"
#include "model/property.h"
#include "model/rpc_program.h"
#include "model/symbol.h"

namespace {

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The block is complete: the program is handed on, and "%" lines from now on
// belong after the program block.
rpcProgram* publishProgram(rpcProgram* program)
{
    currentProgram = program;
    beforeProgramBlock = 0;
    return program;
}

}  // namespace

rpcProcedure* procedureHead(Type* returnType, Symbol* name, symbolSet* parameters,
                            property* properties)
{
    // The prefixes written in front of the name are the outer levels of the
    // result type.
    attachBaseType(name, returnType, 0);
    name->normalizeType();
    rpcProcedure* procedure = new rpcProcedure(name->name());
    procedure->arguments = parameters;
    procedure->addProperty(properties);
    procedure->setReturnType(name->type());
    procedure->setLine(name->line());
    return procedure;
}

rpcProcedure* numberProcedure(rpcProcedure* procedure, std::int64_t number)
{
    procedure->setNumber(number);
    return procedure;
}

procedureList* startProcedures(rpcProcedure* first) { return startList<procedureList>(first); }

procedureList* addProcedure(procedureList* list, rpcProcedure* next)
{
    if (!list->add(next))
        reportSemanticError() << "procedure " << next->name() << " is redeclared.\n";
    return list;
}

rpcVersion* newVersion(property* properties, procedureList* procedures, std::int64_t number)
{
    rpcVersion* version = new rpcVersion;
    version->setNumber(number);
    version->addProperty(properties);
    version->setProcedures(procedures);
    return version;
}

versionList* startVersions(rpcVersion* first) { return startList<versionList>(first); }

versionList* addVersion(versionList* list, rpcVersion* next, const std::string& programName)
{
    if (!list->add(next))
        reportSemanticError() << " version " << upperCase(programName) << "_" << next->number()
                              << " is redeclared.\n";
    return list;
}

rpcProgram* completeProgram(std::string* name, property* properties, versionList* versions,
                            std::int64_t number)
{
    rpcProgram* program = new rpcProgram(*name);
    program->setVersions(versions);
    program->setNumber(number);
    program->addProperty(properties);
    return publishProgram(program);
}

// The one-version shorthand: its properties belong to its version 1, the
// program has none of its own.
rpcProgram* completeInterface(std::string* name, property* properties, procedureList* procedures,
                              std::int64_t number)
{
    rpcVersion* version = newVersion(properties, procedures, 1);
    versionList* versions = startVersions(version);
    rpcProgram* program = new rpcProgram(*name);
    program->setVersions(versions);
    program->setNumber(number);
    return publishProgram(program);
}
