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
    symbolSet codedBefore;
    symbolSet::cursor walk = symbolSet::begin(&members);
    while (Symbol* member = walk.next()) {
      text += memberXdrCode(member, "xdrp", p + "->", codedBefore);
      codedBefore.add(member);
    }
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

namespace {

// The release statements of one result-record member. An inout array was
// filled by copying the decoded argument's elements, so what those elements
// own belongs to the argument record (released with it after the call):
// only the buffer itself is freed here.
std::string memberReleaseCode(const Symbol* member) {
  Type* resolved = member->type() ? member->type()->resolve() : nullptr;
  if (member->isParameter() && member->direction() == DIR_INOUT && resolved &&
      resolved->kind() == KIND_ARRAY && member->type()->isPointerLike() &&
      !isReturnMember(member->name()))
    return arrayReleaseCode(static_cast<arrayType*>(resolved), "pVar->", member->name(), 0);
  return member->freeCode("pVar->");
}

}  // namespace

std::string classType::emitFreeHelper(std::ostream& out) {
  std::string text = joinText(freeHelperPrototype(this), "{", "\n");
  symbolSet::cursor walk = symbolSet::begin(&members);
  while (Symbol* member = walk.next()) text += memberReleaseCode(member);
  text += joinText("\treturn;", "\n", "}", "\n\n\n");
  emit(out, text);
  return text;
}
