// The client side of one procedure as text: the call function <proc>_wrap,
// the C stub and the C++ method. The emit functions of procedure_steps.h
// write these texts into the open output files; the texts are also asked
// for directly where a caller (or a test) needs them without writing.
#ifndef VELORIN_GENERATE_CLIENT_STUBS_H
#define VELORIN_GENERATE_CLIENT_STUBS_H

#include <string>
#include <vector>

class Symbol;
class rpcProcedure;

// "int <proc>_wrap(CLIENT* pclnt, struct timeval* ptimeout[, <in>* pIn][, <out>* pOut])"
std::string callPrototype(const rpcProcedure* procedure);
// The definition of <proc>_wrap, preceded by the procedure's bounded reply
// filter when it needs one.
std::string callFunctionText(const rpcProcedure* procedure);
// The C stub on the version's global handle.
std::string clientStubText(rpcProcedure* procedure);
// The C++ method on the object's own handle and timeout.
std::string clientMethodText(rpcProcedure* procedure);

// --- Bounded replies ---
//
// An out or inout variable-length array argument hands the caller's storage
// to the result record, and the reply is decoded straight into it. That
// storage holds what the request asked for: the count, when the request
// fixes it (fill(in int n, out int [size = n, maxsize = 100] v) gives a
// buffer of n), and a bound made of the request's arguments (rfread's
// size*nm), while the reply carries counts and bounds of its own. For such
// a procedure the call function decodes the reply with a filter of its
// own: it keeps the request's values, which the stub leaves in the result
// record before the call, and accepts no more elements than they give.

// The out and inout variable-length arrays whose room the request fixes:
// every variable of their count or of their bound is an in or inout
// argument that is also a member of the result record. Arrays sized by an
// out argument, by the result or by their own data are left out: the
// request says nothing about their room beyond a constant bound, which the
// record's own routine enforces.
std::vector<Symbol*> requestBoundedArrays(const rpcProcedure* procedure);
// The in arguments (inout ones the stub copies anyway) that those counts
// and bounds name, each once: the stub copies them into the result record
// as well.
std::vector<Symbol*> requestBoundVariables(const rpcProcedure* procedure);
// "xdr_<proc>_out_t_bounded": the file-static filter of the client file.
std::string boundedReplyFilterName(const rpcProcedure* procedure);
// The filter's definition; "" for a procedure without such arrays.
std::string boundedReplyFilterText(const rpcProcedure* procedure);
// Elements that own memory decoded into the caller's storage by a reply
// that is then refused would keep what they allocated. Where that storage
// held only zero bytes before the call (it owned nothing), the call
// function releases what its elements own after a failed call and zeroes
// them again; storage the caller had filled is left as it is. A result
// that sizes an array of the reply (and owns no memory) is zeroed after a
// failed call, since the reply may have been refused after it arrived. The
// statements before the call, and those of the failure branch.
std::string callerStorageGuardText(const rpcProcedure* procedure);
std::string callerStorageReleaseText(const rpcProcedure* procedure);
// The filter the call function passes to clnt_call for the result record:
// the bounded one when there is one, else the record's own routine.
std::string replyFilterName(const rpcProcedure* procedure);

#endif
