#include "generate/codegen_support.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <vector>

#include "model/expression.h"
#include "model/fatal.h"
#include "model/generated_identifiers.h"
#include "model/type.h"
#include "output/emit.h"

int indentLevel = 0;

void indentMore() { ++indentLevel; }
void indentLess() { --indentLevel; }
std::string currentIndent() { return indent(indentLevel); }

std::string indentedLines(const std::string& block, const std::string& indent)
{
    std::string text;
    size_t at = 0;
    while (at < block.size()) {
        const size_t end = block.find('\n', at);
        const size_t next = end == std::string::npos ? block.size() : end + 1;
        text += indent + block.substr(at, next - at);
        at = next;
    }
    return text;
}

std::string generatedTypeText(const Type* t)
{
    if (!t)
        return "";
    if (t->kind() == KIND_PRIMITIVE && t->baseCode() == CODE_ENUM)
        return "enum_t";
    if (t->kind() == KIND_POINTER) {
        const refType* pointer = static_cast<const refType*>(t);
        return pointer->eleType ? generatedPointerText(pointer->eleType) : "";
    }
    return t->cTypeText();
}

std::string generatedPointerText(const Type* t) { return generatedTypeText(t) + "*"; }

Type* finalType(const typedefType* t)
{
    Type* current = const_cast<typedefType*>(t);
    // A chain of typedefs is finite: each is built before the next one names
    // it, so a typedef cannot lead back to itself.
    while (current && current->kind() == KIND_TYPEDEF) {
        Type* next = static_cast<typedefType*>(current)->aliased();
        if (!next) {
            std::cerr << "Typedef alias nothing"
                      << "\n";
            return nullptr;
        }
        current = next;
    }
    return current;
}

int isSelfAlias(const typedefType* t)
{
    Type* aliased = t->aliased();
    if (!aliased || aliased->kind() != KIND_CLASS)
        return 0;
    const classType* named = dynamic_cast<const classType*>(aliased);
    return named && named->typedefName() == t->name() ? 1 : 0;
}

namespace {

int symbolsMayOwnMemory(const symbolSet& symbols, int depth);

int mayOwnMemoryAt(const Type* t, int depth)
{
    if (!t)
        return 0;
    // A type that leads back to itself holds a pointer on the way.
    if (depth > 64)
        return 1;
    switch (t->kind()) {
    case KIND_PRIMITIVE:
        return 0;
    case KIND_POINTER:
        return 1;
    case KIND_TYPEDEF:
        return mayOwnMemoryAt(static_cast<const typedefType*>(t)->aliased(), depth + 1);
    case KIND_ARRAY: {
        const arrayType* array = static_cast<const arrayType*>(t);
        return array->variable ? 1 : mayOwnMemoryAt(array->eleType, depth + 1);
    }
    case KIND_CLASS:
        if (const classType* c = dynamic_cast<const classType*>(t)) {
            if (c->keyword() == CODE_UNION)
                return 0;  // coded as raw bytes
            return symbolsMayOwnMemory(c->members, depth + 1);
        }
        if (const unionType* u = dynamic_cast<const unionType*>(t))
            return symbolsMayOwnMemory(u->arms, depth + 1);
        return 1;
    default:
        return 1;  // an undefined type: assume the worst
    }
}

int symbolsMayOwnMemory(const symbolSet& symbols, int depth)
{
    symbolSet::cursor walk = symbolSet::begin(&symbols);
    while (Symbol* symbol = walk.next())
        if (mayOwnMemoryAt(symbol->type(), depth))
            return 1;
    return 0;
}

}  // namespace

int mayOwnMemory(const Type* t) { return mayOwnMemoryAt(t, 0); }

const classType* unnamedClass(const Type* t)
{
    if (!t || t->kind() != KIND_CLASS)
        return nullptr;
    const classType* c = dynamic_cast<const classType*>(t);
    return c && c->name().empty() ? c : nullptr;
}

std::string mallocHelperPrototype(const classType* record)
{
    return joinText("int ", record->mallocHelperName(), "(", generatedPointerText(record),
                    " pVar)");
}

std::string freeHelperPrototype(const classType* record)
{
    return joinText("void ", record->freeHelperName(), "(", generatedPointerText(record), " pVar)");
}

int isReturnMember(const std::string& name) { return name == returnMemberName; }

std::string fillTemplate(const std::string& shape, std::initializer_list<templateHole> holes)
{
    std::vector<int> used(holes.size(), 0);
    // One allocation of about the final size: values of deep types run to
    // hundreds of kilobytes, and growing by doubling would copy them again.
    size_t expected = shape.size();
    for (const templateHole& h : holes)
        expected += h.value.size();
    std::string text;
    text.reserve(expected);
    size_t at = 0;
    while (at < shape.size()) {
        const size_t hole = shape.find('$', at);
        if (hole == std::string::npos)
            break;
        // "${name}" ends a name that letters follow.
        const int braced = hole + 1 < shape.size() && shape[hole + 1] == '{';
        size_t end = hole + 1 + braced;
        while (end < shape.size() &&
               (std::isalnum(static_cast<unsigned char>(shape[end])) || shape[end] == '_'))
            ++end;
        text.append(shape, at, hole - at);
        const std::string name = shape.substr(hole + 1 + braced, end - hole - 1 - braced);
        if (braced && end < shape.size() && shape[end] == '}')
            ++end;
        const templateHole* found = nullptr;
        size_t index = 0;
        for (const templateHole& h : holes) {
            if (name == h.name) {
                found = &h;
                used[index] = 1;
            }
            ++index;
        }
        // A misspelt hole would reach the generated C unnoticed.
        const bool holeWithoutValue = found == nullptr;
        FATAL_IF(holeWithoutValue);
        text += found->value;
        at = end;
    }
    text.append(shape, at, std::string::npos);
    // So would a value meant for a hole the shape lost.
    const bool valueWithoutHole = std::find(used.begin(), used.end(), 0) != used.end();
    FATAL_IF(valueWithoutHole);
    return text;
}

int readsOwnData(const expression* e) { return e && e->codeText("", "a") != e->codeText("", "b"); }
