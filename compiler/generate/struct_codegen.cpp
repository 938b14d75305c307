// Struct routines: the XDR routine of a struct, C union or argument record,
// and the allocation and release functions of a result record.
#include <ostream>

#include "generate/codegen_support.h"
#include "model/type.h"
#include "output/emit.h"

std::string classType::emitXdrRoutine(std::ostream& out) {
  const std::string p = "p" + name();
  std::string text = joinText("\nbool_t ", xdrRoutineName(), "(XDR*xdrp, ", generatedPointerText(this),
                              " ", p, "){", "\n\n");
  indentMore();
  if (keyword() == CODE_UNION) {
    // A C union has no discriminant: it travels as its raw bytes.
    text += joinText("\tif(!xdr_opaque(xdrp, (char*)", p, ", sizeof(*", p, ")))", "\n",
                     "\t\treturn 0;", "\n");
  } else {
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next()) text += member->xdrCall("xdrp", p + "->");
  }
  indentLess();
  text += joinText("\n\treturn 1;", "\n", "}", "\n\n");
  emit(out, text);
  return text;
}

std::string classType::emitMallocHelper(std::ostream& out) {
  std::string text = joinText(mallocHelperPrototype(this), "{", "\n");
  symbolSet::cursor walk = symbolSet::begin(&members);
  while (Symbol* member = walk.next()) text += member->mallocCode("pVar->");
  text += joinText("\treturn (1);", "\n", "}", "\n\n\n");
  emit(out, text);
  return text;
}

std::string classType::emitFreeHelper(std::ostream& out) {
  std::string text = joinText(freeHelperPrototype(this), "{", "\n");
  symbolSet::cursor walk = symbolSet::begin(&members);
  while (Symbol* member = walk.next()) text += member->freeCode("pVar->");
  text += joinText("\treturn;", "\n", "}", "\n\n\n");
  emit(out, text);
  return text;
}
