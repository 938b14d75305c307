// The server wrapper <proc>_call: the function the runtime runs for one call
// with the addresses of the decoded argument record and of the result
// record. It prepares the result record, calls the programmer's server
// function with every argument from the record that holds it, and stores a
// non-void result in the result record.
#ifndef VELORIN_GENERATE_SERVER_WRAPPER_H
#define VELORIN_GENERATE_SERVER_WRAPPER_H

#include <string>

class rpcProcedure;

// "void* <proc>_call(<in record>* pIn, <out record>* pOut)". The runtime
// always passes both record addresses, so both parameters are always there;
// an absent record is a void* parameter.
std::string serverWrapperPrototype(rpcProcedure* procedure);

// The wrapper's prologue: zeroes the result record, copies the size
// variables, allocates the result buffers, copies the inout arguments.
std::string prepareOutRecordCode(rpcProcedure* procedure, const std::string& in,
                                 const std::string& out);

// Writes the wrapper into the server code section and its prototype into
// the server prototype section; returns the wrapper's text.
std::string emitServerWrapper(rpcProcedure* procedure);

#endif
