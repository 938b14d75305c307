// Actions of the declarations: declarators, type specifiers, struct and
// union bodies, discriminated unions and typedefs.
#include <iostream>

#include "frontend/diagnostics.h"
#include "frontend/list_actions.h"
#include "frontend/parser_actions.h"
#include "frontend/scanner.h"
#include "model/codes.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/type_table.h"

int scopeLevel = 0;
int nestingDepth = 0;
classType* currentClass = nullptr;

// ---------------------------------------------------------------- declarators

Symbol* newDeclarator(std::string* name)
{
    Symbol* declarator = new Symbol(*name, scopeLevel);
    declarator->setLine(yylineno);
    return declarator;
}

namespace {

// 1 when one more pointer or array level keeps the declarator within the
// nesting limit.
int roomForLevel(const Symbol* declarator)
{
    return declarator->indirectionDepth() < maxNestingDepth;
}

}  // namespace

Symbol* addArraySuffix(Symbol* declarator, property* attributes)
{
    if (!roomForLevel(declarator))
        return nullptr;
    arrayType* array = new arrayType(nullptr);
    array->applyAttributes(attributes);
    attachBaseType(declarator, array, 0);
    return declarator;
}

Type* pointerPrefix() { return new refType(nullptr); }

Type* arrayPrefix(property* attributes)
{
    arrayType* array = new arrayType(nullptr);
    array->applyAttributes(attributes);
    array->markVariable();
    return array;
}

Symbol* applyPrefix(Type* prefix, Symbol* declarator)
{
    if (!roomForLevel(declarator))
        return nullptr;
    attachBaseType(declarator, prefix, 0);
    return declarator;
}

symbolSet* startDeclaratorList(Symbol* first)
{
    return startList<symbolSet>(first);
}

symbolSet* addDeclarator(symbolSet* list, Symbol* next)
{
    if (!list->add(next))
        reportSemanticError() << next->name() << " redeclared!\n";
    return list;
}

// ---------------------------------------------------------------- declarations with a type

Symbol* declareMember(Type* type, Symbol* declarator)
{
    attachBaseType(declarator, type, 0);
    declarator->normalizeType();
    return declarator;
}

Symbol* qualifyParameter(int qualifierCode, Symbol* declaration)
{
    declaration->markParameter();
    declaration->setQualifierCode(qualifierCode);
    return declaration;
}

Symbol* setParameterDirection(int directionCode, Symbol* parameter)
{
    parameter->setDirection(directionCode);
    return parameter;
}

symbolSet* startParameterList(Symbol* first)
{
    return startList<symbolSet>(first);
}

symbolSet* addParameter(symbolSet* list, Symbol* next)
{
    list->add(next);
    return list;
}

// ---------------------------------------------------------------- type specifiers

Type* primitiveType(int signCode, int baseCode)
{
    primType* type = new primType(baseCode, CODE_NONE);
    type->setSign(signCode);
    type->setCName();
    return type;
}

int longDoubleBaseCode()
{
    std::cerr << "Warning, type long double is not supported, changed to double\n";
    return CODE_DOUBLE;
}

Type* typedefNamed(std::string* name)
{
    if (Type* declared = declaredTypes.findTypedef(*name))
        return declared;
    reportSemanticError() << "type " << *name << " not defined up to this point." << std::endl;
    return new Type;
}

Type* normalizedTypedef(Type* named) { return named->normalize(0); }

// The tag is looked up whatever keyword was written; an unknown tag becomes
// an unregistered struct so that the parse can go on.
Type* taggedType(std::string* tag)
{
    if (scopeNode* found = tagScopes.findNode(*tag, scopeLevel))
        return found->type;
    std::cerr << "struct or union " << *tag << " not defined\n";
    return new classType(*tag, scopeLevel);
}

Type* enumerationType() { return new primType(CODE_ENUM, CODE_NONE); }

// ---------------------------------------------------------------- struct and union bodies

classType* structHead(int keywordCode, std::string* tag)
{
    classType* body = new classType(*tag, nestingDepth);
    body->setKeyword(keywordCode);
    // Where the body starts: named by the message of a body without any name.
    body->setLocation(currentFileName, yylineno);
    return body;
}

void enterClassBody(classType* body)
{
    ++scopeLevel;
    ++nestingDepth;
    currentClass = body;
    classStack.push(body);
    tagScopes.push(body);
}

classType* leaveClassBody(classType* body)
{
    --scopeLevel;
    --nestingDepth;
    classStack.pop();
    currentClass = static_cast<classType*>(classStack.top());
    declaredTypes.add(body);
    return body;
}

void addMemberDeclarators(Type* type, symbolSet* declarators)
{
    declarators->attachBaseType(type);
    declarators->normalizeTypes();
    if (currentClass->addMembers(declarators) > 0)
        reportSemanticError() << " one or more members redeclared for class  " << currentClass->name()
                              << std::endl;
}

// A switch member whose name is already a member is left out silently;
// unnamed switch members are all kept.
void addSwitchMember(Symbol* member) { currentClass->addMember(member); }

// ---------------------------------------------------------------- discriminated unions

struct armList {
    symbolSet* arms;
    int refused;
};

Symbol* caseArm(expression* caseValue, Symbol* declaration)
{
    declaration->setCaseValue(caseValue);
    return declaration;
}

armList* startArms(Symbol* first)
{
    armList* list = new armList{new symbolSet, 0};
    list->arms->add(first);
    return list;
}

armList* addArm(armList* list, Symbol* next)
{
    if (!list->arms->add(next))
        ++list->refused;
    return list;
}

Symbol* switchUnion(expression* discriminant, armList* arms, std::string* memberName)
{
    unionType* type = new unionType(scopeLevel);
    type->setSwitch(discriminant);
    int refused = arms->refused + type->addArms(arms->arms);
    if (refused > 0)
        reportSemanticError() << " one or more members redeclared for union within  "
                              << currentClass->name() << std::endl;
    Symbol* member = new Symbol(*memberName, 0);
    attachBaseType(member, type, 0);
    return member;
}

// ---------------------------------------------------------------- typedefs

void declareTypedef(Type* type, Symbol* declarator)
{
    const std::string name = declarator->name();
    warnTypedefName(name);
    attachBaseType(declarator, type, 0);
    typedefType* alias = new typedefType(nullptr);
    alias->setName(name);
    alias->setAliased(declarator->type());
    declaredTypes.add(alias);
}
