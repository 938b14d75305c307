/* The grammar of the interface language: C-style declarations followed by
 * exactly one RPC program block ("program" with versions, or the one-version
 * shorthand "interface"). Every rule hands its work to an action in
 * parser_actions.h; there is no syntax tree and no error recovery: the first
 * syntax error ends the parse.
 *
 * The parser is bison's C skeleton compiled as C++; its default reductions
 * matter: a rule over an IDENTIFIER, a number or a literal token is reduced
 * before the next token is read, so its action still finds that token's
 * text in yytext. */

%code requires {
#include <cstdint>
#include <string>

class Type;
class classType;
class Symbol;
class symbolSet;
class expression;
class expressionList;
class property;
class rpcProgram;
class rpcVersion;
class rpcProcedure;
class procedureList;
class versionList;
struct armList;
struct enumeration;
}

/* Included before the generated parser renames yylex and yyerror to its
 * own prefix, so these declarations keep the real names. */
%code top {
#include "frontend/diagnostics.h"
#include "frontend/scanner.h"
}

%code {
#include "frontend/parser_actions.h"
#include "model/codes.h"
#include "model/type.h"

// The generated parser is idlparse (yyparse, below, wraps it); it reads the
// scanner's yylex and reports through yyerror under their own names.
#undef yylex
#undef yyerror

// An action that refused to build a tree deeper than the parser stack could
// hold (maxNestingDepth) ends the parse with the report of a full stack.
#define REFUSE_TOO_DEEP(value)            \
    if (!(value)) {                       \
        yyerror("nesting too deep");      \
        YYABORT;                          \
    }
}

%define api.prefix {idl}
%define api.token.prefix {TOK_}

/* Parser stacks: room for 200 entries at first, doubled when full, never
 * more than 10000. Running out is reported like a syntax error. */
%code {
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
}

/* A "[" after a prefixed declarator is shifted: the suffix binds tighter
 * than the prefix, so "*name[N]" is an array of pointers. */
%expect 1

%union {
    std::string* text;
    std::int64_t number;
    int code;
    expression* expr;
    expressionList* exprs;
    property* prop;
    Type* type;
    classType* body;
    Symbol* symbol;
    symbolSet* symbols;
    armList* arms;
    enumeration* enumDef;
    rpcProgram* program;
    versionList* versions;
    rpcVersion* version;
    procedureList* procedures;
    rpcProcedure* procedure;
}

/* Token numbers are fixed: the model stores some of them as its own codes
 * (model/codes.h, checked below), and the scanner returns them under these
 * names with the prefix TOK_ (frontend/tokens.h). Codes 263, 272, 277 and
 * 281 are reserved. AUTO, STATIC and EXTERN are skipped by the scanner and
 * SIZEOF is only in the token text table (the word sizeof is an
 * identifier): none of them is ever returned. */
%token AUTO 257 STATIC 258 EXTERN 259 CHAR 260 SHORT 261 CONST 262
%token THIS 264 INT 265 LONG 266 FLOAT 267 DOUBLE 268 VOID 269 STRUCT 270 UNION 271
%token OCT_NUMBER 273 HEX_NUMBER 274 SWITCH 275 WHILE 276 VOLATILE 278
%token DEC_NUMBER 279 BREAK 280 RETURN 282 CHAR_CONST 283 FLOAT_NUMBER 284
%token STRING_CONST 285 IDENTIFIER 286 UNSIGNED 287 CASE 288 DEFAULT 289 ENUM 290
%token TYPEDEF 291 PROGRAM 292 VERSION 293 PROPERTY 294 IN 295 INOUT 296 OUT 297
%token INTERFACE 298 LSHIFT 299 RSHIFT 300 LE_OP 301 GE_OP 302 EQ_OP 303 NE_OP 304
%token AND_OP 305 OR_OP 306 SIZEOF 307 IF 308 ELSE 309

