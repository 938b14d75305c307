// The client binding functions: the C functions that create, install,
// destroy and query the version's global client handle, and the client
// class's bind, which creates an object's own handle through RPCClient.
#include <string>

#include "generate/client_binding.h"
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
std::string argumentDefaults(const rpcVersion* version)
{
    return joinText("\t", "const char *", " protoc = ", defaultProtocol(version), ";\n",
                    "\tver = (ver==0? ", version->upperName(), " : ver)", ";\n",
                    "\tprog = (prog==0? ", programNumberMacro(version), " : prog )", ";\n",
                    "\tprotoc = (proto==(char*)0? protoc : proto)", ";\n");
}

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
    return joinText("CLIENT*", "\t", bindName(version), "(const ", "char*",
                    " host, u_long prog, u_long ver,", "const char*", " proto)");
}

std::string unbindPrototype(const rpcVersion* version)
{
    return joinText("void\t", unbindName(version), "(", "CLIENT*", " pclnt)");
}

std::string bindHandlePrototype(const rpcVersion* version)
{
    return joinText("void\t", bindHandleName(version), "(CLIENT* pclnt)");
}

std::string errnoPrototype(const rpcVersion* version)
{
    return joinText("enum clnt_stat\t", errnoName(version), "(", "CLIENT*", " pclnt)");
}

std::string bindFunctionsText(const rpcVersion* version)
{
    const std::string port = serverPort(version);
    std::string text = joinText(bindPrototype(version), " {\n", "\t", "CLIENT*", " pclnt = 0;\n");
    text += argumentDefaults(version);
    if (port.empty())
        text += joinText("\tpclnt = clnt_create(host, prog, ver, protoc)", ";\n");
    else
        text += joinText("\tpclnt = ", "vl_clnt_create", "(host, ", port,
                         ", prog, ver, protoc, 0, 0)", ";\n");
    text += joinText("\t", version->setHandleMacroName(), "(pclnt);", "\n", "\treturn pclnt;", "\n",
                     "}\n\n");
    text += joinText(bindHandlePrototype(version), "{\n", "\t", version->handleVarName(),
                     " = pclnt", ";\n", "}\n\n");
    return text;
}

// Destroying the global handle also clears it: a later stub call then meets
// a null handle (ERR_NULL_CLNT) instead of a destroyed one.
std::string unbindFunctionText(const rpcVersion* version)
{
    const std::string global = version->handleVarName();
    return joinText(unbindPrototype(version), " {\n", "\tpclnt  = (pclnt==0? ", global,
                    ": pclnt);\n", "\tif(pclnt)\n", "\t\tclnt_destroy(pclnt);\n",
                    "\tif(pclnt==", global, ")\n", "\t\t", global, " = 0;\n", "}\n\n");
}

std::string errnoFunctionText(const rpcVersion* version)
{
    return joinText(errnoPrototype(version), " {\n", "\treturn ", "vl_clnt_errno",
                    "(pclnt?pclnt:", version->handleMacroName(), ");\n", "}\n\n");
}

std::string classBindText(const rpcVersion* version)
{
    const std::string port = serverPort(version);
    std::string text =
        joinText("CLIENT* ", version->clientClassName(),
                 "::bind(const char* host, const char*proto, u_long prog, u_long ver){\n\n");
    text += argumentDefaults(version);
    if (port.empty())
        text += joinText("\tthis->create(host, prog, ver, protoc)", ";\n");
    else
        text += joinText("\t", "this->create2(host, prog, ver, protoc,", port, ", 0, 0)", ";\n");
    text += joinText("\treturn clnt;", "\n", "}\n\n");
    return text;
}

void emitBindFunctions(rpcVersion* version) { emit(clientOut, bindFunctionsText(version)); }
void emitUnbindFunction(rpcVersion* version) { emit(clientOut, unbindFunctionText(version)); }
void emitErrnoFunction(rpcVersion* version) { emit(clientOut, errnoFunctionText(version)); }
void emitClassBind(rpcVersion* version) { emit(classSourceOut, classBindText(version)); }
