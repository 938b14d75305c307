// Integer codes of the declaration model. The positive ones are the token
// numbers of the grammar (so a parsed keyword or operator can be stored as
// it was read; grammar.y checks that each equals its token's number), the
// negative ones are kind codes that only the model uses.
#ifndef VELORIN_MODEL_CODES_H
#define VELORIN_MODEL_CODES_H

// Kinds of types.
constexpr int KIND_CLASS = -250;      // struct, union, argument record, discriminated union
constexpr int KIND_ARRAY = -251;
constexpr int KIND_POINTER = -252;
constexpr int KIND_PRIMITIVE = -253;
constexpr int KIND_TYPEDEF = -254;
constexpr int CODE_ENUM = -255;       // base code of an enumeration type
constexpr int CODE_NONE = -256;       // "none": plain Type kind and empty value of every code field
constexpr int KIND_FUNCTION = -249;   // a function declarator: has a text, no type of its own

// Base codes of primitive types.
constexpr int CODE_CHAR = 260;
constexpr int CODE_SHORT = 261;
constexpr int CODE_INT = 265;
constexpr int CODE_LONG = 266;
constexpr int CODE_FLOAT = 267;
constexpr int CODE_DOUBLE = 268;
constexpr int CODE_VOID = 269;
constexpr int CODE_UNSIGNED = 287;    // sign code

// Storage classes and sizeof: words with a text, never stored by the model.
constexpr int CODE_AUTO = 257;
constexpr int CODE_STATIC = 258;
constexpr int CODE_EXTERN = 259;
constexpr int CODE_SIZEOF = 307;

// Struct and union keywords.
constexpr int CODE_STRUCT = 270;
constexpr int CODE_UNION = 271;

// Qualifiers.
constexpr int CODE_CONST = 262;
constexpr int CODE_VOLATILE = 278;

// Argument directions.
constexpr int DIR_IN = 295;
constexpr int DIR_INOUT = 296;
constexpr int DIR_OUT = 297;

// Kinds of literal expressions.
constexpr int LITERAL_INTEGER = 265;
constexpr int LITERAL_TEXT = -252;

// Operators written with two characters; one-character operators use their
// character code ('+', '-', ...).
constexpr int OP_LSHIFT = 299;        // <<
constexpr int OP_RSHIFT = 300;        // >>
constexpr int OP_LE = 301;            // <=
constexpr int OP_GE = 302;            // >=
constexpr int OP_EQ = 303;            // ==
constexpr int OP_NE = 304;            // !=
constexpr int OP_AND = 305;           // &&
constexpr int OP_OR = 306;            // ||

#endif
