// The body of one server function in the implementation template: the
// programmer's function head and an empty body to fill in.
#include "generate/impl_template.h"

#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

void emitImplTemplate(rpcProcedure* procedure)
{
    if (!generateImplTemplate)
        return;
    emit(implTemplateOut, "\n\n", clientPrototype(procedure, 1, 0), "{", "\n");
    emit(implTemplateOut, "\n\t/* Add server implementation code here */", "\n\n");
    emit(implTemplateOut, "}", "\n\n", "\n");
    implTemplateOut.flush();
}
