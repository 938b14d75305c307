#include "model/type_table.h"

#include <algorithm>
#include <functional>
#include <iostream>

#include "diagnostics/error_report.h"
#include "model/expression.h"
#include "model/type.h"

typeTable declaredTypes;
scopeList tagScopes;
scopeList classStack;

// ---------------------------------------------------------------- typeTable

Type* typeTable::add(Type* t)
{
    if (!t)
        return nullptr;
    // Types clash by equal non-empty name fields when both or neither are
    // typedefs; a clashing type is never registered, so each index holds the
    // one registered type a newcomer can clash with.
    const bool isTypedef = t->kind() == KIND_TYPEDEF;
    if (!t->nameField().empty()) {
        const auto& candidates = isTypedef ? typedefs_ : structs_;
        auto found = candidates.find(t->nameField());
        if (found != candidates.end() && t->clashesWith(found->second)) {
            reportError() << " type " << t->cTypeText() << " redefined.\n";
            return found->second;
        }
    }
    entries_.push_back(t);
    if (isTypedef) {
        typedefs_.emplace(t->name(), t);
    } else if (!t->nameField().empty()) {
        structs_.emplace(t->nameField(), t);
    }
    return nullptr;
}

Type* typeTable::findTypedef(const std::string& name) const
{
    auto found = typedefs_.find(name);
    return found == typedefs_.end() ? nullptr : found->second;
}

Type* typeTable::findStruct(const std::string& name) const
{
    auto found = structs_.find(name);
    return found == structs_.end() ? nullptr : found->second;
}

// ---------------------------------------------------------------- scopeList

scopeList::~scopeList()
{
    while (pop()) { }
}

scopeNode* scopeList::push(Type* t)
{
    scopeNode* added = new scopeNode;
    added->type = t;
    added->next = header_.next;
    added->previous = &header_;
    if (header_.next)
        header_.next->previous = added;
    header_.next = added;

    pushed record{t != nullptr, {}};
    if (t) {
        while (!visible_.empty() && visible_.back().level > t->level())
            record.hid.push_back(hideNewest());
        show(entry{added, t->level(), t->nameField()});
    }
    pushes_.push_back(std::move(record));
    return added;
}

int scopeList::pop()
{
    scopeNode* first = header_.next;
    if (!first)
        return 0;
    pushed& record = pushes_.back();
    if (record.visible)
        hideNewest();
    for (auto e = record.hid.rbegin(); e != record.hid.rend(); ++e)
        show(*e);
    pushes_.pop_back();

    header_.next = first->next;
    if (first->next)
        first->next->previous = &header_;
    delete first;
    return 1;
}

void scopeList::show(const entry& e)
{
    visible_.push_back(e);
    visibleByName_[e.name].emplace_back(e.level, e.node);
}

// The newest visible node is also the newest visible one of its name.
scopeList::entry scopeList::hideNewest()
{
    entry e = std::move(visible_.back());
    visible_.pop_back();
    auto named = visibleByName_.find(e.name);
    named->second.pop_back();
    if (named->second.empty())
        visibleByName_.erase(named);
    return e;
}

Type* scopeList::top() const { return header_.next ? header_.next->type : nullptr; }

scopeNode* scopeList::findNode(const std::string& name, int level) const
{
    auto named = visibleByName_.find(name);
    if (named == visibleByName_.end())
        return nullptr;
    // Levels rise towards the newest node: the last one within the bound.
    const auto& nodes = named->second;
    auto beyond = std::upper_bound(
        nodes.begin(), nodes.end(), level,
        [](int bound, const std::pair<int, scopeNode*>& n) { return bound < n.first; });
    return beyond == nodes.begin() ? nullptr : (beyond - 1)->second;
}

// ---------------------------------------------------------------- typeList

namespace {

// The shape of a type as generated code spells it: pointer and array levels
// with their bounds, down to the first named type. Two typedefs inserted by
// normalisation under one name stand for one generated type only when their
// shapes agree (bounds LEN+1 and LEN-1 give one name, but two shapes).
std::string shapeOf(const Type* t)
{
    if (!t)
        return "";
    switch (t->kind()) {
    case KIND_POINTER: {
        const refType* ref = static_cast<const refType*>(t);
        return "*" + shapeOf(ref->eleType);
    }
    case KIND_ARRAY: {
        const arrayType* array = static_cast<const arrayType*>(t);
        std::string text = array->variable ? "[var " : "[";
        if (array->maxsize)
            text += array->maxsize->codeText("");
        text += ";";
        if (array->size)
            text += array->size->codeText("");
        return text + "]" + shapeOf(array->eleType);
    }
    case KIND_TYPEDEF: {
        const typedefType* alias = static_cast<const typedefType*>(t);
        if (alias->isInserted())
            return shapeOf(alias->aliased());
        return t->name();
    }
    default:
        return t->name();
    }
}

}  // namespace

typeList::~typeList()
{
    while (first_) {
        node* next = first_->next;
        delete first_;
        first_ = next;
    }
}

int typeList::add(Type* t)
{
    if (!t)
        return 0;
    const std::string name = t->name();
    if (Type* present = find(name)) {
        if (present != t && t->kind() == KIND_TYPEDEF && present->kind() == KIND_TYPEDEF) {
            const typedefType* added = static_cast<const typedefType*>(t);
            const typedefType* kept = static_cast<const typedefType*>(present);
            if (added->isInserted() && kept->isInserted() && shapeOf(added) != shapeOf(kept)) {
                reportError()
                    << " type " << t->name()
                    << " stands for two different types; give one of them a typedef of its own.\n";
            }
        }
        return 0;
    }
    if (!name.empty())
        byNameHash_.emplace(std::hash<std::string>()(name), t);
    node* appended = new node{nullptr, t};
    if (last_) {
        last_->next = appended;
    } else {
        first_ = appended;
    }
    last_ = appended;
    return 1;
}

Type* typeList::find(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    auto candidates = byNameHash_.equal_range(std::hash<std::string>()(name));
    for (auto c = candidates.first; c != candidates.second; ++c)
        if (c->second->name() == name)
            return c->second;
    return nullptr;
}

Type* typeList::cursor::next()
{
    if (!current_)
        return nullptr;
    Type* t = current_->type;
    current_ = current_->next;
    return t;
}
