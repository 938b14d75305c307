#include "model/symbol.h"

#include "model/token_table.h"
#include "model/expression.h"
#include "model/type.h"
#include "model/type_table.h"

Symbol::Symbol(const std::string& name, int scopeLevel) : name_(name), scopeLevel_(scopeLevel) { }

std::ostream& operator<<(std::ostream& out, const Symbol& symbol) { return out << symbol.name(); }

std::string keywordPrefix(const Symbol* symbol)
{
    if (!symbol || symbol->qualifierCode() == CODE_NONE || symbol->showQualifier() == 0)
        return "";
    return tokenText(symbol->qualifierCode()) + " ";
}

std::string Symbol::caseLabel() const { return caseValue_ ? caseValue_->plainText() : ""; }

std::string Symbol::declaration(int resolved) const
{
    if (!type_)
        return "";
    Type* t = resolved ? type_->resolve() : type_;
    return t ? t->declarator(const_cast<Symbol*>(this)) : "";
}

namespace {

// A pointer argument that carries data in (in or inout) points at the
// caller's data: the generated helpers neither allocate nor free it. The
// test looks through typedefs, so a typedef of a pointer passed inout is
// not released once by the helper and again by svc_freeargs.
bool isInboundPointerArgument(const Symbol& symbol)
{
    if (!symbol.isParameter() || symbol.direction() == DIR_OUT)
        return false;
    Type* resolved = symbol.type()->resolve();
    return resolved && resolved->kind() == KIND_POINTER;
}

}  // namespace

std::string Symbol::mallocCode(const std::string& prefix) const
{
    if (!type_ || isInboundPointerArgument(*this))
        return "";
    return type_->mallocCode(prefix, name_);
}

std::string Symbol::freeCode(const std::string& prefix) const
{
    if (!type_ || isInboundPointerArgument(*this))
        return "";
    return type_->freeCode(prefix, name_);
}

int Symbol::collectTypes(typeList& list) const { return type_ ? type_->collectTypes(list) : 0; }

void Symbol::normalizeType()
{
    if (type_ && indirectionDepth() > 1)
        type_ = type_->normalize(0);
    openLevel_ = nullptr;
}

int Symbol::needsAllocation() const
{
    if (direction_ != DIR_OUT && direction_ != DIR_INOUT)
        return 0;
    if (!type_ || !isParameter())
        return 0;
    // The elements of an array of strings are buffers as a single string is.
    if (arrayType::holdsBuffers(type_))
        return 1;
    if (!type_->isPointerLike())
        return 0;
    Type* resolved = type_->resolve();
    if (resolved && resolved->kind() == KIND_POINTER && direction_ != DIR_OUT)
        return 0;
    return 1;
}

int Symbol::isFixedArray() const { return type_ ? type_->isFixedArray() : 0; }

std::string Symbol::copyCode(const std::string& dstPrefix, const std::string& srcPrefix) const
{
    return type_ ? type_->copyCode(dstPrefix, name_, srcPrefix, name_, 0) : "";
}

std::string Symbol::copySizeCode(const std::string& dstPrefix, const std::string& srcPrefix) const
{
    return copyCode(dstPrefix, srcPrefix);
}

namespace {

// The innermost level of `t` that lacks its element, with the number of
// levels down to it; null when every level has its element.
Type* openLevelOf(Type* t, int& depth)
{
    depth = 0;
    for (; t && isLevel(t); t = elementOf(t)) {
        ++depth;
        if (!elementOf(t))
            return t;
    }
    return nullptr;
}

}  // namespace

int Symbol::indirectionDepth() const
{
    if (openLevel_ && !elementOf(openLevel_))
        return openLevelDepth_;
    return type_ ? type_->indirectionDepth() : 0;
}

void attachBaseType(Symbol* symbol, Type* base, int chain)
{
    if (!base)
        return;
    for (Symbol* s = symbol; s; s = chain ? s->next_ : nullptr) {
        if (!s->type_) {
            s->type_ = base;
            s->openLevel_ = openLevelOf(base, s->openLevelDepth_);
        } else if (s->openLevel_ && !elementOf(s->openLevel_)) {
            // Where the walk from the outermost level would end.
            s->openLevel_->addElementType(base);
            int below = 0;
            s->openLevel_ = openLevelOf(base, below);
            s->openLevelDepth_ += below;
        } else {
            s->type_->addElementType(base);
            s->openLevel_ = nullptr;
        }
    }
}

// ---------------------------------------------------------------- symbolSet

Symbol* symbolSet::cursor::next()
{
    if (!current_)
        return nullptr;
    Symbol* symbol = current_->symbol;
    current_ = current_->next;
    return symbol;
}

Symbol* symbolSet::find(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
}

int symbolSet::add(Symbol* symbol)
{
    if (!symbol)
        return 0;
    if (!symbol->name_.empty() && !byName_.emplace(symbol->name_, symbol).second)
        return 0;
    node* added = new node{nullptr, symbol};
    if (last_) {
        last_->next = added;
    } else {
        first_ = added;
    }
    last_ = added;
    return 1;
}

void symbolSet::clear()
{
    while (first_) {
        node* next = first_->next;
        delete first_;
        first_ = next;
    }
    last_ = nullptr;
    byName_.clear();
}

void symbolSet::attachBaseType(Type* base)
{
    if (!base)
        return;
    for (node* n = first_; n; n = n->next)
        ::attachBaseType(n->symbol, base, 0);
}

void symbolSet::normalizeTypes()
{
    for (node* n = first_; n; n = n->next) {
        if (n->symbol)
            n->symbol->normalizeType();
    }
}
