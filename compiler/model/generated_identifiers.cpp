#include "model/generated_identifiers.h"

#include <string>

#include "model/codes.h"

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

std::string sizeShiftFunction(int op)
{
    if (op == OP_LSHIFT)
        return "vlrpc_size_shl";
    if (op == OP_RSHIFT)
        return "vlrpc_size_shr";
    return "";
}

std::string valueOperatorFunction(int op)
{
    switch (op) {
    case '+':
        return "vlrpc_value_add";
    case '-':
        return "vlrpc_value_sub";
    case '*':
        return "vlrpc_value_mul";
    case '/':
        return "vlrpc_value_div";
    case '%':
        return "vlrpc_value_mod";
    case OP_LSHIFT:
        return "vlrpc_value_shl";
    case OP_RSHIFT:
        return "vlrpc_value_shr";
    case '&':
        return "vlrpc_value_bitand";
    case '|':
        return "vlrpc_value_bitor";
    case '^':
        return "vlrpc_value_bitxor";
    case '<':
        return "vlrpc_value_lt";
    case '>':
        return "vlrpc_value_gt";
    case OP_LE:
        return "vlrpc_value_le";
    case OP_GE:
        return "vlrpc_value_ge";
    case OP_EQ:
        return "vlrpc_value_eq";
    case OP_NE:
        return "vlrpc_value_ne";
    case OP_AND:
        return "vlrpc_value_and";
    case OP_OR:
        return "vlrpc_value_or";
    default:
        return "";
    }
}

std::string valueUnaryFunction(int op)
{
    if (op == '-')
        return "vlrpc_value_neg";
    if (op == '~')
        return "vlrpc_value_not";
    return "";
}

const char* const valueUnknownFunction = "vlrpc_value_unknown";
const char* const valueSizeFunction = "vlrpc_value_size";
const char* const sizeClampFunction = "vlrpc_clamp";
const char* const countFitsFunction = "vlrpc_count_fits";
const char* const resultAllocationFunction = "vlrpc_alloc";
const char* const roomAllocationFunction = "vlrpc_alloc_room";
const char* const roomClearFunction = "vlrpc_clear_room";
const char* const resultReleaseFunction = "vlrpc_free";
const char* const elementDecoderFunction = "vlrpc_decode_elements";
const char* const elementReleaseFunction = "vlrpc_release";
const char* const terminatedFunction = "vlrpc_terminated";
const char* const stringDecoderFunction = "vlrpc_decode_string";
const char* const stringSettleFunction = "vlrpc_settle_string";
const char* const stringRoomDecoderFunction = "vlrpc_decode_string_in_room";
const char* const blankStorageFunction = "vlrpc_blank";
const char* const elementClearFunction = "vlrpc_clear";
