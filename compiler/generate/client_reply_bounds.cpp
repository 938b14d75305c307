// Bounded replies: the result-record filter that keeps a reply from
// claiming more room in the caller's buffers than the request gave them.
#include <string>
#include <vector>

#include "generate/client_stubs.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/generated_identifiers.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"

namespace {

// The caller's storage goes to the result record only for a variable-length
// array typed as such on the argument itself (Output.<a> = <a>).
const arrayType* callerStorageArray(const Symbol* argument)
{
    if (argument->direction() != DIR_OUT && argument->direction() != DIR_INOUT)
        return nullptr;
    const arrayType* array = dynamic_cast<const arrayType*>(argument->type());
    return array && array->variable ? array : nullptr;
}

int isResultMember(const rpcProcedure* procedure, const std::string& name)
{
    return procedure->outRecord && procedure->outRecord->members.find(name) ? 1 : 0;
}

// 1 when the request alone fixes the expression's value: every variable it
// names is an in or inout argument that the result record holds (the stub
// leaves the request's value there), and it does not read the array's own
// data, which the caller has not filled.
int fixedByRequest(const rpcProcedure* procedure, const expression* e)
{
    if (!e || readsOwnData(e))
        return 0;
    symbolSet variables;
    e->collectVars(variables);
    symbolSet::cursor walk = symbolSet::begin(&variables);
    while (Symbol* variable = walk.next()) {
        const Symbol* argument = procedure->findArgument(variable->name());
        if (!argument || argument->direction() == DIR_OUT)
            return 0;
        if (!isResultMember(procedure, variable->name()))
            return 0;
    }
    return 1;
}

// The expressions of the request that size the caller's buffer: the count
// it asks for, and a bound made of its arguments (a constant bound is the
// record routine's own business).
std::vector<const expression*> capacityExpressions(const rpcProcedure* procedure,
                                                   const arrayType* array)
{
    std::vector<const expression*> found;
    if (fixedByRequest(procedure, array->size))
        found.push_back(array->size);
    if (array->maxsize && !array->maxsize->isConstant() &&
        fixedByRequest(procedure, array->maxsize))
        found.push_back(array->maxsize);
    return found;
}

int isBoundedArray(const rpcProcedure* procedure, const Symbol* member)
{
    for (Symbol* array : requestBoundedArrays(procedure))
        if (array->name() == member->name())
            return 1;
    return 0;
}

// The smaller of two 64-bit sizes.
std::string clampText(const std::string& size, const std::string& limit)
{
    return fillTemplate("$clamp($size, $limit)",
                        {{"clamp", sizeClampFunction}, {"size", size}, {"limit", limit}});
}

// The room of the caller's buffer as the request gave it, a 64-bit size
// over the record as the stub left it.
std::string capacityText(const rpcProcedure* procedure, const arrayType* array,
                         const std::string& prefix)
{
    std::string text;
    for (const expression* e : capacityExpressions(procedure, array)) {
        const std::string value = e->sizeCodeText(prefix);
        text = text.empty() ? value : clampText(text, value);
    }
    return text;
}

}  // namespace

std::vector<Symbol*> requestBoundedArrays(const rpcProcedure* procedure)
{
    std::vector<Symbol*> arrays;
    if (!procedure->hasOutRecord())
        return arrays;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        const arrayType* array = callerStorageArray(argument);
        if (array && isResultMember(procedure, argument->name()) &&
            !capacityExpressions(procedure, array).empty())
            arrays.push_back(argument);
    }
    return arrays;
}

std::vector<Symbol*> requestBoundVariables(const rpcProcedure* procedure)
{
    std::vector<Symbol*> inputs;
    symbolSet seen;
    for (Symbol* arraySymbol : requestBoundedArrays(procedure)) {
        for (const expression* e :
             capacityExpressions(procedure, callerStorageArray(arraySymbol))) {
            symbolSet variables;
            e->collectVars(variables);
            symbolSet::cursor walk = symbolSet::begin(&variables);
            while (Symbol* variable = walk.next()) {
                Symbol* argument = procedure->findArgument(variable->name());
                if (argument->direction() == DIR_IN && seen.add(argument))
                    inputs.push_back(argument);
            }
        }
    }
    return inputs;
}

std::string boundedReplyFilterName(const rpcProcedure* procedure)
{
    return procedure->outXdrRoutine() + "_bounded";
}

std::string replyFilterName(const rpcProcedure* procedure)
{
    return requestBoundedArrays(procedure).empty() ? procedure->outXdrRoutine()
                                                   : boundedReplyFilterName(procedure);
}

namespace {

// The filter: the record as the stub left it is kept as the request, then
// the members are decoded.
const char* const kBoundedReplyFilter = R"C(
static bool_t $filter(XDR*xdrp, $recordPointer $pointer){
	$recordType request = *$pointer;

$members
	return 1;
}

)C";

}  // namespace

