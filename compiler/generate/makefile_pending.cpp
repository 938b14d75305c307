// Temporary: the lower-cased program name that the program model keeps.
// Switches itself off once the model is in the tree; delete it then.
#include <string>

#if !__has_include("model/rpc_program.h")
std::string programName;
#endif
