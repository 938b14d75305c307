#include "model/type_table.h"

#include <iostream>

#include "diagnostics/error_report.h"
#include "model/expression.h"
#include "model/type.h"

typeTable declaredTypes;
scopeList tagScopes;
scopeList classStack;

// ---------------------------------------------------------------- typeTable

Type* typeTable::add(Type* t) {
  if (!t || count_ == capacity) return nullptr;
  for (int i = 0; i < count_; ++i) {
    Type* registered = entries_[i];
    if (t->clashesWith(registered)) {
      reportError() << " type " << t->cTypeText() << " redefined.\n";
      return registered;
    }
  }
  entries_[count_++] = t;
  return nullptr;
}

Type* typeTable::findTypedef(const std::string& name) const {
  for (int i = 0; i < count_; ++i) {
    Type* t = entries_[i];
    if (t->kind() == KIND_TYPEDEF && t->name() == name) return t;
  }
  return nullptr;
}

// ---------------------------------------------------------------- scopeList

scopeList::~scopeList() {
  while (pop()) {
  }
}

scopeNode* scopeList::push(Type* t) {
  scopeNode* added = new scopeNode;
  added->type = t;
  added->next = header_.next;
  added->previous = &header_;
  if (header_.next) header_.next->previous = added;
  header_.next = added;
  return added;
}

int scopeList::pop() {
  scopeNode* first = header_.next;
  if (!first) return 0;
  header_.next = first->next;
  if (first->next) first->next->previous = &header_;
  delete first;
  return 1;
}

Type* scopeList::top() const { return header_.next ? header_.next->type : nullptr; }

scopeNode* scopeList::findNode(const std::string& name, int level) const {
  int bound = level;
  for (scopeNode* n = header_.next; n; n = n->next) {
    if (!n->type || n->type->level() > bound) continue;
    bound = n->type->level();
    if (n->type->nameField() == name) return n;
  }
  return nullptr;
}

// ---------------------------------------------------------------- typeList

namespace {

// The shape of a type as generated code spells it: pointer and array levels
// with their bounds, down to the first named type. Two typedefs inserted by
// normalisation under one name stand for one generated type only when their
// shapes agree (bounds LEN+1 and LEN-1 give one name, but two shapes).
std::string shapeOf(const Type* t) {
  if (!t) return "";
  switch (t->kind()) {
    case KIND_POINTER: {
      const refType* ref = static_cast<const refType*>(t);
      return "*" + shapeOf(ref->eleType);
    }
    case KIND_ARRAY: {
      const arrayType* array = static_cast<const arrayType*>(t);
      std::string text = array->variable ? "[var " : "[";
      if (array->maxsize) text += array->maxsize->codeText("");
      text += ";";
      if (array->size) text += array->size->codeText("");
      return text + "]" + shapeOf(array->eleType);
    }
    case KIND_TYPEDEF: {
      const typedefType* alias = static_cast<const typedefType*>(t);
      if (alias->isInserted()) return shapeOf(alias->aliased());
      return t->name();
    }
    default:
      return t->name();
  }
}

}  // namespace

typeList::~typeList() {
  while (first_) {
    node* next = first_->next;
    delete first_;
    first_ = next;
  }
}


int typeList::add(Type* t) {
  if (!t) return 0;
  if (Type* present = find(t->name())) {
    if (present != t && t->kind() == KIND_TYPEDEF && present->kind() == KIND_TYPEDEF) {
      const typedefType* added = static_cast<const typedefType*>(t);
      const typedefType* kept = static_cast<const typedefType*>(present);
      if (added->isInserted() && kept->isInserted() && shapeOf(added) != shapeOf(kept)) {
        reportError() << " type " << t->name()
                      << " stands for two different types; give one of them a typedef of its own.\n";
      }
    }
    return 0;
  }
  node* appended = new node{nullptr, t};
  if (last_) {
    last_->next = appended;
  } else {
    first_ = appended;
  }
  last_ = appended;
  return 1;
}

Type* typeList::find(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (node* n = first_; n; n = n->next) {
    if (n->type && n->type->name() == name) return n->type;
  }
  return nullptr;
}

Type* typeList::cursor::next() {
  if (!current_) return nullptr;
  Type* t = current_->type;
  current_ = current_->next;
  return t;
}
