// The registration function <prog>_<vers>_reg, which creates a TCP or UDP
// server transport on a socket and registers the version's dispatcher, and
// <prog>_<vers>_unmap, which removes the program's portmapper entry.
#include <iostream>
#include <string>

#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

std::string transportCreation(const char* protocol, const char* master, const char* create,
                              const char* failure, const char* reportIndent)
{
    return joinText("\tif(proto==", protocol, ") {", "\n", "\t\t", master, " = ", create, ";\n",
                    "\t\tif(", master, "==NULL) {", "\n", reportIndent, "server_err(\"", failure,
                    "\\n\")", ";\n", "\t\t\treturn (SVCXPRT*)0", ";\n", "\t\t}", "\n", "\t}", "\n");
}

}  // namespace

void emitRegisterFunction(rpcVersion* version)
{
    const rpcProgram* program = version->program();
    const std::string programMacro = program ? program->upperName() : std::string();
    const int noPortmap = version->propertyValue("NO_PMAP_REGISTER") == "true";

    std::string text = joinText(version->registerPrototype(), " {", "\n");
    text += joinText("\tint prot = 0", ";\n", "\tSVCXPRT * txp =0", ";\n", "\n");
    text += transportCreation("IPPROTO_TCP", "tcp_master", "svctcp_create(sock, 0, 0)",
                              "fail creating TCP server transport!", "\t\t\t");
    text += transportCreation("IPPROTO_UDP", "udp_master", "svcudp_create(sock)",
                              "fail creating UDP server transport!", "\t\t");
    if (!noPortmap) {
        text += joinText("\tprot = sock==0 ? 0 : proto", ";\n");
    } else if (version->propertyValue("SERVER_PORT").empty()) {
        std::cout << "Warning: portmap registration disabled without specifying a server port."
                  << "\n";
    }
    text += joinText("\tprog_no = prog_no == 0? ", programMacro, " : prog_no", ";\n");
    text += joinText("\tver  = ver == 0? ", version->upperName(), " : ver", ";\n");
    text += joinText("\ttxp = proto==IPPROTO_TCP? tcp_master : udp_master", ";\n");
    text +=
        joinText("\tif (!svc_register(txp, prog_no, ver, ", version->baseName(), ", prot)) {\n");
    text +=
        joinText("\t\tserver_err(\"Fail to register server!\\n\")", ";\n", "\t\treturn (SVCXPRT*)0",
                 ";\n", "\t}", "\n", "\treturn txp", ";\n", "}", "\n\n");

    text += joinText(version->unmapPrototype(), " {\n");
    text += joinText("\t pmap_unset(\n");
    text += joinText("\t                prog_no==0? ", programMacro, ": prog_no,\n");
    text += joinText("\t                ver==0? ", version->upperName(), ": ver\n");
    text += joinText("\t               )", ";\n", "}", "\n\n\n");
    emit(serverOut, text);
}
