// Everything one procedure contributes to the files of its version, in a
// fixed order: the records first, since every later piece names them.
#include "generate/impl_template.h"
#include "generate/procedure_steps.h"
#include "generate/server_wrapper.h"
#include "model/fatal.h"
#include "model/rpc_program.h"

void generateProcedure(rpcProcedure* procedure)
{
    rpcVersion* version = procedure->version();
    FATAL_IF(version==0);
    procedure->checkArguments();
    procedure->buildArgRecords();
    emitServerWrapper(procedure);
    emitCallFunction(procedure);
    emitClientStub(procedure);
    emitClientMethod(procedure);
    emitImplTemplate(procedure);
}
