// The opening of the C++ client class C<prog>_<vers>, derived from the
// runtime's RPCClient: its two constructors and the declaration of bind.
// generateVersion adds the method declarations and closes the class.
#include <string>

#include "generate/client_class.h"
#include "generate/codegen_support.h"
#include "generate/procedure_steps.h"
#include "model/rpc_program.h"
#include "output/emit.h"
#include "output/output_files.h"

namespace {

// The class head: a constructor that binds nothing, one that binds to a
// host, and bind, both defaulting to the version's program and version.
const char* const kClientClassHead = R"C(

class $class : public RPCClient {
	public:

	$class(){}

	$class(const char*host, const char*proto, u_long prog=$program, u_long ver=$version)
		:RPCClient(host, proto, prog,ver){ }

	CLIENT* bind(const char* host, const char*proto=0, u_long prog=$program, u_long ver=$version);
)C";

}  // namespace

std::string clientClassHeadText(const rpcVersion* version)
{
    return fillTemplate(kClientClassHead,
                        {{"class", version->clientClassName()},
                         {"program", version->program() ? version->program()->upperName() : ""},
                         {"version", version->upperName()}});
}

void emitClientClass(rpcVersion* version) { emit(classHeaderOut, clientClassHeadText(version)); }
