// The server start-up <prog>_<vers>_main and the C main that calls it: the
// programmer's optional initialisation functions around the registration of
// the transports TRANSPORT_PROTOCOL asks for, then the runtime's main loop.
#include <iostream>
#include <string>

#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

// <prog>_<vers>_main and, unless GEN_MAIN_FUNC is "false", the C main.
const char* const kServerMain = R"C($prototype {
	int sock = RPC_ANYSOCK;

	int fork_connect = 0;
	int exit_idle = 1;
$initBefore
$pmapUnset	vl_serv_init();

$registrations$initAfter
$forkConnect	vl_serv_mainloop(tcp_master, udp_master, fork_connect, exit_idle);
}

$main)C";

const char* const kInitCall = R"C(	{
	void $function(int, char**);

	$function(argc, argv);
	}
)C";

const char* const kPmapUnset = R"C(	if(sock!=0)
		pmap_unset($program, $version);

)C";

const char* const kTransportRegistration = R"C($socket	if(!$register(sock, 0, 0, $protocolMacro))
		server_exit(1);
	server_msg("$label server registered.\n");
)C";

const char* const kMain = R"C(int	main(int argc, char**argv){
			$serverMain(argc, argv);
			return 0;
}

)C";

// A call of a programmer's function named by a property, declared in a
// block of its own.
std::string initCall(const std::string& function)
{
    if (function.empty())
        return "";
    return fillTemplate(kInitCall, {{"function", function}});
}

std::string transportRegistration(const rpcVersion* version, const std::string& port,
                                  const char* protocol, const char* protocolMacro,
                                  const char* label)
{
    const std::string socket = port.empty()
                                   ? ""
                                   : fillTemplate("\tsock = vl_serv_fd($port, \"$protocol\");\n",
                                                  {{"port", port}, {"protocol", protocol}});
    return fillTemplate(kTransportRegistration, {{"socket", socket},
                                                 {"register", version->registerName()},
                                                 {"protocolMacro", protocolMacro},
                                                 {"label", label}});
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

    // No variable of the program number: nothing would read it.
    std::string registrations;
    if (withTcp)
        registrations += transportRegistration(version, port, "tcp", "IPPROTO_TCP", "TCP");
    if (withUdp)
        registrations += transportRegistration(version, port, "udp", "IPPROTO_UDP", "UDP");
    const std::string pmapUnset =
        version->propertyValue("NO_PMAP_REGISTER") == "true"
            ? ""
            : fillTemplate(kPmapUnset, {{"program", program ? program->upperName() : ""},
                                        {"version", version->upperName()}});
    const std::string forkConnect =
        version->propertyValue("FORK_ON_CONNECTION") == "true" ? "\tfork_connect = 1;\n" : "";
    const std::string main = version->propertyValue("GEN_MAIN_FUNC") == "false"
                                 ? ""
                                 : fillTemplate(kMain, {{"serverMain", version->mainName()}});
    emit(serverOut,
         fillTemplate(kServerMain,
                      {{"prototype", version->mainPrototype()},
                       {"initBefore", initCall(version->propertyValue("INIT_BEFORE_REGISTER"))},
                       {"pmapUnset", pmapUnset},
                       {"registrations", registrations},
                       {"initAfter", initCall(version->propertyValue("INIT_AFTER_REGISTER"))},
                       {"forkConnect", forkConnect},
                       {"main", main}}));
}
