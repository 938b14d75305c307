// The registration function <prog>_<vers>_reg, which creates a TCP or UDP
// server transport on a socket and registers the version's dispatcher, and
// <prog>_<vers>_unmap, which removes the program's portmapper entry.
#include <iostream>
#include <string>

#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

// <prog>_<vers>_reg: the transports of the version's protocols on `sock`,
// then the dispatcher registered on the one of `proto`.
const char* const kRegisterFunction = R"C($prototype {
	int prot = 0;
	SVCXPRT * txp =0;

$tcpCreation$udpCreation$portmapProtocol	prog_no = prog_no == 0? $program : prog_no;
	ver  = ver == 0? $version : ver;
	txp = proto==IPPROTO_TCP? tcp_master : udp_master;
	if (!svc_register(txp, prog_no, ver, $dispatcher, prot)) {
		server_err("Fail to register server!\n");
		return (SVCXPRT*)0;
	}
	return txp;
}

)C";

// One protocol's transport, kept in its master variable.
const char* const kTransportCreation = R"C(	if(proto==$protocol) {
		$master = $create;
		if($master==NULL) {
${reportIndent}server_err("$failure\n");
			return (SVCXPRT*)0;
		}
	}
)C";

// <prog>_<vers>_unmap: the portmapper entry of the program and version,
// the version's own numbers by default.
const char* const kUnmapFunction = R"C($prototype {
	 pmap_unset(
	                prog_no==0? $program: prog_no,
	                ver==0? $version: ver
	               );
}


)C";

std::string transportCreation(const char* protocol, const char* master, const char* create,
                              const char* failure, const char* reportIndent)
{
    return fillTemplate(kTransportCreation, {{"protocol", protocol},
                                             {"master", master},
                                             {"create", create},
                                             {"reportIndent", reportIndent},
                                             {"failure", failure}});
}

}  // namespace

void emitRegisterFunction(rpcVersion* version)
{
    const rpcProgram* program = version->program();
    const std::string programMacro = program ? program->upperName() : std::string();
    const int noPortmap = version->propertyValue("NO_PMAP_REGISTER") == "true";

    // A prot of 0 keeps svc_register from telling the portmapper: it stays 0
    // without portmapper registration, and on socket 0, one the server was
    // started on.
    std::string portmapProtocol;
    if (!noPortmap) {
        portmapProtocol = "\tprot = sock==0 ? 0 : proto;\n";
    } else if (version->propertyValue("SERVER_PORT").empty()) {
        std::cout << "Warning: portmap registration disabled without specifying a server port."
                  << "\n";
    }
    const std::string registration = fillTemplate(
        kRegisterFunction,
        {{"prototype", version->registerPrototype()},
         {"tcpCreation", transportCreation("IPPROTO_TCP", "tcp_master", "svctcp_create(sock, 0, 0)",
                                           "fail creating TCP server transport!", "\t\t\t")},
         {"udpCreation", transportCreation("IPPROTO_UDP", "udp_master", "svcudp_create(sock)",
                                           "fail creating UDP server transport!", "\t\t")},
         {"portmapProtocol", portmapProtocol},
         {"program", programMacro},
         {"version", version->upperName()},
         {"dispatcher", version->baseName()}});
    const std::string unmap =
        fillTemplate(kUnmapFunction, {{"prototype", version->unmapPrototype()},
                                      {"program", programMacro},
                                      {"version", version->upperName()}});
    emit(serverOut, registration + unmap);
}
