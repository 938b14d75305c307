// The server start-up <prog>_<vers>_main and the C main that calls it: the
// programmer's optional initialisation functions around the registration of
// the transports TRANSPORT_PROTOCOL asks for, then the runtime's main loop.
#include <iostream>
#include <string>

#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

// A call of a programmer's function named by a property, declared in a
// block of its own.
std::string initCall(const std::string& function)
{
    if (function.empty())
        return "";
    return joinText("\t{\n", "\tvoid ", function, "(int, char**);\n\n", "\t", function,
                    "(argc, argv)", ";\n", "\t}\n");
}

std::string transportRegistration(const rpcVersion* version, const std::string& port,
                                  const char* protocol, const char* protocolMacro,
                                  const char* label)
{
    std::string text;
    if (!port.empty())
        text += joinText("\tsock = ", "vl_serv_fd", "(", port, ", \"", protocol, "\")", ";\n");
    return text + joinText("\tif(!", version->registerName(), "(sock, 0, 0, ", protocolMacro,
                           "))\n", "\t\tserver_exit(1)", ";\n", "\tserver_msg(\"", label,
                           " server registered.\\n\")", ";\n");
}

}  // namespace

void emitServerMain(rpcVersion* version)
{
    const rpcProgram* program = version->program();
    const std::string transport = version->transport();
    const std::string port = version->propertyValue("SERVER_PORT");
    const int withTcp = transport == "tcp_and_udp" || transport == "tcp";
    const int withUdp = transport == "tcp_and_udp" || transport == "udp";
    if (!withTcp && !withUdp)
        std::cerr << "Warning: TRANSPORT_PROTOCOL " << transport
                  << " is neither tcp, udp nor tcp_and_udp: the server registers no transport.\n";

    std::string text = joinText(version->mainPrototype(), " {\n");
    // No variable of the program number: nothing would read it.
    text += joinText("\tint sock = RPC_ANYSOCK", ";\n", "\n", "\tint fork_connect = 0", ";\n",
                     "\tint exit_idle = 1", ";\n");
    text += initCall(version->propertyValue("INIT_BEFORE_REGISTER"));
    text += "\n";
    if (version->propertyValue("NO_PMAP_REGISTER") != "true")
        text += joinText("\tif(sock!=0)\n", "\t\tpmap_unset(", program ? program->upperName() : "",
                         ", ", version->upperName(), ");\n\n");
    text += joinText("\t", "vl_serv_init", "();\n\n");
    if (withTcp)
        text += transportRegistration(version, port, "tcp", "IPPROTO_TCP", "TCP");
    if (withUdp)
        text += transportRegistration(version, port, "udp", "IPPROTO_UDP", "UDP");
    text += initCall(version->propertyValue("INIT_AFTER_REGISTER"));
    text += "\n";
    if (version->propertyValue("FORK_ON_CONNECTION") == "true")
        text += "\tfork_connect = 1;\n";
    text +=
        joinText("\t", "vl_serv_mainloop", "(tcp_master, udp_master, fork_connect, exit_idle);\n");
    text += "}\n\n";
    if (version->propertyValue("GEN_MAIN_FUNC") != "false")
        text += joinText("int\tmain(int argc, char**argv){\n", "\t\t\t", version->mainName(),
                         "(argc, argv);\n", "\t\t\treturn 0;\n", "}\n\n");
    emit(serverOut, text);
}
