// Model queries of the type classes: levels, elements, names, C type texts,
// normalisation and type collection. The code-generation operations are in
// generate/.
#include "model/type.h"

#include <iostream>

#include "diagnostics/error_report.h"
#include "model/expression.h"
#include "model/token_table.h"
#include "model/type_table.h"

std::vector<enumeration*> declaredEnumerations;

const enumeration::constant* findEnumerationConstant(const std::string& name)
{
    for (const enumeration* e : declaredEnumerations)
        for (const enumeration::constant& c : e->constants)
            if (c.name == name)
                return &c;
    return nullptr;
}

// ---------------------------------------------------------------- Type

Type::Type() = default;

Type::Type(int kind, const std::string& name) : kind_(kind), name_(name) { }

int Type::indirectionDepth() const { return 0; }

void Type::addElementType(Type*)
{
    std::cerr << "Error: adding type"
              << " to non reference type\n";
}

int Type::collectTypes(typeList& list) { return list.add(this); }

int Type::isNotFixedArray() const { return 1; }
int Type::isPointerLike() const { return 0; }
int Type::isFixedArray() const { return 0; }
Type* Type::resolve() { return this; }
Type* Type::normalize(int) { return this; }
std::string Type::name() const { return name_; }
std::string Type::tagName() const { return name_; }
std::string Type::cTypeText() const { return name_; }
std::string Type::cPointerText() const { return cTypeText() + "*"; }
int Type::isVoid() const { return 0; }
int Type::isByte() const { return 0; }
int Type::isChar() const { return 0; }

void Type::print(std::ostream& out) const { out << name_; }
void Type::dump(std::ostream& out) const { out << name_; }

int Type::clashesWith(const Type* registered) const
{
    if (!registered || name_.empty() || name_ != registered->name_)
        return 0;
    const bool thisIsTypedef = kind_ == KIND_TYPEDEF;
    const bool registeredIsTypedef = registered->kind_ == KIND_TYPEDEF;
    return thisIsTypedef == registeredIsTypedef ? 1 : 0;
}

void Type::printLocation(std::ostream& out) const
{
    out << declarationFile_ << ":" << declarationLine_ << " ";
}

std::string Type::xdrPrototype() const { return "bool_t " + xdrSignature(); }

// ---------------------------------------------------------------- primType

primType::primType(int baseCode, int signCode) : Type(KIND_PRIMITIVE, "")
{
    baseCode_ = baseCode;
    signCode_ = signCode;
    setCName();
}

void primType::setCName()
{
    const bool isUnsigned = signCode_ == CODE_UNSIGNED;
    switch (baseCode_) {
    case CODE_INT:
        name_ = isUnsigned ? "u_int" : "int";
        break;
    case CODE_CHAR:
        name_ = isUnsigned ? "u_char" : "char";
        break;
    case CODE_LONG:
        name_ = isUnsigned ? "u_long" : "long";
        break;
    case CODE_SHORT:
        name_ = isUnsigned ? "u_short" : "short";
        break;
    case CODE_FLOAT:
        name_ = "float";
        break;
    case CODE_DOUBLE:
        name_ = "double";
        break;
    case CODE_VOID:
    case CODE_NONE:
        name_ = "void";
        break;
    default:
        name_ = "";
        break;  // enumerations
    }
}

int primType::isVoid() const { return name_ == "void"; }
int primType::isChar() const { return name_ == "char"; }
int primType::collectTypes(typeList&) { return 0; }

// ---------------------------------------------------------------- typedefType

typedefType::typedefType(Type* aliased) : Type(KIND_TYPEDEF, ""), aliased_(aliased) { }

void typedefType::setAliased(Type* t)
{
    aliased_ = t;
    if (t && t->kind() == KIND_CLASS) {
        // An anonymous struct named by a typedef answers with the typedef's name.
        // Only classType has kind KIND_CLASS besides unionType, which has no
        // typedef name of its own.
        if (classType* named = dynamic_cast<classType*>(t))
            named->setTypedefName(name());
    }
}

int typedefType::collectTypes(typeList& list)
{
    int added = aliased_ ? aliased_->collectTypes(list) : 0;
    return added + list.add(this);
}

int typedefType::isNotFixedArray() const { return aliased_ ? aliased_->isNotFixedArray() : 0; }
int typedefType::isPointerLike() const { return aliased_ ? aliased_->isPointerLike() : 0; }
int typedefType::isFixedArray() const { return aliased_ ? aliased_->isFixedArray() : 0; }
Type* typedefType::resolve() { return aliased_ ? aliased_->resolve() : nullptr; }
int typedefType::isByte() const { return name_ == "byte"; }

Type* typedefType::normalize(int)
{
    if (aliased_ && aliased_->indirectionDepth() > 1) {
        std::cout << "Warning: TYPEDEF " << name() << " will be redefined.\n";
        aliased_ = aliased_->normalize(0);
    }
    return this;
}

// ------------------------------------------------- pointer and array levels

namespace {

// Gives the element of a pointer or array level an object of its own when
// it has more than one level itself: an inserted typedef, named by the
// element's tag name, that aliases the normalised element.
Type* insertLevelTypedef(Type* element, int level)
{
    typedefType* inserted = new typedefType(nullptr);
    inserted->markInserted();
    inserted->setAliased(element->normalize(level + 1));
    inserted->setName(element->tagName());
    return inserted;
}

}  // namespace

int isLevel(const Type* t) { return t->kind() == KIND_POINTER || t->kind() == KIND_ARRAY; }

Type* elementOf(const Type* t)
{
    if (t->kind() == KIND_POINTER)
        return static_cast<const refType*>(t)->eleType;
    if (t->kind() == KIND_ARRAY)
        return static_cast<const arrayType*>(t)->eleType;
    return nullptr;
}

