// The per-procedure and per-version generators that generateVersion runs at
// its fixed steps. Each writes its text straight into the open output files
// and section files (output/output_files.h, output/section_files.h).
#ifndef VELORIN_GENERATE_PROCEDURE_STEPS_H
#define VELORIN_GENERATE_PROCEDURE_STEPS_H

#include <string>

class rpcProcedure;
class rpcVersion;

// Everything one procedure contributes, in this order: argument check,
// argument records (declarations, XDR prototypes and routines, allocation
// and release helpers), server wrapper, client call function <proc>_wrap,
// C client stub, C++ client method and the body of the implementation
// template.
void generateProcedure(rpcProcedure* procedure);

// The client pieces of one procedure, which generateProcedure runs after the
// argument records and the server wrapper: <proc>_wrap into the client file
// (its prototype into clientProtoSection), the C stub into the client file,
// the C++ method into the class source.
void emitCallFunction(rpcProcedure* procedure);
void emitClientStub(rpcProcedure* procedure);
void emitClientMethod(rpcProcedure* procedure);

// The server dispatcher <prog>_<vers>() into the server file, its prototype
// into serverProtoSection.
void emitDispatcher(rpcVersion* version);

// <prog>_<vers>_reg and <prog>_<vers>_unmap into the server file.
void emitRegisterFunction(rpcVersion* version);
// <prog>_<vers>_main and, unless GEN_MAIN_FUNC is "false", main().
void emitServerMain(rpcVersion* version);

// The client binding functions: <prog>_bind and <prog>_bind_handle into the
// client file, the class's bind into the class source, <prog>_unbind and
// <prog>_errno into the client file.
void emitBindFunctions(rpcVersion* version);
void emitClassBind(rpcVersion* version);
void emitUnbindFunction(rpcVersion* version);
void emitErrnoFunction(rpcVersion* version);

// The heads of the binding functions, without ";":
//   "CLIENT*\t<prog>_bind(const char* host, u_long prog, u_long ver,const char* proto)"
//   "void\t<prog>_unbind(CLIENT* pclnt)"
//   "void\t<prog>_bind_handle(CLIENT* pclnt)"
//   "enum clnt_stat\t<prog>_errno(CLIENT* pclnt)"
std::string bindPrototype(const rpcVersion* version);
std::string unbindPrototype(const rpcVersion* version);
std::string bindHandlePrototype(const rpcVersion* version);
std::string errnoPrototype(const rpcVersion* version);
// "<prog>_bind_handle": the value of the <PROG>_<VERS>_SET_HANDLE macro.
std::string bindHandleName(const rpcVersion* version);

// The opening of the C++ client class C<prog>_<vers> into the class header.
void emitClientClass(rpcVersion* version);

// The head of a client stub (plain), of a class method (qualified: the
// class name and "::" before the procedure name) or of the programmer's
// server function (prefixed: SERV_CALL_PREFIX directly before the name).
std::string clientPrototype(rpcProcedure* procedure, int prefixed, int qualified);

#endif
