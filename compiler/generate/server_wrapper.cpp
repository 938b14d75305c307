// The server wrapper <proc>_call, which adapts the two records of a call to
// an ordinary C call of the programmer's server function.
#include "generate/server_wrapper.h"

#include <ostream>

#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/section_files.h"

namespace {

const char* const inParameter = "pIn";
const char* const outParameter = "pOut";

std::string member(const std::string& record) { return record + "->"; }

// The parameter for one record: its pointer text, or an untyped pointer
// when the record is absent (the runtime passes an address all the same).
std::string recordParameter(const classType* record, int present, const char* name)
{
    return joinText(present ? record->cPointerText() : std::string("void*"), " ", name);
}

// Copies of the size variables that the argument record brings along. A
// size variable that is only an out argument is not in the argument record:
// the server function sets it.
std::string sizeCopies(rpcProcedure* procedure, const std::string& in, const std::string& out)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(&procedure->outSizeVars);
    while (Symbol* size = walk.next())
        if (procedure->hasInRecord() && procedure->inRecord->findMember(size))
            text += size->copySizeCode(member(out), member(in));
    return text;
}

// The allocation of the result buffers. When it fails the server function
// is not called: the record is released and zeroed again, so that whatever
// is sent encodes no dangling or null buffer, and the wrapper returns the
// record's address to tell the runtime that the call did not run.
const char* const kAllocation = R"C(	if(!$allocate) {
		$free($out);
		memset($out, 0, sizeof($record));
		return (void*)$out;
	}
)C";

std::string allocation(rpcProcedure* procedure, const std::string& out)
{
    const classType* record = procedure->outRecord;
    return fillTemplate(kAllocation, {{"allocate", record->mallocHelperCall(out)},
                                      {"free", record->freeHelperName()},
                                      {"out", out},
                                      {"record", procedure->outRecordName()}});
}

// Storage the arguments were decoded into at the bound's worth (the
// dispatcher gave it before decoding) changes hands: the argument record no
// longer holds it, so it is released once, with the result record, and the
// result record's allocation leaves it as it is. Where the dispatcher gave
// it uncleared, what the decoded elements did not overwrite is cleared now.
const char* const kStorageHandOver = "\t$out$name = $in$name;\n"
                                     "\t$in$name = 0;\n";

std::string storageHandOvers(rpcProcedure* procedure, const std::string& in, const std::string& out)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        if (const arrayType* array = decodedRoomArray(argument))
            text += fillTemplate(
                        kStorageHandOver,
                        {{"out", member(out)}, {"in", member(in)}, {"name", argument->name()}}) +
                    roomClearStatement(array, member(in), member(out), argument->name());
    return text;
}

std::string inoutCopies(rpcProcedure* procedure, const std::string& in, const std::string& out)
{
    std::string text;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        if (argument->direction() == DIR_INOUT && !decodedRoomArray(argument))
            text += argument->copyCode(member(out), member(in));
    return text;
}

// The call of the programmer's function, one argument per line, each from
// the record that holds it, its result kept in the out record.
const char* const kServerCall = R"C($result	$prefix$function(
$arguments
	);
)C";

std::string serverCall(rpcProcedure* procedure)
{
    const std::string result =
        procedure->returnsVoid()
            ? ""
            : fillTemplate("\t$member =\n", {{"member", member(outParameter) + returnMemberName}});
    std::string arguments;
    const char* separator = "";
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next()) {
        const char* record = argument->direction() == DIR_IN ? inParameter : outParameter;
        arguments += joinText(separator, "\t\t", member(record), argument->name());
        separator = ",\n";
    }
    return fillTemplate(kServerCall, {{"result", result},
                                      {"prefix", procedure->propertyValue("SERV_CALL_PREFIX")},
                                      {"function", procedure->name()},
                                      {"arguments", arguments}});
}

// The wrapper: the out record made ready, then the call.
const char* const kServerWrapper = R"C($head{
$prepare
$call	return 0;
}


)C";

}  // namespace

std::string serverWrapperPrototype(rpcProcedure* procedure)
{
    return joinText(
        "void* ", procedure->callName(), "(",
        recordParameter(procedure->inRecord, procedure->hasInRecord(), inParameter), ", ",
        recordParameter(procedure->outRecord, procedure->hasOutRecord(), outParameter), ")");
}

std::string prepareOutRecordCode(rpcProcedure* procedure, const std::string& in,
                                 const std::string& out)
{
    std::string text;
    if (procedure->hasOutRecord())
        text += fillTemplate("\tmemset($out, 0, sizeof($record));\n",
                             {{"out", out}, {"record", procedure->outRecordName()}});
    text += sizeCopies(procedure, in, out);
    if (procedure->hasOutRecord())
        text += storageHandOvers(procedure, in, out);
    if (procedure->needsHelpers && procedure->hasOutRecord())
        text += allocation(procedure, out);
    return text + inoutCopies(procedure, in, out);
}

std::string emitServerWrapper(rpcProcedure* procedure)
{
    const std::string head = serverWrapperPrototype(procedure);
    emit(serverProtoSection.stream(), head, ";\n");
    const std::string text = fillTemplate(
        kServerWrapper, {{"head", head},
                         {"prepare", prepareOutRecordCode(procedure, inParameter, outParameter)},
                         {"call", serverCall(procedure)}});
    emit(serverCodeStream, text);
    return text;
}