refType::refType(Type* elementType) : Type(KIND_POINTER, ""), eleType(elementType) { }

int refType::indirectionDepth() const { return eleType ? 1 + eleType->indirectionDepth() : 1; }

void refType::addElementType(Type* t)
{
    if (!eleType) {
        eleType = t;
    } else {
        eleType->addElementType(t);
    }
}

int refType::collectTypes(typeList& list) { return eleType ? eleType->collectTypes(list) : 0; }
int refType::isPointerLike() const { return 1; }

Type* refType::normalize(int level)
{
    if (eleType && isLevel(eleType))
        eleType = insertLevelTypedef(eleType, level);
    return this;
}

std::string refType::tagName() const { return eleType ? "_p2" + eleType->tagName() : ""; }
std::string refType::cTypeText() const { return eleType ? eleType->cPointerText() : ""; }

arrayType::arrayType(Type* elementType) : Type(KIND_ARRAY, ""), eleType(elementType) { }

int arrayType::indirectionDepth() const { return eleType ? 1 + eleType->indirectionDepth() : 1; }

void arrayType::addElementType(Type* t)
{
    if (!eleType) {
        eleType = t;
    } else {
        eleType->addElementType(t);
    }
}

int arrayType::collectTypes(typeList& list) { return eleType ? eleType->collectTypes(list) : 0; }
int arrayType::isNotFixedArray() const { return variable; }
int arrayType::isPointerLike() const { return variable; }
int arrayType::isFixedArray() const { return variable ? 0 : 1; }

int arrayType::holdsBuffers() const
{
    const Type* element = eleType ? eleType->resolve() : nullptr;
    return !variable && element && element->kind() == KIND_ARRAY && element->isPointerLike();
}

int arrayType::holdsBuffers(Type* t)
{
    Type* resolved = t ? t->resolve() : nullptr;
    return resolved && resolved->kind() == KIND_ARRAY &&
           static_cast<arrayType*>(resolved)->holdsBuffers();
}

Type* arrayType::normalize(int level)
{
    if (size && level > 0) {
        reportError() << " variable length array is not allowed at indircetion level >= 2."
                      << "\n";
    }
    if (eleType && isLevel(eleType))
        eleType = insertLevelTypedef(eleType, level);
    return this;
}

std::string arrayType::tagName() const
{
    if (!eleType)
        return "";
    std::string bound;
    if (maxsize) {
        bound = maxsize->plainText();
    } else if (size) {
        bound = size->plainText();
    }
    return "aof_" + bound + eleType->tagName() + "_";
}

// ---------------------------------------------------------------- unionType

namespace {

// The walk of collectTypes over the members or arms of a struct or union,
// guarded against the recursion of self-referencing types.
int collectMemberTypes(const symbolSet& symbols, typeList& list)
{
    int added = 0;
    symbolSet::cursor walk = symbolSet::begin(&symbols);
    while (Symbol* symbol = walk.next())
        added += symbol->collectTypes(list);
    return added;
}

}  // namespace

unionType::unionType(int level) : Type(KIND_CLASS, "") { level_ = level; }

int unionType::collectTypes(typeList& list)
{
    if (busy_)
        return 0;
    busy_ = 1;
    int added = collectMemberTypes(arms, list);
    busy_ = 0;
    return added;
}

int unionType::addArm(Symbol* arm)
{
    if (!arm || findArm(arm))
        return 0;
    return arms.add(arm);
}

int unionType::addArms(symbolSet* newArms)
{
    if (!newArms)
        return 0;
    int refused = 0;
    symbolSet::cursor walk = symbolSet::begin(newArms);
    while (Symbol* arm = walk.next())
        refused += addArm(arm) ? 0 : 1;
    return refused;
}

Symbol* unionType::findArm(Symbol* arm) const { return arm ? arms.find(arm->name()) : nullptr; }

// ---------------------------------------------------------------- classType

classType::classType(const std::string& name, int level) : Type(KIND_CLASS, name)
{
    level_ = level;
}

int classType::collectTypes(typeList& list)
{
    if (busy_)
        return 0;
    busy_ = 1;
    int added = collectMemberTypes(members, list);
    busy_ = 0;
    return added + list.add(this);
}

std::string classType::name() const { return name_.empty() ? typedefName_ : name_; }

std::string classType::cTypeText() const
{
    if (!name_.empty())
        return tokenText(keyword_) + " " + name_;
    if (!typedefName_.empty())
        return typedefName_;
    std::cerr << "Error: ";
    printLocation(std::cerr);
    std::cerr << "No name defined for " << tokenText(keyword_) << " type\n";
    return "";
}

void classType::dump(std::ostream& out) const
{
    out << tokenText(keyword_) << " " << name_ << "\n";
    out << "  members:\n";
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next()) {
        out << "     " << member->name() << "\n";
        out << "\t type: ";
        if (member->type())
            member->type()->dump(out);
        out << "\n\n";
    }
}

int classType::addMember(Symbol* member)
{
    if (!member || findMember(member))
        return 0;
    return members.add(member);
}

int classType::addMembers(symbolSet* newMembers)
{
    if (!newMembers)
        return 0;
    int refused = 0;
    symbolSet::cursor walk = symbolSet::begin(newMembers);
    while (Symbol* member = walk.next())
        refused += addMember(member) ? 0 : 1;
    return refused;
}

Symbol* classType::findMember(Symbol* member) const
{
    return member ? members.find(member->name()) : nullptr;
}

std::string classType::mallocHelperName() const { return "malloc_" + name(); }
std::string classType::freeHelperName() const { return "mfree_" + name(); }

std::string classType::mallocHelperCall(const std::string& arguments) const
{
    return mallocHelperName() + "(" + arguments + ")";
}
