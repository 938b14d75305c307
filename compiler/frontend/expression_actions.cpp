// Actions of the token rules (identifiers, numbers, literals), of the
// expression ladder and of the array attributes and property entries.
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "frontend/list_actions.h"
#include "frontend/parser_actions.h"
#include "model/expression.h"
#include "model/property.h"
#include "model/symbol.h"

namespace {

// Depth of every composite expression built so far; a leaf has depth 1.
std::unordered_map<const expression*, int> expressionDepths;

int depthOf(const expression* e)
{
    auto found = expressionDepths.find(e);
    return found == expressionDepths.end() ? 1 : found->second;
}

expression* recordDepth(expression* e, int depth)
{
    expressionDepths[e] = depth;
    return e;
}

}  // namespace

void forgetExpressionDepths() { expressionDepths.clear(); }

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
    const int depth = 1 + std::max(depthOf(left), depthOf(right));
    return depth > maxNestingDepth ? nullptr : recordDepth(new binaryExp(left, op, right), depth);
}

expression* unaryExpression(int op, expression* operand)
{
    const int depth = 1 + depthOf(operand);
    return depth > maxNestingDepth ? nullptr : recordDepth(new unaryExp(op, operand), depth);
}

expression* conditionalExpression(expression* condition, expression* whenTrue,
                                  expression* whenFalse)
{
    const int depth = 1 + std::max({depthOf(condition), depthOf(whenTrue), depthOf(whenFalse)});
    if (depth > maxNestingDepth)
        return nullptr;
    return recordDepth(new condExp(condition, whenTrue, whenFalse), depth);
}

expression* callExpression(std::string* name, expressionList* arguments)
{
    int deepest = 0;
    expressionList::cursor walk = expressionList::begin(arguments);
    while (expression* argument = walk.next())
        deepest = std::max(deepest, depthOf(argument));
    const int depth = 1 + deepest;
    return depth > maxNestingDepth ? nullptr : recordDepth(new funcExp(*name, arguments), depth);
}

expressionList* startArguments(expression* first) { return startList<expressionList>(first); }

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

property* appendAttribute(property* head, property* next) { return property::link(head, next); }
