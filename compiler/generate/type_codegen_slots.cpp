// Plain bodies of the code-generation operations of the type classes:
// declarations, XDR routines and calls, allocation, release and copy
// statements. The type generators replace them with the generated code.
#include <ostream>
#include <string>

#include "model/expression.h"
#include "model/property.h"
#include "model/symbol.h"
#include "model/type.h"

// ---------------------------------------------------------------- Type

std::string Type::declarator(Symbol*) const { return ""; }
std::string Type::xdrSignature() const { return ""; }
std::string Type::freeMacro() const { return ""; }
std::string Type::xdrCall(const std::string&, const std::string&, const std::string&) const {
  return "";
}
std::string Type::mallocCode(const std::string&, const std::string&) const { return ""; }
std::string Type::freeCode(const std::string&, const std::string&) const { return ""; }

std::string Type::copyCode(const std::string& dstPrefix, const std::string& dstName,
                           const std::string& srcPrefix, const std::string& srcName, int) const {
  return "\t" + dstPrefix + dstName + " = " + srcPrefix + srcName + ";\n";
}

std::string Type::xdrRoutineName() const { return "xdr_" + name(); }
std::string Type::emitDeclaration(std::ostream&) { return ""; }
std::string Type::emitXdrRoutine(std::ostream&) { return ""; }

// ---------------------------------------------------------------- primType

std::string primType::freeMacro() const { return ""; }
std::string primType::xdrRoutineName() const { return "xdr_" + name(); }

// ---------------------------------------------------------------- typedefType

std::string typedefType::mallocCode(const std::string& prefix, const std::string& name) const {
  return aliased() ? aliased()->mallocCode(prefix, name) : "";
}

std::string typedefType::freeCode(const std::string& prefix, const std::string& name) const {
  return aliased() ? aliased()->freeCode(prefix, name) : "";
}

std::string typedefType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                  const std::string& srcPrefix, const std::string& srcName,
                                  int flag) const {
  return aliased() ? aliased()->copyCode(dstPrefix, dstName, srcPrefix, srcName, flag) : "";
}

std::string typedefType::emitDeclaration(std::ostream&) { return ""; }
std::string typedefType::emitXdrRoutine(std::ostream&) { return ""; }

// ---------------------------------------------------------------- refType

std::string refType::xdrSignature() const { return ""; }
std::string refType::freeMacro() const { return ""; }
std::string refType::xdrCall(const std::string&, const std::string&, const std::string&) const {
  return "";
}
std::string refType::mallocCode(const std::string&, const std::string&) const { return ""; }
std::string refType::freeCode(const std::string&, const std::string&) const { return ""; }
std::string refType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                              const std::string& srcPrefix, const std::string& srcName,
                              int flag) const {
  return Type::copyCode(dstPrefix, dstName, srcPrefix, srcName, flag);
}
std::string refType::xdrRoutineName() const { return "xdr_pointer"; }

// ---------------------------------------------------------------- arrayType

std::string arrayType::declarator(Symbol*) const { return ""; }
std::string arrayType::xdrSignature() const { return ""; }
std::string arrayType::freeMacro() const { return ""; }
std::string arrayType::xdrCall(const std::string&, const std::string&, const std::string&) const {
  return "";
}
std::string arrayType::mallocCode(const std::string&, const std::string&) const { return ""; }
std::string arrayType::freeCode(const std::string&, const std::string&) const { return ""; }
std::string arrayType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                const std::string& srcPrefix, const std::string& srcName,
                                int flag) const {
  return Type::copyCode(dstPrefix, dstName, srcPrefix, srcName, flag);
}
std::string arrayType::xdrRoutineName() const { return ""; }

void arrayType::applyAttributes(property* head) {
  for (property* p = head; p; p = p->next()) applyAttribute(p);
}

void arrayType::applyAttribute(property* attribute) {
  if (!attribute) return;
  if (attribute->name() == "size" && !size) size = attribute->value();
  if (attribute->name() == "maxsize" && !maxsize) maxsize = attribute->value();
}

std::string arrayType::sizeText(const std::string& p1, const std::string& p2) const {
  if (size) return size->codeText(p1.empty() ? p2 : p1);
  if (maxsize) return maxsize->codeText(p1.empty() ? p2 : p1);
  return "";
}

std::string arrayType::maxsizeText(const std::string& p1, const std::string& p2) const {
  if (maxsize) return maxsize->codeText(p1.empty() ? p2 : p1);
  return sizeText(p1, p2);
}

void arrayType::collectSizeVars(symbolSet& vars) const {
  if (size) size->collectVars(vars);
  if (maxsize) maxsize->collectVars(vars);
}

// ---------------------------------------------------------------- unionType

std::string unionType::declarator(Symbol*) const { return ""; }
std::string unionType::freeMacro() const { return ""; }
std::string unionType::xdrCall(const std::string&, const std::string&, const std::string&) const {
  return "";
}
std::string unionType::xdrRoutineName() const { return ""; }

// ---------------------------------------------------------------- classType

std::string classType::xdrSignature() const { return ""; }
std::string classType::xdrRoutineName() const { return "xdr_" + name(); }
std::string classType::emitDeclaration(std::ostream&) { return ""; }
std::string classType::emitXdrRoutine(std::ostream&) { return ""; }
std::string classType::emitMallocHelper(std::ostream&) { return ""; }
std::string classType::emitFreeHelper(std::ostream&) { return ""; }

// ---------------------------------------------------------------- Symbol

std::string Symbol::xdrCall(const std::string& xdrs, const std::string& prefix) const {
  return type() ? type()->xdrCall(xdrs, prefix, name()) : "";
}
