// The two records a remote procedure travels in: the argument record
// <proc>_in_t (size variables of the in/inout arrays, then the in and inout
// arguments) and the result record <proc>_out_t (size variables of the
// out/inout arrays, the out and inout arguments, then the result). Before
// they are built, the size variables of the array arguments are checked and
// sorted into the two records.
#include <ostream>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

// Sorts the size variables of one array argument into the procedure's two
// sets; the first faulty variable ends the examination of this argument.
void checkArraySizeVars(rpcProcedure* procedure, Symbol* argument, const arrayType* array)
{
    symbolSet vars;
    array->collectSizeVars(vars);
    symbolSet::cursor walk = symbolSet::begin(&vars);
    while (Symbol* var = walk.next()) {
        if (var->name() == returnMemberName) {
            if (procedure->returnsVoid()) {
                reportError() << " size of argument " << argument->name()
                              << " was specified as void (return).\n";
                return;
            }
            // The result sizes an out array: it travels in the result record
            // already, so it enters neither set.
            if (argument->direction() == DIR_OUT)
                continue;
            reportError() << " input size of argument " << argument->name()
                          << " was specified as the return value.\n";
            return;
        }
        Symbol* sizeArgument = procedure->findArgument(var->name());
        if (!sizeArgument) {
            reportError() << " size variable " << var->name() << " of " << argument->name()
                          << " for " << procedure->name() << "() is not an argument."
                          << "\n";
            return;
        }
        if (argument->direction() != DIR_OUT)
            procedure->inSizeVars.add(sizeArgument);
        if (argument->direction() != DIR_IN)
            procedure->outSizeVars.add(sizeArgument);
    }
}

classType* newRecord(const std::string& name)
{
    classType* record = new classType(name, 0);
    record->setKeyword(CODE_STRUCT);
    record->setTypedefName(name);
    record->markArgRecord();
    return record;
}

void addMembers(classType* record, const symbolSet& members)
{
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next())
        record->addMember(member);
}

void fillInRecord(rpcProcedure* procedure)
{
    classType* record = procedure->inRecord;
    addMembers(record, procedure->inSizeVars);
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        if (argument->direction() == DIR_IN || argument->direction() == DIR_INOUT)
            record->addMember(argument);
}

void fillOutRecord(rpcProcedure* procedure)
{
    classType* record = procedure->outRecord;
    addMembers(record, procedure->outSizeVars);
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        if (argument->direction() != DIR_OUT && argument->direction() != DIR_INOUT)
            continue;
        record->addMember(argument);
        if (argument->needsAllocation())
            procedure->needsHelpers = 1;
    }
    if (procedure->returnType() && !procedure->returnsVoid()) {
        Symbol* result = new Symbol(returnMemberName, 0);
        result->setDirection(DIR_OUT);
        attachBaseType(result, procedure->returnType(), 0);
        record->addMember(result);
    }
}

// A record of the same name that an earlier version of the program
// registered: records belong to their version, so that is no redefinition.
int isRecordOfOtherVersion(const classType* record)
{
    const classType* registered =
        dynamic_cast<const classType*>(declaredTypes.findStruct(record->nameField()));
    return registered && registered != record && registered->isArgRecord() ? 1 : 0;
}

// Registers a record with the declared types once, so that a struct or
// union the interface declares under the record's name is reported.
void registerRecord(classType* record)
{
    if (declaredTypes.findStruct(record->nameField()) == record)
        return;
    if (isRecordOfOtherVersion(record))
        return;
    declaredTypes.add(record);
}

void declareRecord(classType* record)
{
    record->emitDeclaration(argRecordSection.stream());
    emit(xdrProtoSection.stream(), record->xdrPrototype(), ";", "\n");
}

void emitResultHelpers(classType* record)
{
    record->emitMallocHelper(serverCodeStream);
    record->emitFreeHelper(serverCodeStream);
    std::ostream& prototypes = serverProtoSection.stream();
    emit(prototypes, mallocHelperPrototype(record), ";\n");
    emit(prototypes, freeHelperPrototype(record), ";\n");
}

