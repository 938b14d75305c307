// The client binding functions of a version as text: <prog>_bind with
// <prog>_bind_handle, <prog>_unbind, <prog>_errno (C, client file) and the
// client class's bind (C++, class source). The emit functions and the
// prototypes are declared in procedure_steps.h.
#ifndef VELORIN_GENERATE_CLIENT_BINDING_H
#define VELORIN_GENERATE_CLIENT_BINDING_H

#include <string>

class rpcVersion;

// "<prog>_bind", "<prog>_unbind", "<prog>_errno": named after the program
// alone, so every version of a program has functions of the same names.
std::string bindName(const rpcVersion* version);
std::string unbindName(const rpcVersion* version);
std::string errnoName(const rpcVersion* version);

std::string bindFunctionsText(const rpcVersion* version);
std::string unbindFunctionText(const rpcVersion* version);
std::string errnoFunctionText(const rpcVersion* version);
std::string classBindText(const rpcVersion* version);

#endif
