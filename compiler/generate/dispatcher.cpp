// The server dispatcher <prog>_<vers>: the function the ONC RPC library
// calls for every request to the version. It answers the null procedure,
// refuses numbers the version does not serve, and otherwise describes the
// call in a vlrpc_call_struct for the runtime's vl_serv_call.
#include <string>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

int isSet(const rpcProcedure* procedure, const char* flag)
{
    return procedure->propertyValue(flag) == "true";
}

std::string dispatcherHead(const rpcVersion* version)
{
    return fillTemplate("void $dispatcher(struct svc_req* rqstp,SVCXPRT* txp)",
                        {{"dispatcher", version->baseName()}});
}

// The dispatcher: the records of both sides in unions of the stack (never
// empty thanks to the dummy), the call description's fixed fields, and one
// case per procedure.
const char* const kDispatcher = R"C($head{

	union {
$overMembers		int	__vlrpc_dummy___;
	}RPC_over;

	union {
$backMembers		int	__vlrpc_dummy___;
	}RPC_back;

	vlrpc_call_struct callInfo;
	callInfo.ptransport = txp;
	callInfo.pover = (caddr_t)&RPC_over;
	callInfo.pback = (caddr_t)&RPC_back;
	callInfo.reply_now = 0;
	callInfo.mt_on_call = 0;
	callInfo.free_after = 0;
	callInfo.psvc_req = rqstp;
	callInfo.proc = 0;


	switch (rqstp->rq_proc) {
	case NULLPROC:
		svc_sendreply(txp, (xdrproc_t)xdr_void, 0);
		return;

$cases	default:
		svcerr_noproc(txp);
		return;
	}

	vl_serv_call(&callInfo);

}

)C";

const char* const kProcedureCase = R"C(	case $number:
		callInfo.xdr_over = (xdrproc_t) $xdrOver;
		callInfo.xdr_back = (xdrproc_t) $xdrBack;
		callInfo.over_size = $overSize;
		callInfo.back_size = $backSize;
		callInfo.local = (local_call_t)$call;
		callInfo.free_after = (free_call_t)$freeAfter;
$options		break;

)C";

// The members of one side's union: the records of the procedures that have
// one on that side.
std::string recordMembers(const procedureList* procedures, int inSide)
{
    std::string text;
    procedureList::cursor walk = procedureList::begin(procedures);
    while (rpcProcedure* procedure = walk.next()) {
        if (inSide && procedure->hasInRecord())
            text += fillTemplate("\t\t$record\t$member;\n", {{"record", procedure->inRecordName()},
                                                             {"member", procedure->overName()}});
        if (!inSide && procedure->hasOutRecord())
            text += fillTemplate("\t\t$record\t$member;\n", {{"record", procedure->outRecordName()},
                                                             {"member", procedure->backName()}});
    }
    return text;
}

std::string recordSize(int hasRecord, const std::string& record)
{
    return hasRecord ? fillTemplate("sizeof($record)", {{"record", record}}) : "0";
}

// The argument record zeroed here instead of by the runtime, and the inout
// arrays that are decoded into their result storage given it before
// decoding. A call whose storage cannot be had is refused as a system error.
const char* const kRecordRoom = "\t\tmemset(&RPC_over.$over, 0, sizeof($record));\n"
                                "$rooms";
const char* const kDecodedRoom = "\t\tRPC_over.$over.$name = $allocation;\n"
                                 "\t\tif(RPC_over.$over.$name == 0) {\n"
                                 "\t\t\tsvcerr_systemerr(txp);\n"
                                 "\t\t\treturn;\n"
                                 "\t\t}\n";

std::string decodedRooms(rpcProcedure* procedure)
{
    if (!procedure->hasInRecord())
        return "";
    const std::string over = procedure->overName();
    std::string rooms;
    symbolSet::cursor walk = symbolSet::begin(procedure->arguments);
    while (Symbol* argument = walk.next())
        if (const arrayType* array = decodedRoomArray(argument))
            rooms += fillTemplate(
                kDecodedRoom,
                {{"over", over},
                 {"name", argument->name()},
                 {"allocation",
                  decodedRoomAllocation(array, "RPC_over." + over + ".", argument->name())}});
    if (rooms.empty())
        return "";
    return fillTemplate(kRecordRoom,
                        {{"over", over}, {"record", procedure->inRecordName()}, {"rooms", rooms}});
}

std::string procedureCase(rpcProcedure* procedure)
{
    const std::string rooms = decodedRooms(procedure);
    std::string options = rooms;
    if (isSet(procedure, "NON_BLOCKING"))
        options += "\t\tcallInfo.reply_now = 1;\n";
    const int forks = isSet(procedure, "FORK_ON_CALL");
    const int threads = isSet(procedure, "THREAD_ON_CALL");
    if (forks && threads)
        reportError() << "funtion " << procedure->name() << ", "
                      << "only one of "
                      << "FORK_ON_CALL"
                      << " and "
                      << "THREAD_ON_CALL"
                      << " can be set\n";
    if (forks)
        options += "\t\tcallInfo.mt_on_call = VELORIN_FORKING;\n";
    if (threads)
        options += "\t\tcallInfo.mt_on_call = VELORIN_THREADING;\n";
    return fillTemplate(
        kProcedureCase,
        {{"number", procedure->upperName()},
         {"xdrOver", procedure->inXdrRoutine()},
         {"xdrBack", procedure->outXdrRoutine()},
         {"overSize", rooms.empty()
                          ? recordSize(procedure->hasInRecord(), procedure->inRecordName())
                          : std::string("0")},
         {"backSize", recordSize(procedure->hasOutRecord(), procedure->outRecordName())},
         {"call", procedure->callName()},
         {"freeAfter", procedure->freeAfterName()},
         {"options", options}});
}

}  // namespace

void emitDispatcher(rpcVersion* version)
{
    const procedureList* procedures = version->procedures();
    emit(serverProtoSection.stream(), dispatcherHead(version), ";\n");

    std::string cases;
    procedureList::cursor walk = procedureList::begin(procedures);
    while (rpcProcedure* procedure = walk.next())
        cases += procedureCase(procedure);
    emit(serverOut, fillTemplate(kDispatcher, {{"head", dispatcherHead(version)},
                                               {"overMembers", recordMembers(procedures, 1)},
                                               {"backMembers", recordMembers(procedures, 0)},
                                               {"cases", cases}}));
}