%type <program> program_definition interface_definition
%type <versions> version_list
%type <version> version_definition
%type <procedures> procedure_list
%type <procedure> procedure procedure_head
%type <number> opt_procedure_number procedure_number number
%type <prop> procedure_properties property_block property_list property_entry
%type <prop> attribute attribute_list attribute_block
%type <text> identifier tag attribute_name property_name opt_member_name opt_tag
%type <expr> literal name_reference value
%type <expr> conditional_expression logical_or_expression logical_and_expression
%type <expr> inclusive_or_expression exclusive_or_expression and_expression
%type <expr> equality_expression relational_expression shift_expression
%type <expr> additive_expression multiplicative_expression unary_expression
%type <expr> primary_expression switch_head
%type <exprs> opt_arguments argument_list
%type <code> unary_operator direction opt_qualifier qualifier opt_sign sign base_type
%type <code> struct_or_union
%type <type> declarator_prefix type_specifier primitive_type tagged_type typedef_name
%type <type> enum_definition typedef_declaration
%type <body> struct_head struct_definition
%type <symbol> declarator procedure_name member_declaration qualified_declaration
%type <symbol> parameter arm switch_union
%type <symbols> declarator_list parameter_list parameters
%type <arms> arm_list
%type <enumDef> enumerator_list
%type <expr> opt_enumerator_value

%start interface_file

%%

/* ---------------------------------------------------------------- interface file */

interface_file
    : declarations program_definition       { reportUndefinedTags(); }
    | declarations interface_definition     { reportUndefinedTags(); }
    ;

declarations
    : %empty
    | declarations type_declaration
    | declarations variable_declaration
    | declarations prototype
    ;

program_definition
    : PROGRAM identifier '{' property_block version_list '}' '=' number ';'
        { $$ = completeProgram($2, $4, $5, $8); }
    ;

interface_definition
    : INTERFACE identifier '{' property_block procedure_list '}' opt_equals number ';'
        { $$ = completeInterface($2, $4, $5, $8); }
    ;

opt_equals
    : %empty
    | '='
    ;

/* The program name, needed by the message of a repeated version, stands
 * three symbols below the list: PROGRAM identifier '{' property_block. */
version_list
    : version_definition                { $$ = startVersions($1); }
    | version_list version_definition   { $$ = addVersion($1, $2, *$<text>-2); }
    ;

version_definition
    : VERSION identifier '{' property_block procedure_list '}' '=' number ';'
        { $$ = newVersion($4, $5, $8); }
    ;

procedure_list
    : procedure                 { $$ = startProcedures($1); }
    | procedure_list procedure  { $$ = addProcedure($1, $2); }
    ;

procedure
    : procedure_head opt_procedure_number ';'   { $$ = numberProcedure($1, $2); }
    ;

procedure_head
    : type_specifier procedure_name '(' parameters ')' procedure_properties
        { $$ = procedureHead($1, $2, $4, $6); }
    ;

procedure_properties
    : %empty                    { $$ = nullptr; }
    | '{' property_block '}'    { $$ = $2; }
    ;

opt_procedure_number
    : %empty            { $$ = -1; }
    | procedure_number
    ;

procedure_number
    : '=' number        { $$ = $2; }
    ;

procedure_name
    : identifier                        { $$ = newDeclarator($1); }
    | declarator_prefix procedure_name  { $$ = applyPrefix($1, $2); REFUSE_TOO_DEEP($$); }
    ;

parameters
    : %empty            { $$ = nullptr; }
    | parameter_list
    ;

parameter_list
    : parameter                     { $$ = startParameterList($1); }
    | parameter_list ',' parameter  { $$ = addParameter($1, $3); }
    ;

parameter
    : direction qualified_declaration   { $$ = setParameterDirection($1, $2); }
    ;

direction
    : %empty    { $$ = DIR_IN; }
    | IN        { $$ = DIR_IN; }
    | INOUT     { $$ = DIR_INOUT; }
    | OUT       { $$ = DIR_OUT; }
    ;

qualified_declaration
    : opt_qualifier member_declaration  { $$ = qualifyParameter($1, $2); }
    ;

opt_qualifier
    : %empty    { $$ = CODE_NONE; }
    | qualifier
    ;

qualifier
    : CONST     { $$ = CODE_CONST; }
    | VOLATILE  { $$ = CODE_VOLATILE; }
    ;

/* ---------------------------------------------------------------- properties */

property_block
    : %empty            { $$ = nullptr; }
    | property_list
    ;

/* Every entry is checked by name, the first one too: an unknown name is
 * warned about and dropped wherever it stands. */
property_list
    : property_entry                { $$ = appendProperty(nullptr, $1); }
    | property_list property_entry  { $$ = appendProperty($1, $2); }
    ;

property_entry
    : PROPERTY property_name '=' value ';'  { $$ = namedProperty($2, $4); }
    ;

