// The implementation template <base>_impl_tmp.c: an empty body of every
// server function the programmer writes.
#ifndef VELORIN_GENERATE_IMPL_TEMPLATE_H
#define VELORIN_GENERATE_IMPL_TEMPLATE_H

class rpcProcedure;

// Writes the procedure's template body while the template is generated.
void emitImplTemplate(rpcProcedure* procedure);

#endif
