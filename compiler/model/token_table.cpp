#include "model/token_table.h"

#include "model/codes.h"

// Where a code has several texts, the first one is its text.
const tokenEntry tokenTable[] = {
    {"auto", CODE_AUTO},     {"static", CODE_STATIC},   {"extern", CODE_EXTERN},
    {"char", CODE_CHAR},     {"short", CODE_SHORT},     {"int", CODE_INT},
    {"long", CODE_LONG},     {"float", CODE_FLOAT},     {"double", CODE_DOUBLE},
    {"void", CODE_VOID},     {"class", KIND_CLASS},     {"struct", CODE_STRUCT},
    {"union", CODE_UNION},   {"unsigned", CODE_UNSIGNED}, {"*", KIND_POINTER},
    {"()", KIND_FUNCTION},   {"[]", KIND_ARRAY},        {"class_type", KIND_CLASS},
    {"in", DIR_IN},          {"IN", DIR_IN},            {"out", DIR_OUT},
    {"OUT", DIR_OUT},        {"inout", DIR_INOUT},      {"INOUT", DIR_INOUT},
    {"const", CODE_CONST},   {"volatile", CODE_VOLATILE}, {"=", '='},
    {"+", '+'},              {"/", '/'},                {"-", '-'},
    {"~", '~'},              {"*", '*'},                {"&", '&'},
    {"|", '|'},              {"^", '^'},                {"%", '%'},
    {"sizeof", CODE_SIZEOF}, {">", '>'},                {"<", '<'},
    {"!", '!'},              {"<<", OP_LSHIFT},         {">>", OP_RSHIFT},
    {"<=", OP_LE},           {">=", OP_GE},             {"==", OP_EQ},
    {"!=", OP_NE},           {"&&", OP_AND},            {"||", OP_OR},
    {"", -1},
};

std::string tokenText(int code) {
  for (const tokenEntry* entry = tokenTable; entry->text[0] != '\0'; ++entry) {
    if (entry->code == code) return entry->text;
  }
  return "";
}
