// The token text table: turns token and type-kind codes back into text
// (operators, type words, qualifiers) for the expression and type models.
#ifndef VELORIN_MODEL_TOKEN_TABLE_H
#define VELORIN_MODEL_TOKEN_TABLE_H

#include <string>

struct tokenEntry {
    const char* text;
    int code;
};

// {text, code} pairs, ended by {"", -1}.
extern const tokenEntry tokenTable[];

// The text of the first table entry with that code; "" when there is none.
std::string tokenText(int code);

#endif
