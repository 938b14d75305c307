// Actions of the token rules (identifiers, numbers, literals), of the
// expression ladder and of the array attributes and property entries.
#include <cstdlib>

#include "frontend/parser_actions.h"
#include "model/expression.h"
#include "model/property.h"
#include "model/symbol.h"

std::string* newIdentifier(const char* text) { return new std::string(text); }

std::string* emptyMemberName()
{
    static std::string empty;
    return &empty;
}

std::int64_t readNumber(const char* text, int base) { return std::strtol(text, nullptr, base); }

expression* integerLiteral(std::int64_t value)
{
    liteExp* literal = new liteExp;
    literal->setInt(value);
    return literal;
}

expression* textLiteral(const char* text)
{
    liteExp* literal = new liteExp;
    literal->setText(text);
    return literal;
}

expression* nameReference(std::string* name) { return new primExp(new Symbol(*name, scopeLevel)); }

// The result member lives in the result record at the top level.
expression* returnReference() { return new primExp(new Symbol(returnMemberName, 0)); }

expression* thisReference() { return thisExpression; }

expression* binaryExpression(expression* left, int op, expression* right)
{
    return new binaryExp(left, op, right);
}

expression* unaryExpression(int op, expression* operand) { return new unaryExp(op, operand); }

expression* conditionalExpression(expression* condition, expression* whenTrue, expression* whenFalse)
{
    return new condExp(condition, whenTrue, whenFalse);
}

expression* callExpression(std::string* name, expressionList* arguments)
{
    return new funcExp(*name, arguments);
}

expressionList* startArguments(expression* first)
{
    expressionList* list = new expressionList;
    list->add(first);
    return list;
}

expressionList* addArgument(expressionList* list, expression* next)
{
    list->add(next);
    return list;
}

property* namedProperty(std::string* name, expression* value)
{
    property* entry = new property(*name);
    entry->setValue(value);
    return entry;
}

property* boundAttribute(expression* bound)
{
    property* entry = new property("maxsize");
    entry->setValue(bound);
    return entry;
}

property* appendProperty(property* head, property* next) { return property::append(head, next); }
