// Macro-definition texts that carry generated names into the header. The
// names themselves are formed by the model objects they belong to
// (rpcProcedure, rpcVersion, rpcProgram, classType, Type).
#ifndef VELORIN_MODEL_GENERATED_IDENTIFIERS_H
#define VELORIN_MODEL_GENERATED_IDENTIFIERS_H

#include <cstdint>
#include <ostream>
#include <string>

// "#define <name> <value>\n"
std::string defineText(const std::string& name, const std::string& value);
// "#define <name>  (unsigned long)(<number>)\n"
std::string numberDefineText(const std::string& name, std::int64_t number);
// Writes numberDefineText to `out` (the generated header).
void writeNumberDefine(std::ostream& out, const std::string& name, std::int64_t number);

#endif
