// The token codes that the scanner returns. A single-character token is its
// own character code, the end of the input is 0, and the named tokens below
// are numbered from 257. The numbers are fixed: the declaration model keeps
// some of them as its own base-type, qualifier and direction codes, and the
// token text table maps them back to text. Codes 263, 272, 277 and 281 are
// reserved and never returned.
#ifndef VELORIN_FRONTEND_TOKENS_H
#define VELORIN_FRONTEND_TOKENS_H

enum tokenCode {
    AUTO = 257,          // skipped by the scanner, never returned
    STATIC = 258,        // skipped by the scanner, never returned
    EXTERN = 259,        // skipped by the scanner, never returned
    CHAR = 260,
    SHORT = 261,
    CONST = 262,
    THIS = 264,
    INT = 265,
    LONG = 266,
    FLOAT = 267,
    DOUBLE = 268,
    VOID = 269,
    STRUCT = 270,
    UNION = 271,
    OCT_NUMBER = 273,
    HEX_NUMBER = 274,
    SWITCH = 275,
    WHILE = 276,
    VOLATILE = 278,
    DEC_NUMBER = 279,
    BREAK = 280,
    RETURN = 282,
    CHAR_CONST = 283,
    FLOAT_NUMBER = 284,
    STRING_CONST = 285,
    IDENTIFIER = 286,
    UNSIGNED = 287,
    CASE = 288,
    DEFAULT = 289,
    ENUM = 290,
    TYPEDEF = 291,
    PROGRAM = 292,
    VERSION = 293,
    PROPERTY = 294,
    IN = 295,
    INOUT = 296,
    OUT = 297,
    INTERFACE = 298,
    LSHIFT = 299,        // <<
    RSHIFT = 300,        // >>
    LE_OP = 301,         // <=
    GE_OP = 302,         // >=
    EQ_OP = 303,         // ==
    NE_OP = 304,         // !=
    AND_OP = 305,        // &&
    OR_OP = 306,         // ||
    SIZEOF = 307,        // only in the token text table: the word sizeof is an identifier
    IF = 308,
    ELSE = 309
};

#endif
