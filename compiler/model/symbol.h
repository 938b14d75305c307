// Symbols (one named member, arm, argument, declarator or variable) and
// symbol sets (ordered sets of Symbols, unique by non-empty name).
#ifndef VELORIN_MODEL_SYMBOL_H
#define VELORIN_MODEL_SYMBOL_H

#include <ostream>
#include <string>
#include <unordered_map>

#include "model/codes.h"

class Type;
class expression;
class typeList;

class Symbol {
 public:
  Symbol(const std::string& name, int scopeLevel);

  // The name (a copy).
  std::string name() const { return name_; }
  int scopeLevel() const { return scopeLevel_; }
  Type* type() const { return type_; }
  // The type's number of pointer and array levels (Type::indirectionDepth),
  // 0 without type. While a declarator is being built level by level this
  // is answered without walking its levels.
  int indirectionDepth() const;

  // Argument direction: DIR_IN (the default), DIR_INOUT or DIR_OUT.
  int direction() const { return direction_; }
  void setDirection(int direction) { direction_ = direction; }

  // Scanner line of the declarator.
  int line() const { return line_; }
  void setLine(int line) { line_ = line; }

  // CODE_CONST, CODE_VOLATILE or CODE_NONE.
  int qualifierCode() const { return qualifierCode_; }
  void setQualifierCode(int code) { qualifierCode_ = code; }

  // While 0, keywordPrefix leaves the qualifier out.
  int showQualifier() const { return showQualifier_; }
  void setShowQualifier(int show) { showQualifier_ = show; }

  // Set for every procedure parameter.
  void markParameter() { parameter_ = 1; }
  int isParameter() const { return parameter_ == 1; }

  // Case value of an arm of a discriminated union.
  expression* caseValue() const { return caseValue_; }
  void setCaseValue(expression* value) { caseValue_ = value; }

  // Next declarator of the same declaration (followed by attachBaseType
  // with the chain flag).
  Symbol* next() const { return next_; }
  void setNext(Symbol* next) { next_ = next; }

  // The XDR statement that codes this member or argument: its
  // type's xdrCall with the stream name, the prefix and the Symbol's name.
  virtual std::string xdrCall(const std::string& xdrs, const std::string& prefix) const;

  // Case label of an arm: plain text of the case value, "" without one.
  std::string caseLabel() const;
  // C declaration of the Symbol: its type's (or, when `resolved` is not 0,
  // its resolved type's) declarator; "" without type.
  std::string declaration(int resolved) const;
  // Allocation and release statements of this member behind `prefix`; ""
  // for a pointer argument that carries data in (in or inout).
  std::string mallocCode(const std::string& prefix) const;
  std::string freeCode(const std::string& prefix) const;
  // Collects the types of this Symbol's type into `list`; the number added.
  int collectTypes(typeList& list) const;
  // Normalises a type of more than one pointer or array level.
  void normalizeType();

  // 1 when this out or inout argument needs storage allocated on the server.
  int needsAllocation() const;
  // Type::isFixedArray of the type; 0 without type.
  int isFixedArray() const;
  // Statement copying this member from the argument record (srcPrefix) to
  // the result record (dstPrefix); "" without type. copySizeCode is used for
  // the size variables and gives the same text.
  std::string copyCode(const std::string& dstPrefix, const std::string& srcPrefix) const;
  std::string copySizeCode(const std::string& dstPrefix, const std::string& srcPrefix) const;

 private:
  friend void attachBaseType(Symbol* symbol, Type* base, int chain);
  friend class symbolSet;

  std::string name_;
  int scopeLevel_;
  int direction_ = DIR_IN;
  int line_ = 0;
  int qualifierCode_ = CODE_NONE;
  int showQualifier_ = 1;
  Symbol* next_ = nullptr;
  Type* type_ = nullptr;
  // The innermost level of the type that still lacks its element, as the
  // last attachBaseType left it, and the number of levels down to it
  // (inclusive): each level a declarator gets is attached there at once.
  // Trusted only while that level still lacks its element.
  Type* openLevel_ = nullptr;
  int openLevelDepth_ = 0;
  int parameter_ = CODE_NONE;
  expression* caseValue_ = nullptr;
};

// Writes the Symbol's name.
std::ostream& operator<<(std::ostream& out, const Symbol& symbol);

// "const " or "volatile " for a qualified declarator whose qualifier is
// shown; "" otherwise.
std::string keywordPrefix(const Symbol* symbol);

// Gives a declarator its base type: as its type when it has none, else at
// the innermost pointer or array level. With `chain` set, also every Symbol
// reached through next(). A null base changes nothing.
void attachBaseType(Symbol* symbol, Type* base, int chain);

// Ordered set of Symbols: the order of successful additions; a Symbol whose
// non-empty name is already present is refused. The set owns its nodes, not
// the Symbols. Names are looked up in an index beside the list, so building
// a set of n Symbols takes time linear in n; a Symbol's name never changes.
class symbolSet {
 public:
  struct node {
    node* next;
    Symbol* symbol;
  };

  // Walks a set in order: next() gives each Symbol, then null.
  class cursor {
   public:
    explicit cursor(const node* first) : current_(first) {}
    Symbol* next();
   private:
    const node* current_;
  };

  symbolSet() = default;
  ~symbolSet() { clear(); }
  symbolSet(const symbolSet&) = delete;
  symbolSet& operator=(const symbolSet&) = delete;

  // The first Symbol of that name; the empty name never matches.
  Symbol* find(const std::string& name) const;
  // 1 when appended; 0 for null or a name already present.
  int add(Symbol* symbol);
  // Frees every node; the Symbols stay.
  void clear();
  // attachBaseType without chain for every Symbol, in order.
  void attachBaseType(Type* base);
  // Symbol::normalizeType for every Symbol, in order.
  void normalizeTypes();
  // 1 when the set holds no Symbol.
  int isEmpty() const { return first_ == nullptr; }

  // Iteration from the first Symbol; an empty cursor for a null set.
  static cursor begin(const symbolSet* set) { return cursor(set ? set->first_ : nullptr); }

 private:
  node* first_ = nullptr;
  node* last_ = nullptr;
  std::unordered_map<std::string, Symbol*> byName_;  // every non-empty name in the set
};

#endif
