// Member statements and discriminated unions: a member is coded by its
// type's statement; a discriminated union by a switch over its
// discriminant that codes the one arm whose case value it holds.
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/fatal.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"

std::string Symbol::xdrCall(const std::string& xdrs, const std::string& prefix) const {
  return type_ ? type_->xdrCall(xdrs, prefix, name_) : "";
}

std::string unionType::xdrCall(const std::string& xdrs, const std::string& prefix,
                               const std::string& name) const {
  FATAL_IF(switch_exp==0);
  const std::string armPrefix = name.empty() ? prefix : prefix + name + ".";
  std::string text = joinText("\tswitch(", switch_exp->codeText(prefix), ") {\n");
  symbolSet::cursor walk = symbolSet::begin(&arms);
  while (Symbol* arm = walk.next()) {
    text += joinText("\tcase ", arm->caseLabel(), ":\n");
    indentMore();
    text += arm->xdrCall(xdrs, armPrefix);
    indentLess();
    text += "\t\tbreak;\n\n";
  }
  text += "\t\tdefault:;\n\t}\n";
  return text;
}
