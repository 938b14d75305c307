// The token codes that the scanner returns: TOK_<name>, numbered by the
// %token declarations of grammar.y, from which bison writes them into
// grammar.tab.hpp. A single-character token is its own character code and
// the end of the input is 0. The numbers are fixed: the declaration model
// keeps some of them as its own codes (model/codes.h, checked against the
// grammar in grammar.y), and the token text table maps them back to text.
#ifndef VELORIN_FRONTEND_TOKENS_H
#define VELORIN_FRONTEND_TOKENS_H

#include "grammar.tab.hpp"

#endif