// 1 when every variable the expression names is a member of the record.
int isMadeOfMembers(const expression* e, const classType* record)
{
    symbolSet vars;
    e->collectVars(vars);
    symbolSet::cursor walk = symbolSet::begin(&vars);
    while (Symbol* var = walk.next())
        if (!record->findMember(var))
            return 0;
    return 1;
}

// A reply whose out array holds more than its bound cannot be encoded,
// and the server function would fill the buffer of the bound up to the
// size: a request whose in arguments give an out array a size above its
// bound is refused while it is decoded, before the function runs. (An
// inout array arrives with its count, which its own block checks.)
const char* const kResultRoomCheck = "\tif(xdrp->x_op == XDR_DECODE && $size > $bound)\n"
                                     "\t\treturn 0;\n";

std::string resultRoomChecks(rpcProcedure* procedure)
{
    const classType* record = procedure->inRecord;
    const std::string prefix = joinText("p", record->name(), "->");
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        Type* t = argument->type();
        if (argument->direction() != DIR_OUT || !t || t->kind() != KIND_ARRAY)
            continue;
        const arrayType* array = static_cast<const arrayType*>(t);
        if (!array->size || !array->maxsize || readsOwnData(array->size) ||
            (array->size->isConstant() && array->maxsize->isConstant()) ||
            !isMadeOfMembers(array->size, record) || !isMadeOfMembers(array->maxsize, record))
            continue;
        text += fillTemplate(kResultRoomCheck,
                             {{"size", arraySizeValue(array, prefix, argument->name())},
                              {"bound", arrayBoundValue(array, prefix, argument->name())}});
    }
    return text;
}

// C has no function returning an array, and a fixed array typedef is one.
void refuseArrayResult(const rpcProcedure* procedure)
{
    Type* result = procedure->returnType();
    Type* resolved = result ? result->resolve() : nullptr;
    if (!resolved || resolved->kind() != KIND_ARRAY || result->isPointerLike())
        return;
    reportError() << " procedure " << procedure->name() << " on line " << procedure->line()
                  << " returns the fixed array " << result->name()
                  << ": return it through a pointer (" << result->name()
                  << "*) or a struct that holds it.\n";
}

// A void argument would be a void member of the argument record.
void refuseVoidArgument(const rpcProcedure* procedure, const Symbol* argument)
{
    Type* resolved = argument->type() ? argument->type()->resolve() : nullptr;
    if (resolved && resolved->isVoid())
        reportError() << " argument " << argument->name() << " of " << procedure->name()
                      << "() on line " << argument->line()
                      << " is void: leave it out, a procedure without arguments is written "
                      << procedure->name() << "().\n";
}

}  // namespace

void rpcProcedure::checkArguments()
{
    refuseArrayResult(this);
    symbolSet::cursor walk = symbolSet::begin(arguments);
    while (Symbol* argument = walk.next()) {
        refuseVoidArgument(this, argument);
        // Only an argument whose own type is an array carries size attributes;
        // a typedef of an array or a pointer to one is not examined.
        Type* t = argument->type();
        if (!t || t->kind() != KIND_ARRAY)
            continue;
        checkArraySizeVars(this, argument, static_cast<const arrayType*>(t));
    }
}

void rpcProcedure::buildArgRecords()
{
    if (!inRecord || !outRecord) {
        inRecord = newRecord(inRecordName());
        inRecord->markArgumentsRecord();
        outRecord = newRecord(outRecordName());
        fillInRecord(this);
        fillOutRecord(this);
    }

    if (hasInRecord())
        declareRecord(inRecord);
    if (hasOutRecord())
        declareRecord(outRecord);
    if (needsHelpers && hasOutRecord())
        emitResultHelpers(outRecord);

    if (hasInRecord()) {
        inRecord->emitXdrRoutine(xdrOut, resultRoomChecks(this));
        registerRecord(inRecord);
    }
    if (hasOutRecord()) {
        outRecord->emitXdrRoutine(xdrOut);
        registerRecord(outRecord);
    }
}
