// The client side of one procedure: the call function <proc>_wrap, which
// performs the ONC RPC call with the procedure's two records; the C stub,
// which has the procedure's own signature and calls <proc>_wrap on the
// version's global handle; and the C++ method, the same stub on the
// object's own handle and timeout.
#include <string>

#include "generate/client_stubs.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/fatal.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

// The blanks that line the clnt_call arguments up under its parenthesis.
const char* const kCallArgumentIndent = "\t                     ";
const char* const kCallCloseIndent = "\t                    ";

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

// Step by step: the records into which the arguments go before the call.
std::string argumentCopies(const Symbol* argument)
{
    const std::string a = argument->name();
    const int fixed = argument->isFixedArray();
    const std::string inputCopy =
        fixed ? joinText("memcpy(Input.", a, ", ", a, ", sizeof(Input.", a, "))", ";\n")
              : joinText("Input.", a, " = ", assignedValue(argument), ";\n");
    const std::string bufferCopy =
        joinText("memcpy(Output.", a, ", ", a, ", sizeof(Output.", a, "))", ";\n");
    switch (argument->direction()) {
    case DIR_INOUT:
        if (fillsCallerBuffers(argument))
            return joinText(inputCopy, "\t\t", bufferCopy);
        // A fixed array travels in the record; nothing goes into Output.
        if (fixed)
            return inputCopy;
        return joinText(inputCopy, "\t\t", "Output.", a, " = ", assignedValue(argument), ";\n");
    case DIR_OUT:
        if (fillsCallerBuffers(argument))
            return bufferCopy;
        // A fixed array is copied back after the call; the tab written in
        // front of it begins the next line.
        if (fixed)
            return "";
        return joinText("Output.", a, " = ", assignedValue(argument), ";\n");
    default:
        return inputCopy;
    }
}

// The fixed-size arrays that come back in the result record.
std::string resultCopies(const rpcProcedure* procedure)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        if (argument->direction() == DIR_IN || !argument->isFixedArray())
            continue;
        const std::string a = argument->name();
        text += joinText("\t", "memcpy(", a, ",Output.", a, ", sizeof(Output.", a, "))", ";\n");
    }
    return text;
}

std::string stubText(rpcProcedure* procedure, const stubFlavour& flavour)
{
    const int hasIn = procedure->hasInRecord();
    const int hasOut = procedure->hasOutRecord();
    std::string text = joinText(flavour.head, "{", "\n");
    if (hasIn)
        text += joinText("\t", procedure->inRecordName(), "\tInput;", "\n");
    if (hasOut)
        text += joinText("\t", procedure->outRecordName(), "\tOutput;", "\n");
    text += "\n";
    if (flavour.ownTimeout)
        text += "\tstruct timeval timeOut;\n";
    if (hasOut)
        text += joinText("\tmemset(&Output, 0, sizeof(Output));", "\n");

    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        text += "\t" + argumentCopies(argument);
    // The request's bounds of the arrays that the reply fills in place, for
    // the call function's bounded reply filter.
    for (Symbol* input : requestBoundVariables(procedure))
        text += joinText("\t", "Output.", input->name(), " = ", input->name(), ";\n");
    text += "\n";

    if (flavour.ownTimeout) {
        const std::string timeoutValue = procedure->propertyValue("TIMEOUT_VALUE");
        if (!timeoutValue.empty())
            text += joinText("\ttimeOut.tv_usec = 0", ";\n", "\ttimeOut.tv_sec = ", timeoutValue,
                             ";\n");
        else
            text += joinText("\ttimeOut = ", procedure->version()->timeoutMacroName(), ";\n");
    }
    // Nothing is bound yet, or binding failed: the null handle goes no
    // further than <proc>_wrap, which refuses it.
    text += joinText("\tif(", flavour.handle, ")", "\n");
    text += joinText("\t\tclnt_control(", flavour.handle, ",CLSET_TIMEOUT, (char*)",
                     flavour.timeoutAddress, ");", "\n");
    text +=
        joinText("\t", procedure->wrapName(), "(", flavour.handle, ", ", flavour.timeoutAddress);
    if (hasIn)
        text += ", &Input";
    if (hasOut)
        text += ",\t&Output";
    text += ");\n";
    text += "\n";

    text += resultCopies(procedure);
    if (returnsValue(procedure))
        text += joinText("\treturn Output.", "_vlrpc_return_", ";\n");
    text += joinText("}", "\n\n");
    return text;
}

}  // namespace

std::string callPrototype(const rpcProcedure* procedure)
{
    std::string text = joinText("int ", procedure->wrapName(), "(", "CLIENT*", " pclnt, ",
                                "struct timeval*", " ptimeout");
    if (procedure->hasInRecord())
        text += joinText(", ", procedure->inRecord->cPointerText(), " pIn");
    if (procedure->hasOutRecord())
        text += joinText(", ", procedure->outRecord->cPointerText(), " pOut");
    return text + ")";
}

std::string callFunctionText(const rpcProcedure* procedure)
{
    const char* const indentArg = kCallArgumentIndent;
    std::string text = boundedReplyFilterText(procedure);
    text += joinText(callPrototype(procedure), "{", "\n");
    text += joinText("\tint ret_code", ";\n");
    text += callerStorageGuardText(procedure);
    text +=
        joinText("\tif(pclnt==(CLIENT*)0) {", "\n", "\t\treturn ERR_NULL_CLNT;", "\n", "\t}", "\n");
    text += joinText("\tret_code = clnt_call(pclnt,", "\n");
    text += joinText(indentArg, procedure->upperName(), ",", "\n");
    text += joinText(indentArg, "(xdrproc_t)", procedure->inXdrRoutine(), ",", "\n");
    text += joinText(indentArg, procedure->hasInRecord() ? "(void*)pIn," : "(void*)0,", "\n");
    text += joinText(indentArg, "(xdrproc_t)", replyFilterName(procedure), ",", "\n");
    text += joinText(indentArg, procedure->hasOutRecord() ? "(void*)pOut," : "(void*)0,", "\n");
    text += joinText(indentArg, "*ptimeout", "\n");
    text += joinText(kCallCloseIndent, ");", "\n\n");
    text += joinText("\tif(ret_code != RPC_SUCCESS) {", "\n", callerStorageReleaseText(procedure),
                     "#if VL_NO_SUPRESS_CLNT_ERROR", "\n", "\t\t", procedure->errorReportName(),
                     "(pclnt,\"", procedure->name(), "\");", "\n", "#endif", "\n", "\t}", "\n");
    text += joinText("\treturn ret_code;", "\n", "}", "\n\n");
    return text;
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
    std::string text = returnTypeText(procedure) + " ";
    if (qualified)
        text += procedure->version()->clientClassName() + "::";
    if (prefixed)
        text += procedure->propertyValue("SERV_CALL_PREFIX");
    text += procedure->name() + "(";
    const char* separator = "";
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        text += separator + argument->declaration(0);
        separator = ", ";
    }
    return text + ")";
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