property_name
    : identifier
    ;

value
    : literal
    | name_reference
    ;

/* ---------------------------------------------------------------- declarations */

type_declaration
    : struct_definition ';'
    | enum_definition ';'
    | typedef_declaration
    ;

typedef_declaration
    : TYPEDEF type_specifier declarator ';'     { declareTypedef($2, $3); $$ = $2; }
    | TYPEDEF enum_definition declarator ';'    { declareTypedef($2, $3); $$ = $2; }
    | TYPEDEF struct_definition declarator ';'  { declareTypedef($2, $3); $$ = $2; }
    ;

/* File-level variables and prototypes are read and not kept. */
variable_declaration
    : member_declaration ';'
    | qualifier variable_declaration
    ;

prototype
    : type_specifier procedure_name '(' parameters ')' ';'
    ;

member_declaration
    : type_specifier declarator     { $$ = declareMember($1, $2); }
    | struct_definition declarator  { $$ = declareMember($1, $2); }
    ;

type_specifier
    : primitive_type
    | tagged_type
    | typedef_name      { $$ = normalizedTypedef($1); }
    ;

primitive_type
    : opt_sign base_type    { $$ = primitiveType($1, $2); }
    ;

opt_sign
    : %empty    { $$ = CODE_NONE; }
    | sign
    ;

sign
    : UNSIGNED  { $$ = CODE_UNSIGNED; }
    ;

base_type
    : INT           { $$ = CODE_INT; }
    | SHORT         { $$ = CODE_SHORT; }
    | SHORT INT     { $$ = CODE_SHORT; }
    | LONG          { $$ = CODE_LONG; }
    | LONG INT      { $$ = CODE_LONG; }
    | CHAR          { $$ = CODE_CHAR; }
    | FLOAT         { $$ = CODE_FLOAT; }
    | DOUBLE        { $$ = CODE_DOUBLE; }
    | LONG DOUBLE   { $$ = longDoubleBaseCode(); }
    | VOID          { $$ = CODE_VOID; }
    ;

typedef_name
    : identifier    { $$ = typedefNamed($1); }
    ;

tagged_type
    : struct_or_union tag   { $$ = taggedType($2); }
    | ENUM tag              { $$ = enumerationType(); }
    ;

struct_or_union
    : UNION     { $$ = CODE_UNION; }
    | STRUCT    { $$ = CODE_STRUCT; }
    ;

tag
    : identifier
    ;

opt_tag
    : %empty    { $$ = newIdentifier(""); }
    | tag
    ;

struct_definition
    : struct_head '{' scope_entry opt_members '}'   { $$ = leaveClassBody($1); }
    ;

struct_head
    : struct_or_union opt_tag   { $$ = structHead($1, $2); }
    ;

/* Runs right after the "{", before the first member is read, so that the
 * members can name the struct being defined. */
scope_entry
    : %empty    { enterClassBody($<body>-1); }
    ;

opt_members
    : %empty
    | member_list
    ;

member_list
    : member
    | member_list member
    ;

member
    : type_specifier declarator_list ';'    { addMemberDeclarators($1, $2); }
    | struct_definition declarator_list ';' { addMemberDeclarators($1, $2); }
    | type_declaration
    | switch_union                          { addSwitchMember($1); }
    ;

declarator_list
    : declarator                        { $$ = startDeclaratorList($1); }
    | declarator_list ',' declarator    { $$ = addDeclarator($1, $3); }
    ;

switch_union
    : UNION switch_head '{' arm_list '}' opt_member_name ';'
        { $$ = switchUnion($2, $4, $6); }
    ;

switch_head
    : SWITCH '(' conditional_expression ')'     { $$ = $3; }
    ;

arm_list
    : arm           { $$ = startArms($1); }
    | arm_list arm  { $$ = addArm($1, $2); }
    ;

arm
    : CASE value ':' member_declaration ';'     { $$ = caseArm($2, $4); }
    ;

opt_member_name
    : %empty        { $$ = emptyMemberName(); }
    | identifier
    ;

/* An enumeration keeps its tag and constants for the header; every use of
 * it is a plain enum type. */
enum_definition
    : ENUM opt_tag '{' enumerator_list '}'  { $$ = enumerationDefinition($2, $4); }
    ;

