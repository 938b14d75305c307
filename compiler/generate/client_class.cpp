// The opening of the C++ client class C<prog>_<vers>, derived from the
// runtime's RPCClient: its two constructors and the declaration of bind.
// generateVersion adds the method declarations and closes the class.
#include <string>

#include "generate/client_class.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

std::string clientClassHeadText(const rpcVersion* version)
{
    const std::string name = version->clientClassName();
    const std::string programNumber = version->program() ? version->program()->upperName() : "";
    const std::string versionNumber = version->upperName();
    return joinText(
        "\n\n", "class ", name, " : public RPCClient {\n", "\tpublic:\n\n", "\t", name, "(){}\n\n",
        "\t", name, "(const char*host, const char*proto, u_long prog=", programNumber,
        ", u_long ver=", versionNumber, ")\n\t\t:RPCClient(host, proto, prog,ver){ }\n\n", "\t",
        "CLIENT* bind(const char* host, const char*proto=0, u_long prog=", programNumber,
        ", u_long ver=", versionNumber, ");\n");
}

void emitClientClass(rpcVersion* version) { emit(classHeaderOut, clientClassHeadText(version)); }
