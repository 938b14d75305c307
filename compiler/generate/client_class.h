// The opening of the C++ client class C<prog>_<vers> as text; emitClientClass
// (procedure_steps.h) writes it into the class header.
#ifndef VELORIN_GENERATE_CLIENT_CLASS_H
#define VELORIN_GENERATE_CLIENT_CLASS_H

#include <string>

class rpcVersion;

// "class C<prog>_<vers> : public RPCClient {", its two constructors and the
// declaration of bind; the method declarations and the end follow.
std::string clientClassHeadText(const rpcVersion* version);

#endif