// The record's own routine, member by member, except that an array filled
// in the caller's storage accepts no more elements than the request gave
// that storage room for (kept from the record as the stub left it). The
// filter is only ever asked to decode a reply.
std::string boundedReplyFilterText(const rpcProcedure* procedure)
{
    if (requestBoundedArrays(procedure).empty())
        return "";
    classType* record = procedure->outRecord;
    const std::string p = "p" + record->name();
    const std::string replyPrefix = p + "->";

    indentMore();
    memberSequence sequence(record->members, "xdrp", replyPrefix);
    symbolSet::cursor walk = symbolSet::begin(&record->members);
    while (Symbol* member = walk.next()) {
        arrayCoding coding;
        if (isBoundedArray(procedure, member))
            coding.countLimit = capacityText(procedure, callerStorageArray(member), "request.");
        sequence.add(member, coding);
    }
    const std::string members = sequence.text();
    indentLess();
    return fillTemplate(kBoundedReplyFilter, {{"filter", boundedReplyFilterName(procedure)},
                                              {"recordPointer", generatedPointerText(record)},
                                              {"pointer", p},
                                              {"recordType", generatedTypeText(record)},
                                              {"members", members}});
}

namespace {

// The arrays in the caller's storage whose elements own memory that
// decoding allocates (strings, lists): a refused reply may have decoded
// some of them before it was refused.
std::vector<Symbol*> owningCallerArrays(const rpcProcedure* procedure)
{
    std::vector<Symbol*> arrays;
    for (Symbol* argument : requestBoundedArrays(procedure))
        if (mayOwnMemory(callerStorageArray(argument)->eleType))
            arrays.push_back(argument);
    return arrays;
}

// The room of such storage as the request gives it, within a constant
// bound: what decoding may have written.
std::string roomText(const rpcProcedure* procedure, const Symbol* argument,
                     const std::string& prefix)
{
    const arrayType* array = callerStorageArray(argument);
    const std::string bound = array->maxsize && array->maxsize->isConstant()
                                  ? arrayBoundValue(array, prefix, argument->name())
                                  : "0xffffffffULL";
    return clampText(capacityText(procedure, array, prefix), bound);
}

std::string elementSizeText(const Symbol* argument)
{
    return joinText("sizeof(", generatedTypeText(callerStorageArray(argument)->eleType), ")");
}

// Before the call: the storage, its room, and whether it was blank.
const char* const kStorageGuard = R"C(	char* _vlrpc_storage_$index = (char*)pOut->$name;
	u_int _vlrpc_room_$index = $room;
	int _vlrpc_blank_$index = $blank(_vlrpc_storage_$index, _vlrpc_room_$index, $elementSize);
)C";

// After a failed call: storage that was blank is made blank again.
const char* const kStorageRelease = R"C(		if(_vlrpc_blank_$index)
			$clear(_vlrpc_storage_$index, _vlrpc_room_$index, $elementSize, (xdrproc_t)$element);
)C";

}  // namespace

std::string callerStorageGuardText(const rpcProcedure* procedure)
{
    std::string text;
    int index = 0;
    for (Symbol* argument : owningCallerArrays(procedure))
        text += fillTemplate(kStorageGuard, {{"index", std::to_string(index++)},
                                             {"name", argument->name()},
                                             {"room", roomText(procedure, argument, "pOut->")},
                                             {"blank", blankStorageFunction},
                                             {"elementSize", elementSizeText(argument)}});
    return text;
}

namespace {

// 1 when the result sizes an array of the reply: the array's size is
// checked only once the result is decoded, so a reply can be refused after
// its result arrived.
int resultSizesAnArray(const rpcProcedure* procedure)
{
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        const arrayType* array = dynamic_cast<const arrayType*>(argument->type());
        if (!array || !array->size || argument->direction() == DIR_IN)
            continue;
        symbolSet variables;
        array->size->collectVars(variables);
        if (variables.find(returnMemberName))
            return 1;
    }
    return 0;
}

// The stub returns the result even when the call failed: a refused reply's
// result (a count of bytes that never came) is not handed on.
const char* const kZeroedResult = "\t\tmemset(&pOut->$result, 0, sizeof(pOut->$result));\n";

}  // namespace

std::string callerStorageReleaseText(const rpcProcedure* procedure)
{
    std::string text;
    const Type* result = procedure->returnType();
    if (result && !result->isVoid() && !mayOwnMemory(result) && resultSizesAnArray(procedure))
        text += fillTemplate(kZeroedResult, {{"result", returnMemberName}});
    int index = 0;
    for (Symbol* argument : owningCallerArrays(procedure))
        text +=
            fillTemplate(kStorageRelease,
                         {{"index", std::to_string(index++)},
                          {"clear", elementClearFunction},
                          {"elementSize", elementSizeText(argument)},
                          {"element", callerStorageArray(argument)->eleType->xdrRoutineName()}});
    return text;
}
