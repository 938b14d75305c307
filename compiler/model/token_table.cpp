#include "model/token_table.h"

const tokenEntry tokenTable[] = {
    {"auto", 257},   {"static", 258},     {"extern", 259}, {"char", 260},  {"short", 261},
    {"int", 265},    {"long", 266},       {"float", 267},  {"double", 268}, {"void", 269},
    {"class", -250}, {"struct", 270},     {"union", 271},  {"unsigned", 287}, {"*", -252},
    {"()", -249},    {"[]", -251},        {"class_type", -250}, {"in", 295}, {"IN", 295},
    {"out", 297},    {"OUT", 297},        {"inout", 296},  {"INOUT", 296}, {"const", 262},
    {"volatile", 278}, {"=", 61},         {"+", 43},       {"/", 47},      {"-", 45},
    {"~", 126},      {"*", 42},           {"&", 38},       {"|", 124},     {"^", 94},
    {"%", 37},       {"sizeof", 307},     {">", 62},       {"<", 60},      {"!", 33},
    {"<<", 299},     {">>", 300},         {"<=", 301},     {">=", 302},    {"==", 303},
    {"!=", 304},     {"&&", 305},         {"||", 306},     {"", -1},
};

std::string tokenText(int code) {
  for (const tokenEntry* entry = tokenTable; entry->text[0] != '\0'; ++entry) {
    if (entry->code == code) return entry->text;
  }
  return "";
}
