// The actions of the interface grammar. Each rule of grammar.y calls one of
// these; they build the declaration and program models while the parse runs.
// Nothing they create is ever freed.
#ifndef VELORIN_FRONTEND_PARSER_ACTIONS_H
#define VELORIN_FRONTEND_PARSER_ACTIONS_H

#include <cstdint>
#include <string>

class Type;
class classType;
class Symbol;
class symbolSet;
class expression;
struct enumeration;
class expressionList;
class property;
class rpcProgram;
class rpcVersion;
class rpcProcedure;
class procedureList;
class versionList;

// ---------------------------------------------------------------- parse state

// Depth of struct and union bodies at the current point of the input.
extern int scopeLevel;
// Raised and lowered with scopeLevel; the level of a new struct or union head.
extern int nestingDepth;
// The innermost struct or union body being parsed; null at file level.
extern classType* currentClass;

// Returns the scanner and the actions to the start of an interface file:
// file level, no body open, no tag pending, no expression depth remembered.
void resetParseState();

// ---------------------------------------------------------------- nesting limit

// The deepest expression tree or declarator type chain the actions build:
// as deep as the parser stack may grow. Left-recursive rules (binary
// operators, array suffixes) could otherwise build trees of any depth from
// a flat stack, and the model's recursive operations would overflow the C
// stack on them. An action that would exceed it returns null, and the
// grammar ends the parse as for a full parser stack.
constexpr int maxNestingDepth = 10000;

// ---------------------------------------------------------------- tokens and expressions

// Drops the depths recorded for the expressions built so far.
void forgetExpressionDepths();

// A new string holding a copy of the token text.
std::string* newIdentifier(const char* text);
// The shared empty string of an unnamed switch member.
std::string* emptyMemberName();
// strtol of the token text in `base`; a suffix ends the conversion.
std::int64_t readNumber(const char* text, int base);

expression* integerLiteral(std::int64_t value);
// A string or character constant, quotes included.
expression* textLiteral(const char* text);
expression* nameReference(std::string* name);
// "return": the result member of the procedure's result record.
expression* returnReference();
expression* thisReference();
// The composite expressions; null beyond maxNestingDepth.
expression* binaryExpression(expression* left, int op, expression* right);
expression* unaryExpression(int op, expression* operand);
expression* conditionalExpression(expression* condition, expression* whenTrue,
                                  expression* whenFalse);
expression* callExpression(std::string* name, expressionList* arguments);
expressionList* startArguments(expression* first);
expressionList* addArgument(expressionList* list, expression* next);

// ---------------------------------------------------------------- array attributes and properties

// `name = value` inside brackets or a `property name = value;` entry.
property* namedProperty(std::string* name, expression* value);
// A bare bound inside brackets: a maxsize attribute.
property* boundAttribute(expression* bound);
// Appends an entry of a property list when its name is accepted (the
// head is null for the first entry); gives the list's head.
property* appendProperty(property* head, property* next);
// Appends a later attribute of the same brackets, whatever its name.
property* appendAttribute(property* head, property* next);

// ---------------------------------------------------------------- declarators

Symbol* newDeclarator(std::string* name);
// `declarator [ attributes ]`: a fixed array level inside the declarator.
// Null when the declarator would get more than maxNestingDepth levels.
Symbol* addArraySuffix(Symbol* declarator, property* attributes);
Type* pointerPrefix();
// `[ attributes ]` written in front of a name: a variable-length array.
Type* arrayPrefix(property* attributes);
// Null when the declarator would get more than maxNestingDepth levels.
Symbol* applyPrefix(Type* prefix, Symbol* declarator);
// Declarator lists of a member declaration; a repeated name is reported.
symbolSet* startDeclaratorList(Symbol* first);
symbolSet* addDeclarator(symbolSet* list, Symbol* next);

// ---------------------------------------------------------------- declarations with a type

// Gives the declarator its type (innermost level) and normalises it.
Symbol* declareMember(Type* type, Symbol* declarator);
// Marks a parameter and records its qualifier (CODE_NONE when none).
Symbol* qualifyParameter(int qualifierCode, Symbol* declaration);
Symbol* setParameterDirection(int directionCode, Symbol* parameter);
// Parameter lists: a repeated name is silently left out.
symbolSet* startParameterList(Symbol* first);
symbolSet* addParameter(symbolSet* list, Symbol* next);

// ---------------------------------------------------------------- type specifiers

Type* primitiveType(int signCode, int baseCode);
// The base code of "long double", after its warning.
int longDoubleBaseCode();
// The declared typedef of that name, or a placeholder after an error.
Type* typedefNamed(std::string* name);
Type* normalizedTypedef(Type* named);
// A struct or union named by its tag alone.
Type* taggedType(std::string* tag);
// Writes "struct or union <tag> not defined" for every tag that was named
// and never given a body (not counted here: a version whose code needs the
// tag counts it when generated).
void reportUndefinedTags();
Type* enumerationType();
// An enumeration definition: kept, in file order, for the headers
// (declaredEnumerations); its value is a plain enum type.
enumeration* startEnumeration(std::string* name, expression* value);
enumeration* addEnumerator(enumeration* list, std::string* name, expression* value);
Type* enumerationDefinition(std::string* tag, enumeration* constants);

// ---------------------------------------------------------------- struct and union bodies

classType* structHead(int keywordCode, std::string* tag);
// Right after the "{" of a body.
void enterClassBody(classType* body);
// At the "}" of a body: leaves the scope and registers the type.
classType* leaveClassBody(classType* body);
void addMemberDeclarators(Type* type, symbolSet* declarators);
void addSwitchMember(Symbol* member);

// ---------------------------------------------------------------- discriminated unions

// Arms of one `union switch`, with the number of arms refused for a
// repeated name.
struct armList;
Symbol* caseArm(expression* caseValue, Symbol* declaration);
armList* startArms(Symbol* first);
armList* addArm(armList* list, Symbol* next);
Symbol* switchUnion(expression* discriminant, armList* arms, std::string* memberName);

// ---------------------------------------------------------------- typedefs

void declareTypedef(Type* type, Symbol* declarator);

// ---------------------------------------------------------------- program block

rpcProcedure* procedureHead(Type* returnType, Symbol* name, symbolSet* parameters,
                            property* properties);
rpcProcedure* numberProcedure(rpcProcedure* procedure, std::int64_t number);
procedureList* startProcedures(rpcProcedure* first);
procedureList* addProcedure(procedureList* list, rpcProcedure* next);
rpcVersion* newVersion(property* properties, procedureList* procedures, std::int64_t number);
versionList* startVersions(rpcVersion* first);
// `programName` is the name as written after "program".
versionList* addVersion(versionList* list, rpcVersion* next, const std::string& programName);
rpcProgram* completeProgram(std::string* name, property* properties, versionList* versions,
                            std::int64_t number);
rpcProgram* completeInterface(std::string* name, property* properties, procedureList* procedures,
                              std::int64_t number);

#endif