enumerator_list
    : identifier opt_enumerator_value                       { $$ = startEnumeration($1, $2); }
    | enumerator_list ',' identifier opt_enumerator_value   { $$ = addEnumerator($1, $3, $4); }
    ;

opt_enumerator_value
    : %empty        { $$ = nullptr; }
    | '=' literal   { $$ = $2; }
    ;

/* ---------------------------------------------------------------- declarators */

declarator
    : identifier                            { $$ = newDeclarator($1); }
    | declarator '[' attribute_block ']'    { $$ = addArraySuffix($1, $3); REFUSE_TOO_DEEP($$); }
    | declarator_prefix declarator          { $$ = applyPrefix($1, $2); REFUSE_TOO_DEEP($$); }
    | '(' declarator ')'                    { $$ = $2; }
    ;

declarator_prefix
    : '*'                       { $$ = pointerPrefix(); }
    | '[' attribute_block ']'   { $$ = arrayPrefix($2); }
    ;

attribute_block
    : %empty    { $$ = nullptr; }
    | attribute_list
    ;

/* Every attribute is kept: the array refuses the names it does not know,
 * in whatever place they stand. */
attribute_list
    : attribute                     { $$ = $1; }
    | attribute_list ',' attribute  { $$ = appendAttribute($1, $3); }
    ;

attribute
    : attribute_name '=' conditional_expression     { $$ = namedProperty($1, $3); }
    | conditional_expression                        { $$ = boundAttribute($1); }
    ;

attribute_name
    : identifier
    ;

/* ---------------------------------------------------------------- expressions */

conditional_expression
    : logical_or_expression
    | logical_or_expression '?' conditional_expression ':' conditional_expression
        { $$ = conditionalExpression($1, $3, $5); REFUSE_TOO_DEEP($$); }
    ;

logical_or_expression
    : logical_and_expression
    | logical_or_expression OR_OP logical_and_expression
        { $$ = binaryExpression($1, OP_OR, $3); REFUSE_TOO_DEEP($$); }
    ;

logical_and_expression
    : inclusive_or_expression
    | logical_and_expression AND_OP inclusive_or_expression
        { $$ = binaryExpression($1, OP_AND, $3); REFUSE_TOO_DEEP($$); }
    ;

inclusive_or_expression
    : exclusive_or_expression
    | inclusive_or_expression '|' exclusive_or_expression
        { $$ = binaryExpression($1, '|', $3); REFUSE_TOO_DEEP($$); }
    ;

exclusive_or_expression
    : and_expression
    | exclusive_or_expression '^' and_expression
        { $$ = binaryExpression($1, '^', $3); REFUSE_TOO_DEEP($$); }
    ;

and_expression
    : equality_expression
    | and_expression '&' equality_expression
        { $$ = binaryExpression($1, '&', $3); REFUSE_TOO_DEEP($$); }
    ;

equality_expression
    : relational_expression
    | equality_expression EQ_OP relational_expression
        { $$ = binaryExpression($1, OP_EQ, $3); REFUSE_TOO_DEEP($$); }
    | equality_expression NE_OP relational_expression
        { $$ = binaryExpression($1, OP_NE, $3); REFUSE_TOO_DEEP($$); }
    ;

relational_expression
    : shift_expression
    | relational_expression '<' shift_expression
        { $$ = binaryExpression($1, '<', $3); REFUSE_TOO_DEEP($$); }
    | relational_expression '>' shift_expression
        { $$ = binaryExpression($1, '>', $3); REFUSE_TOO_DEEP($$); }
    | relational_expression LE_OP shift_expression
        { $$ = binaryExpression($1, OP_LE, $3); REFUSE_TOO_DEEP($$); }
    | relational_expression GE_OP shift_expression
        { $$ = binaryExpression($1, OP_GE, $3); REFUSE_TOO_DEEP($$); }
    ;

shift_expression
    : additive_expression
    | shift_expression LSHIFT additive_expression
        { $$ = binaryExpression($1, OP_LSHIFT, $3); REFUSE_TOO_DEEP($$); }
    | shift_expression RSHIFT additive_expression
        { $$ = binaryExpression($1, OP_RSHIFT, $3); REFUSE_TOO_DEEP($$); }
    ;

additive_expression
    : multiplicative_expression
    | additive_expression '+' multiplicative_expression
        { $$ = binaryExpression($1, '+', $3); REFUSE_TOO_DEEP($$); }
    | additive_expression '-' multiplicative_expression
        { $$ = binaryExpression($1, '-', $3); REFUSE_TOO_DEEP($$); }
    ;

