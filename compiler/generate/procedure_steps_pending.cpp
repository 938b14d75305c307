// Temporary empty definitions of the procedure generators, so that the
// compiler links before they are in the tree. Deleted when the real ones land.
#include "generate/procedure_steps.h"

#include "model/rpc_program.h"

void emitCallFunction(rpcProcedure*) {}
void emitClientStub(rpcProcedure*) {}
void emitClientMethod(rpcProcedure*) {}
void emitBindFunctions(rpcVersion*) {}
void emitClassBind(rpcVersion*) {}
void emitUnbindFunction(rpcVersion*) {}
void emitErrnoFunction(rpcVersion*) {}
std::string bindPrototype(const rpcVersion*) { return std::string(); }
std::string unbindPrototype(const rpcVersion*) { return std::string(); }
std::string bindHandlePrototype(const rpcVersion*) { return std::string(); }
std::string errnoPrototype(const rpcVersion*) { return std::string(); }
void emitClientClass(rpcVersion*) {}
std::string clientPrototype(rpcProcedure*, int, int) { return std::string(); }
std::string bindHandleName(const rpcVersion* v) { return v->program() ? v->program()->name() + "_bind_handle" : std::string(); }
