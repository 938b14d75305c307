// The client side of one procedure: the call function <proc>_wrap, which
// performs the ONC RPC call with the procedure's two records; the C stub,
// which has the procedure's own signature and calls <proc>_wrap on the
// version's global handle; and the C++ method, the same stub on the
// object's own handle and timeout.
#include <string>

#include "generate/client_stubs.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/expression.h"
#include "model/fatal.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

std::string returnTypeText(const rpcProcedure* procedure)
{
    const Type* result = procedure->returnType();
    return result ? generatedTypeText(result) : "void";
}

int returnsValue(const rpcProcedure* procedure)
{
    const Type* result = procedure->returnType();
    return result && !result->isVoid();
}

// The two ways the same stub is written: on the version's global handle
// with the stub's own timeout variable, or on the object's members.
struct stubFlavour {
    std::string head;            // the stub's head, without "{"
    std::string handle;          // the CLIENT* expression of the call
    std::string timeoutAddress;  // what clnt_control and <proc>_wrap are given
    int ownTimeout;              // 1: declares and fills the local timeOut
};

// The text that makes an argument fit its record member: members are
// declared without const or volatile, so a qualified pointer is cast to the
// member's type (C would warn about the lost qualifier, C++ refuse it).
std::string assignedValue(const Symbol* argument)
{
    const std::string name = argument->name();
    if (argument->qualifierCode() == CODE_NONE || !argument->type() ||
        !argument->type()->isPointerLike())
        return name;
    Symbol unqualified("", 0);
    attachBaseType(&unqualified, argument->type(), 0);
    std::string castType = unqualified.declaration(0);
    while (!castType.empty() && castType.back() == ' ')
        castType.pop_back();
    return joinText("(", castType, ")", name);
}

// 1 for a fixed array of strings: the reply fills the caller's buffers in
// place, as it fills a single string's, so the result record's elements
// are the caller's before the call and stay so whatever the call gives.
int fillsCallerBuffers(const Symbol* argument) { return arrayType::holdsBuffers(argument->type()); }

// The argument assigned to the member of the same name of the stub's record
// `record` (Input or Output).
std::string memberAssignment(const char* record, const Symbol* argument)
{
    return fillTemplate(
        "$record.$name = $value;\n",
        {{"record", record}, {"name", argument->name()}, {"value", assignedValue(argument)}});
}

// A fixed array copied into the member of the same name of `record`.
std::string memberCopy(const char* record, const Symbol* argument)
{
    return fillTemplate("memcpy($record.$name, $name, sizeof($record.$name));\n",
                        {{"record", record}, {"name", argument->name()}});
}

// Step by step: the records into which the arguments go before the call.
std::string argumentCopies(const Symbol* argument)
{
    const int fixed = argument->isFixedArray();
    const std::string inputCopy =
        fixed ? memberCopy("Input", argument) : memberAssignment("Input", argument);
    switch (argument->direction()) {
    case DIR_INOUT:
        if (fillsCallerBuffers(argument))
            return inputCopy + "\t\t" + memberCopy("Output", argument);
        // A fixed array travels in the record; nothing goes into Output.
        if (fixed)
            return inputCopy;
        return inputCopy + "\t\t" + memberAssignment("Output", argument);
    case DIR_OUT:
        if (fillsCallerBuffers(argument))
            return memberCopy("Output", argument);
        // A fixed array is copied back after the call; the tab written in
        // front of it begins the next line.
        if (fixed)
            return "";
        return memberAssignment("Output", argument);
    default:
        return inputCopy;
    }
}

// What the stub puts into its records before the call, one argument after
// the other, then the request's bounds of the arrays that the reply fills
// in place, for the call function's bounded reply filter.
std::string recordCopies(const rpcProcedure* procedure)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        text += "\t" + argumentCopies(argument);
    for (Symbol* input : requestBoundVariables(procedure))
        text += fillTemplate("\tOutput.$name = $name;\n", {{"name", input->name()}});
    return text;
}

// The fixed-size arrays that come back in the result record.
std::string resultCopies(const rpcProcedure* procedure)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        if (argument->direction() == DIR_IN || !argument->isFixedArray())
            continue;
        text += fillTemplate("\tmemcpy($name,Output.$name, sizeof(Output.$name));\n",
                             {{"name", argument->name()}});
    }
    return text;
}

// The stub's own timeout: the TIMEOUT_VALUE that applies to the procedure,
// in seconds, or else the version's timeout macro.
std::string timeoutSetting(const rpcProcedure* procedure)
{
    const std::string timeoutValue = procedure->propertyValue("TIMEOUT_VALUE");
    if (timeoutValue.empty())
        return fillTemplate("\ttimeOut = $macro;\n",
                            {{"macro", procedure->version()->timeoutMacroName()}});
    return fillTemplate("\ttimeOut.tv_usec = 0;\n\ttimeOut.tv_sec = $seconds;\n",
                        {{"seconds", timeoutValue}});
}

// A stub: its records, the arguments copied into them, the call of
// <proc>_wrap and what comes back. Nothing is bound yet, or binding failed:
// the null handle goes no further than <proc>_wrap, which refuses it.
const char* const kStub = R"C($head{
$records
$timeoutVariable$clearOutput$copies
$timeout	if($handle)
		clnt_control($handle,CLSET_TIMEOUT, (char*)$timeoutAddress);
	$wrap($handle, $timeoutAddress$recordArguments);

$resultCopies$return}

)C";