multiplicative_expression
    : unary_expression
    | multiplicative_expression '*' unary_expression
        { $$ = binaryExpression($1, '*', $3); REFUSE_TOO_DEEP($$); }
    | multiplicative_expression '/' unary_expression
        { $$ = binaryExpression($1, '/', $3); REFUSE_TOO_DEEP($$); }
    | multiplicative_expression '%' unary_expression
        { $$ = binaryExpression($1, '%', $3); REFUSE_TOO_DEEP($$); }
    ;

/* One unary operator at most, applied to a primary expression. */
unary_expression
    : primary_expression
    | unary_operator primary_expression     { $$ = unaryExpression($1, $2); REFUSE_TOO_DEEP($$); }
    ;

unary_operator
    : '*'   { $$ = '*'; }
    | '-'   { $$ = '-'; }
    | '~'   { $$ = '~'; }
    | '&'   { $$ = '&'; }
    | '+'   { $$ = '+'; }
    ;

primary_expression
    : value
    | '(' conditional_expression ')'        { $$ = $2; }
    | THIS                                  { $$ = thisReference(); }
    | RETURN                                { $$ = returnReference(); }
    | identifier '(' opt_arguments ')'      { $$ = callExpression($1, $3); REFUSE_TOO_DEEP($$); }
    ;

opt_arguments
    : %empty    { $$ = nullptr; }
    | argument_list
    ;

argument_list
    : conditional_expression                    { $$ = startArguments($1); }
    | argument_list ',' conditional_expression  { $$ = addArgument($1, $3); }
    ;

name_reference
    : identifier    { $$ = nameReference($1); }
    ;

literal
    : number            { $$ = integerLiteral($1); }
    | STRING_CONST      { $$ = textLiteral(yytext); }
    | CHAR_CONST        { $$ = textLiteral(yytext); }
    ;

number
    : DEC_NUMBER    { $$ = readNumber(yytext, 10); }
    | HEX_NUMBER    { $$ = readNumber(yytext, 16); }
    | OCT_NUMBER    { $$ = readNumber(yytext, 8); }
    ;

identifier
    : IDENTIFIER    { $$ = newIdentifier(yytext); }
    ;

%%

// The model keeps token numbers as its own codes: every one of them must be
// the number of its token here.
#define SAME_CODE(code, token) \
    static_assert(int{code} == int{TOK_##token}, #code " is the number of " #token)
SAME_CODE(CODE_AUTO, AUTO); SAME_CODE(CODE_STATIC, STATIC); SAME_CODE(CODE_EXTERN, EXTERN);
SAME_CODE(CODE_CHAR, CHAR); SAME_CODE(CODE_SHORT, SHORT); SAME_CODE(CODE_INT, INT);
SAME_CODE(CODE_LONG, LONG); SAME_CODE(CODE_FLOAT, FLOAT); SAME_CODE(CODE_DOUBLE, DOUBLE);
SAME_CODE(CODE_VOID, VOID); SAME_CODE(CODE_UNSIGNED, UNSIGNED); SAME_CODE(CODE_STRUCT, STRUCT);
SAME_CODE(CODE_UNION, UNION); SAME_CODE(CODE_CONST, CONST); SAME_CODE(CODE_VOLATILE, VOLATILE);
SAME_CODE(DIR_IN, IN); SAME_CODE(DIR_INOUT, INOUT); SAME_CODE(DIR_OUT, OUT);
SAME_CODE(LITERAL_INTEGER, INT); SAME_CODE(CODE_SIZEOF, SIZEOF);
SAME_CODE(OP_LSHIFT, LSHIFT); SAME_CODE(OP_RSHIFT, RSHIFT); SAME_CODE(OP_LE, LE_OP);
SAME_CODE(OP_GE, GE_OP); SAME_CODE(OP_EQ, EQ_OP); SAME_CODE(OP_NE, NE_OP);
SAME_CODE(OP_AND, AND_OP); SAME_CODE(OP_OR, OR_OP);
#undef SAME_CODE

// 0 when the interface file was accepted; 1 after a syntax error or when the
// parser stack ran out (the generated parser tells the two apart).
#undef yyparse
int yyparse()
{
    return idlparse() == 0 ? 0 : 1;
}
