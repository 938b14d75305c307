#include "model/generated_identifiers.h"

#include <string>

std::string defineText(const std::string& name, const std::string& value)
{
    return "#define " + name + " " + value + "\n";
}

std::string numberDefineText(const std::string& name, std::int64_t number)
{
    return "#define " + name + "  (unsigned long)(" + std::to_string(number) + ")\n";
}

void writeNumberDefine(std::ostream& out, const std::string& name, std::int64_t number)
{
    out << numberDefineText(name, number);
}

std::string sizeOperatorFunction(int op)
{
    switch (op) {
    case '+':
        return "vlrpc_size_add";
    case '-':
        return "vlrpc_size_sub";
    case '*':
        return "vlrpc_size_mul";
    case '/':
        return "vlrpc_size_div";
    case '%':
        return "vlrpc_size_mod";
    default:
        return "";
    }
}

const char* const sizeClampFunction = "vlrpc_clamp";
const char* const countFitsFunction = "vlrpc_count_fits";
const char* const resultAllocationFunction = "vlrpc_alloc";
const char* const elementDecoderFunction = "vlrpc_decode_elements";
const char* const elementReleaseFunction = "vlrpc_release";
const char* const terminatedFunction = "vlrpc_terminated";
const char* const blankStorageFunction = "vlrpc_blank";
const char* const elementClearFunction = "vlrpc_clear";