std::string stubText(rpcProcedure* procedure, const stubFlavour& flavour)
{
    const int hasIn = procedure->hasInRecord();
    const int hasOut = procedure->hasOutRecord();
    std::string records;
    if (hasIn)
        records += fillTemplate("\t$record\tInput;\n", {{"record", procedure->inRecordName()}});
    if (hasOut)
        records += fillTemplate("\t$record\tOutput;\n", {{"record", procedure->outRecordName()}});
    std::string recordArguments;
    if (hasIn)
        recordArguments += ", &Input";
    if (hasOut)
        recordArguments += ",\t&Output";
    const std::string resultReturn =
        returnsValue(procedure)
            ? fillTemplate("\treturn Output.$result;\n", {{"result", returnMemberName}})
            : "";
    return fillTemplate(
        kStub, {{"head", flavour.head},
                {"records", records},
                {"timeoutVariable", flavour.ownTimeout ? "\tstruct timeval timeOut;\n" : ""},
                {"clearOutput", hasOut ? "\tmemset(&Output, 0, sizeof(Output));\n" : ""},
                {"copies", recordCopies(procedure)},
                {"timeout", flavour.ownTimeout ? timeoutSetting(procedure) : ""},
                {"handle", flavour.handle},
                {"timeoutAddress", flavour.timeoutAddress},
                {"wrap", procedure->wrapName()},
                {"recordArguments", recordArguments},
                {"resultCopies", resultCopies(procedure)},
                {"return", resultReturn}});
}

// <proc>_wrap: the clnt_call of the procedure (its arguments lined up
// under the call's parenthesis) on a handle that is not null. A failed call
// gives back the caller's storage that the reply may have filled and, when
// VL_NO_SUPRESS_CLNT_ERROR is set, reports the error.
const char* const kCallFunction = R"C($prototype{
	int ret_code;
$storageGuard	if(pclnt==(CLIENT*)0) {
		return ERR_NULL_CLNT;
	}
	ret_code = clnt_call(pclnt,
	                     $number,
	                     (xdrproc_t)$xdrIn,
	                     (void*)$in,
	                     (xdrproc_t)$xdrOut,
	                     (void*)$out,
	                     *ptimeout
	                    );

	if(ret_code != RPC_SUCCESS) {
$storageRelease#if VL_NO_SUPRESS_CLNT_ERROR
		$errorReport(pclnt,"$name");
#endif
	}
	return ret_code;
}

)C";

// A parameter of <proc>_wrap: a pointer to one of the procedure's records.
std::string recordParameter(const classType* record, const char* name)
{
    return fillTemplate(", $type $name", {{"type", record->cPointerText()}, {"name", name}});
}

}  // namespace

std::string callPrototype(const rpcProcedure* procedure)
{
    return fillTemplate(
        "int $wrap(CLIENT* pclnt, struct timeval* ptimeout$in$out)",
        {{"wrap", procedure->wrapName()},
         {"in", procedure->hasInRecord() ? recordParameter(procedure->inRecord, "pIn") : ""},
         {"out", procedure->hasOutRecord() ? recordParameter(procedure->outRecord, "pOut") : ""}});
}

std::string callFunctionText(const rpcProcedure* procedure)
{
    // The filter, when the reply needs one, stands before the function.
    const std::string filter = boundedReplyFilterText(procedure);
    return filter +
           fillTemplate(kCallFunction, {{"prototype", callPrototype(procedure)},
                                        {"storageGuard", callerStorageGuardText(procedure)},
                                        {"number", procedure->upperName()},
                                        {"xdrIn", procedure->inXdrRoutine()},
                                        {"in", procedure->hasInRecord() ? "pIn" : "0"},
                                        {"xdrOut", replyFilterName(procedure)},
                                        {"out", procedure->hasOutRecord() ? "pOut" : "0"},
                                        {"storageRelease", callerStorageReleaseText(procedure)},
                                        {"errorReport", procedure->errorReportName()},
                                        {"name", procedure->name()}});
}

std::string clientStubText(rpcProcedure* procedure)
{
    FATAL_IF(procedure->version()==0);
    const std::string handle = procedure->version()->handleMacroName();
    return stubText(procedure, {clientPrototype(procedure, 0, 0), handle, "&timeOut", 1});
}

std::string clientMethodText(rpcProcedure* procedure)
{
    return stubText(procedure, {clientPrototype(procedure, 0, 1), "clnt", "&this->timeout", 0});
}

std::string clientPrototype(rpcProcedure* procedure, int prefixed, int qualified)
{
    FATAL_IF(qualified && procedure->version()==0);
    std::string parameters;
    const char* separator = "";
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        parameters += separator + argument->declaration(0);
        separator = ", ";
    }
    return fillTemplate("$result $owner$prefix$name($parameters)",
                        {{"result", returnTypeText(procedure)},
                         {"owner", qualified ? procedure->version()->clientClassName() + "::" : ""},
                         {"prefix", prefixed ? procedure->propertyValue("SERV_CALL_PREFIX") : ""},
                         {"name", procedure->name()},
                         {"parameters", parameters}});
}

void emitCallFunction(rpcProcedure* procedure)
{
    emit(clientProtoSection.stream(), callPrototype(procedure), ";\n");
    emit(clientOut, callFunctionText(procedure));
}

void emitClientStub(rpcProcedure* procedure) { emit(clientOut, clientStubText(procedure)); }

void emitClientMethod(rpcProcedure* procedure)
{
    emit(classSourceOut, clientMethodText(procedure));
}
