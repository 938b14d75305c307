// Actions of the declarations: declarators, type specifiers, struct and
// union bodies, discriminated unions and typedefs.
#include <algorithm>
#include <iostream>
#include <vector>

#include "frontend/diagnostics.h"
#include "frontend/list_actions.h"
#include "frontend/parser_actions.h"
#include "frontend/scanner.h"
#include "model/codes.h"
#include "model/expression.h"
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

namespace {

// Tags named before their bodies were read, oldest first. C's incomplete
// types: the body that comes later fills the same object.
std::vector<classType*> pendingTags;

// The tag named but not defined yet at `level` or in a body around it.
classType* pendingTag(const std::string& tag, int level)
{
    for (classType* pending : pendingTags)
        if (pending->nameField() == tag && pending->level() >= level)
            return pending;
    return nullptr;
}

}  // namespace

// The tag is looked up whatever keyword was written. A tag not visible yet
// is a struct that a later body of that tag completes; one that stays
// without a body is reported when a version's code needs it.
Type* taggedType(std::string* tag)
{
    if (scopeNode* found = tagScopes.findNode(*tag, scopeLevel))
        return found->type;
    if (classType* pending = pendingTag(*tag, scopeLevel))
        return pending;
    classType* named = new classType(*tag, scopeLevel);
    named->markIncomplete();
    named->setLocation(currentFileName, yylineno);
    pendingTags.push_back(named);
    return named;
}

void reportUndefinedTags()
{
    for (classType* pending : pendingTags)
        std::cerr << "struct or union " << pending->nameField() << " not defined\n";
}

void resetParseState()
{
    resetScanner();
    scopeLevel = 0;
    nestingDepth = 0;
    currentClass = nullptr;
    forgetExpressionDepths();
    pendingTags.clear();
}

Type* enumerationType() { return new primType(CODE_ENUM, CODE_NONE); }

enumeration* startEnumeration(std::string* name, expression* value)
{
    return addEnumerator(new enumeration, name, value);
}

enumeration* addEnumerator(enumeration* list, std::string* name, expression* value)
{
    enumeration::constant constant{*name, value ? value->plainText() : std::string(), 0, 0};
    const liteExp* literal = dynamic_cast<const liteExp*>(value);
    if (literal && literal->kind == LITERAL_INTEGER) {
        constant.number = literal->value;
        constant.known = 1;
    } else if (!value) {
        const enumeration::constant* before = list->constants.empty() ? nullptr : &list->constants.back();
        constant.number = before ? before->number + 1 : 0;
        constant.known = !before || before->known;
    }
    list->constants.push_back(constant);
    return list;
}

Type* enumerationDefinition(std::string* tag, enumeration* constants)
{
    constants->tag = *tag;
    declaredEnumerations.push_back(constants);
    return enumerationType();
}

// ---------------------------------------------------------------- struct and union bodies

classType* structHead(int keywordCode, std::string* tag)
{
    classType* body = nullptr;
    if (!tag->empty() && (body = pendingTag(*tag, nestingDepth))) {
        body->completeAt(nestingDepth);
        pendingTags.erase(std::find(pendingTags.begin(), pendingTags.end(), body));
    } else {
        body = new classType(*tag, nestingDepth);
    }
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
