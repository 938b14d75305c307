// The server dispatcher <prog>_<vers>: the function the ONC RPC library
// calls for every request to the version. It answers the null procedure,
// refuses numbers the version does not serve, and otherwise describes the
// call in a vlrpc_call_struct for the runtime's vl_serv_call.
#include <string>

#include "diagnostics/error_report.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"
#include "output/section_files.h"

namespace {

int isSet(const rpcProcedure* procedure, const char* flag) {
  return procedure->propertyValue(flag) == "true";
}

std::string dispatcherHead(const rpcVersion* version) {
  return joinText("void ", version->baseName(), "(", "struct svc_req*", " rqstp,", "SVCXPRT*",
                  " txp)");
}

// One union of the records of a side, never empty thanks to the dummy.
std::string recordUnion(const procedureList* procedures, int inSide, const char* unionName) {
  std::string text = joinText("\tunion {", "\n");
  procedureList::cursor walk = procedureList::begin(procedures);
  while (rpcProcedure* procedure = walk.next()) {
    if (inSide && procedure->hasInRecord())
      text += joinText("\t\t", procedure->inRecordName(), "\t", procedure->overName(), ";\n");
    if (!inSide && procedure->hasOutRecord())
      text += joinText("\t\t", procedure->outRecordName(), "\t", procedure->backName(), ";\n");
  }
  return text + joinText("\t\tint\t__vlrpc_dummy___", ";\n", "\t}", unionName);
}

std::string commonFields() {
  return joinText("\t", "vlrpc_call_struct", " callInfo;", "\n",
                  "\tcallInfo.ptransport = txp;", "\n",
                  "\tcallInfo.pover = (caddr_t)&RPC_over;", "\n",
                  "\tcallInfo.pback = (caddr_t)&RPC_back;", "\n",
                  "\tcallInfo.reply_now = 0;", "\n",
                  "\tcallInfo.mt_on_call = 0;", "\n",
                  "\tcallInfo.free_after = 0;", "\n",
                  "\tcallInfo.psvc_req = rqstp;", "\n",
                  "\tcallInfo.proc = 0;", "\n",
                  "\n\n");
}

std::string procedureCase(rpcProcedure* procedure) {
  std::string text = joinText("\tcase ", procedure->upperName(), ":", "\n");
  text += joinText("\t\tcallInfo.xdr_over = (xdrproc_t) ", procedure->inXdrRoutine(), ";\n");
  text += joinText("\t\tcallInfo.xdr_back = (xdrproc_t) ", procedure->outXdrRoutine(), ";\n");
  text += joinText("\t\tcallInfo.over_size = ",
                   procedure->hasInRecord() ? joinText("sizeof(", procedure->inRecordName(), ")") : "0",
                   ";\n");
  text += joinText("\t\tcallInfo.back_size = ",
                   procedure->hasOutRecord() ? joinText("sizeof(", procedure->outRecordName(), ")") : "0",
                   ";\n");
  text += joinText("\t\tcallInfo.local = (local_call_t)", procedure->callName(), ";\n");
  text += joinText("\t\tcallInfo.free_after = (free_call_t)", procedure->freeAfterName(), ";\n");
  if (isSet(procedure, "NON_BLOCKING")) text += joinText("\t\tcallInfo.reply_now = 1", ";\n");
  const int forks = isSet(procedure, "FORK_ON_CALL");
  const int threads = isSet(procedure, "THREAD_ON_CALL");
  if (forks && threads)
    reportError() << "funtion " << procedure->name() << ", " << "only one of " << "FORK_ON_CALL"
                  << " and " << "THREAD_ON_CALL" << " can be set\n";
  if (forks) text += joinText("\t\tcallInfo.mt_on_call = VELORIN_FORKING", ";\n");
  if (threads) text += joinText("\t\tcallInfo.mt_on_call = VELORIN_THREADING", ";\n");
  return text + joinText("\t\tbreak;", "\n\n");
}

}  // namespace

void emitDispatcher(rpcVersion* version) {
  const procedureList* procedures = version->procedures();
  emit(serverProtoSection.stream(), dispatcherHead(version), ";\n");

  std::string text = joinText(dispatcherHead(version), "{", "\n", "\n");
  text += recordUnion(procedures, 1, "RPC_over;\n\n");
  text += recordUnion(procedures, 0, "RPC_back;\n\n");
  text += commonFields();
  text += joinText("\tswitch (rqstp->rq_proc) {", "\n", "\tcase NULLPROC:", "\n",
                   "\t\tsvc_sendreply(txp, (xdrproc_t)xdr_void, 0);", "\n", "\t\treturn;", "\n\n");
  procedureList::cursor walk = procedureList::begin(procedures);
  while (rpcProcedure* procedure = walk.next()) text += procedureCase(procedure);
  text += joinText("\tdefault:", "\n", "\t\tsvcerr_noproc(txp);", "\n", "\t\treturn", ";\n", "\t}",
                   "\n\n");
  text += joinText("\tvl_serv_call(&callInfo)", ";\n");
  text += joinText("\n", "}", "\n\n");
  emit(serverOut, text);
}
