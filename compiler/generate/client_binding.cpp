// The client binding functions: the C functions that create, install,
// destroy and query the version's global client handle, and the client
// class's bind, which creates an object's own handle through RPCClient.
#include <string>

#include "generate/client_binding.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

std::string programNameOf(const rpcVersion* version)
{
    return version->program() ? version->program()->name() : std::string();
}

// <PROG>: the macro of the program number.
std::string programNumberMacro(const rpcVersion* version)
{
    return version->program() ? version->program()->upperName() : std::string();
}

// "udp" only when the interface asks for exactly that transport.
std::string defaultProtocol(const rpcVersion* version)
{
    return version->transport() == "udp" ? "\"udp\"" : "\"tcp\"";
}

std::string serverPort(const rpcVersion* version) { return version->propertyValue("SERVER_PORT"); }

// The defaults of the three arguments, in the order version, program,
// protocol. Host and protocol names are const, so that C++ callers can pass
// string literals.
const char* const kArgumentDefaults = R"C(	const char * protoc = $protocol;
	ver = (ver==0? $version : ver);
	prog = (prog==0? $program : prog );
	protoc = (proto==(char*)0? protoc : proto);
)C";

std::string argumentDefaults(const rpcVersion* version)
{
    return fillTemplate(kArgumentDefaults, {{"protocol", defaultProtocol(version)},
                                            {"version", version->upperName()},
                                            {"program", programNumberMacro(version)}});
}

// <prog>_bind: a handle to the server from the arguments or their defaults,
// installed as the version's global handle; then <prog>_bind_handle, which
// installs a handle the caller made.
const char* const kBindFunctions = R"C($prototype {
	CLIENT* pclnt = 0;
$defaults	pclnt = $create;
	$setHandle(pclnt);
	return pclnt;
}

$handlePrototype{
	$handle = pclnt;
}

)C";

// Destroying the global handle also clears it: a later stub call then meets
// a null handle (ERR_NULL_CLNT) instead of a destroyed one.
const char* const kUnbindFunction = R"C($prototype {
	pclnt  = (pclnt==0? $handle: pclnt);
	if(pclnt)
		clnt_destroy(pclnt);
	if(pclnt==$handle)
		$handle = 0;
}

)C";

// The error of the last call on a handle, the global one by default.
const char* const kErrnoFunction = R"C($prototype {
	return vl_clnt_errno(pclnt?pclnt:$handleMacro);
}

)C";

// The client class's bind: the object's own handle through RPCClient.
const char* const kClassBind =
    R"C(CLIENT* $class::bind(const char* host, const char*proto, u_long prog, u_long ver){

$defaults	$create;
	return clnt;
}

)C";

}  // namespace

std::string bindName(const rpcVersion* version) { return programNameOf(version) + "_bind"; }
std::string unbindName(const rpcVersion* version) { return programNameOf(version) + "_unbind"; }
std::string errnoName(const rpcVersion* version) { return programNameOf(version) + "_errno"; }
std::string bindHandleName(const rpcVersion* version)
{
    return programNameOf(version) + "_bind_handle";
}

std::string bindPrototype(const rpcVersion* version)
{
    return fillTemplate(
        "CLIENT*\t$bind(const char* host, u_long prog, u_long ver,const char* proto)",
        {{"bind", bindName(version)}});
}

std::string unbindPrototype(const rpcVersion* version)
{
    return fillTemplate("void\t$unbind(CLIENT* pclnt)", {{"unbind", unbindName(version)}});
}

std::string bindHandlePrototype(const rpcVersion* version)
{
    return fillTemplate("void\t$bindHandle(CLIENT* pclnt)",
                        {{"bindHandle", bindHandleName(version)}});
}

std::string errnoPrototype(const rpcVersion* version)
{
    return fillTemplate("enum clnt_stat\t$errno(CLIENT* pclnt)", {{"errno", errnoName(version)}});
}

std::string bindFunctionsText(const rpcVersion* version)
{
    const std::string port = serverPort(version);
    const std::string create =
        port.empty() ? "clnt_create(host, prog, ver, protoc)"
                     : fillTemplate("vl_clnt_create(host, $port, prog, ver, protoc, 0, 0)",
                                    {{"port", port}});
    return fillTemplate(kBindFunctions, {{"prototype", bindPrototype(version)},
                                         {"defaults", argumentDefaults(version)},
                                         {"create", create},
                                         {"setHandle", version->setHandleMacroName()},
                                         {"handlePrototype", bindHandlePrototype(version)},
                                         {"handle", version->handleVarName()}});
}

std::string unbindFunctionText(const rpcVersion* version)
{
    return fillTemplate(kUnbindFunction, {{"prototype", unbindPrototype(version)},
                                          {"handle", version->handleVarName()}});
}

std::string errnoFunctionText(const rpcVersion* version)
{
    return fillTemplate(kErrnoFunction, {{"prototype", errnoPrototype(version)},
                                         {"handleMacro", version->handleMacroName()}});
}

std::string classBindText(const rpcVersion* version)
{
    const std::string port = serverPort(version);
    const std::string create =
        port.empty()
            ? "this->create(host, prog, ver, protoc)"
            : fillTemplate("this->create2(host, prog, ver, protoc,$port, 0, 0)", {{"port", port}});
    return fillTemplate(kClassBind, {{"class", version->clientClassName()},
                                     {"defaults", argumentDefaults(version)},
                                     {"create", create}});
}

void emitBindFunctions(rpcVersion* version) { emit(clientOut, bindFunctionsText(version)); }
void emitUnbindFunction(rpcVersion* version) { emit(clientOut, unbindFunctionText(version)); }
void emitErrnoFunction(rpcVersion* version) { emit(clientOut, errnoFunctionText(version)); }
void emitClassBind(rpcVersion* version) { emit(classSourceOut, classBindText(version)); }
