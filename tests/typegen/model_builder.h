// Small helpers that build declaration-model objects the way the parser
// does, so that the generators can be driven without an interface file.
#ifndef VELORIN_TESTS_TYPEGEN_MODEL_BUILDER_H
#define VELORIN_TESTS_TYPEGEN_MODEL_BUILDER_H

#include <initializer_list>
#include <string>

#include "model/codes.h"
#include "model/expression.h"
#include "model/property.h"
#include "model/rpc_program.h"
#include "model/symbol.h"
#include "model/type.h"

namespace build {

inline primType* prim(int base, int sign = CODE_NONE) { return new primType(base, sign); }

inline typedefType* alias(const std::string& name, Type* aliased)
{
    typedefType* t = new typedefType(nullptr);
    t->setName(name);
    t->setAliased(aliased);
    return t;
}

inline refType* ptr(Type* element) { return new refType(element); }

inline expression* num(long value)
{
    liteExp* e = new liteExp();
    e->setInt(value);
    return e;
}

inline expression* var(const std::string& name) { return new primExp(new Symbol(name, 0)); }

inline arrayType* fixedArray(Type* element, expression* bound, expression* count = nullptr)
{
    arrayType* a = new arrayType(element);
    a->maxsize = bound;
    a->size = count;
    return a;
}

inline arrayType* varArray(Type* element, expression* count, expression* bound)
{
    arrayType* a = new arrayType(element);
    a->markVariable();
    a->size = count;
    a->maxsize = bound;
    return a;
}

inline Symbol* sym(const std::string& name, Type* t)
{
    Symbol* s = new Symbol(name, 1);
    attachBaseType(s, t, 0);
    return s;
}

inline Symbol* arg(const std::string& name, Type* t, int direction = DIR_IN,
                   int qualifier = CODE_NONE)
{
    Symbol* s = sym(name, t);
    s->setDirection(direction);
    s->setQualifierCode(qualifier);
    s->markParameter();
    return s;
}

inline classType* structType(const std::string& tag, std::initializer_list<Symbol*> members,
                             int keyword = CODE_STRUCT)
{
    classType* c = new classType(tag, 1);
    c->setKeyword(keyword);
    for (Symbol* m : members)
        c->addMember(m);
    return c;
}

inline unionType* switchUnion(expression* discriminant,
                              std::initializer_list<std::pair<expression*, Symbol*>> arms)
{
    unionType* u = new unionType(1);
    u->setSwitch(discriminant);
    for (const auto& a : arms) {
        a.second->setCaseValue(a.first);
        u->addArm(a.second);
    }
    return u;
}

inline rpcProcedure* procedure(const std::string& name, Type* result,
                               std::initializer_list<Symbol*> arguments, long number = -1)
{
    rpcProcedure* p = new rpcProcedure(name);
    p->setReturnType(result);
    p->setNumber(number);
    if (arguments.size()) {
        p->arguments = new symbolSet();
        for (Symbol* a : arguments)
            p->arguments->add(a);
    }
    return p;
}

inline rpcVersion* version(long number, std::initializer_list<rpcProcedure*> procedures)
{
    rpcVersion* v = new rpcVersion();
    v->setNumber(number);
    procedureList* list = new procedureList();
    for (rpcProcedure* p : procedures)
        list->add(p);
    v->setProcedures(list);
    return v;
}

inline rpcProgram* program(const std::string& name, long number,
                           std::initializer_list<rpcVersion*> versions)
{
    rpcProgram* p = new rpcProgram(name);
    p->setNumber(number);
    versionList* list = new versionList();
    for (rpcVersion* v : versions)
        list->add(v);
    p->setVersions(list);
    return p;
}

inline property* prop(const std::string& name, expression* value)
{
    property* p = new property(name);
    p->setValue(value);
    return p;
}

}  // namespace build

#endif
