// Arrays: the bracket attributes (size, maxsize), the C declarator of fixed
// and variable-length arrays, the choice of filter, the XDR block, and the
// allocation, release and copy statements.
#include <iostream>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/fatal.h"
#include "model/property.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"

void arrayType::applyAttributes(property* head) {
  for (property* attribute = head; attribute; attribute = attribute->next()) applyAttribute(attribute);
}

void arrayType::applyAttribute(property* attribute) {
  if (!attribute) return;
  const std::string& name = attribute->name();
  if (name == "size" || name == "maxsize") {
    expression*& slot = name == "size" ? size : maxsize;
    if (slot) {
      reportError() << " " << name << " redefined for array!\n";
    } else if (attribute->value()) {
      slot = attribute->value();
    } else {
      std::cerr << "Size variable not found\n";
    }
    return;
  }
  reportError() << " unkonwn array modifier " << name << "\n";
}

namespace {

// With a member prefix, `this` is the address of the member itself (so that
// "strlen(*this)" reads the member's string); without one, as in the routine
// of a typedef, the variable's own name, a pointer to the value, stands for it.
std::string boundCode(const expression* e, const std::string& p1, const std::string& p2) {
  if (p1.empty()) return e->codeText(p2);
  return e->codeText(p1, "(&" + p1 + p2 + ")");
}

// Element types whose XDR filter is one of the byte filters.
int isByteLike(const Type* element) {
  return element && (element->isVoid() || element->isByte() || element->isChar());
}

}  // namespace

std::string arrayType::sizeText(const std::string& p1, const std::string& p2) const {
  if (size) return boundCode(size, p1, p2);
  if (maxsize) return maxsizeText(p1, p2);
  std::cerr << "No size specified for array " << p1 << p2 << "\n";
  return "";
}

std::string arrayType::maxsizeText(const std::string& p1, const std::string& p2) const {
  if (maxsize) return boundCode(maxsize, p1, p2);
  return sizeText(p1, p2);
}

void arrayType::collectSizeVars(symbolSet& vars) const {
  if (size) size->collectVars(vars);
  if (maxsize) maxsize->collectVars(vars);
}

std::string arrayType::declarator(Symbol* symbol) const {
  const std::string v = symbol->name();
  if (variable) return joinText(keywordPrefix(symbol), generatedPointerText(eleType), " ", v);
  if (!maxsize) {
    reportError() << "fixed size not specified for array " << v << "\n";
    return "";
  }
  if (!maxsize->isConstant()) {
    reportError() << " max size for array " << v << " is not a constant expression\n";
    return "";
  }
  return joinText(keywordPrefix(symbol), generatedTypeText(eleType), " ", v, "[",
                  maxsizeText("", v), "]");
}

// Arrays never stand in a type list; the signature names the filter.
std::string arrayType::xdrSignature() const {
  return joinText(xdrRoutineName(), "(XDR*, ", generatedPointerText(eleType), ")");
}

std::string arrayType::xdrRoutineName() const {
  if (!eleType) return "";
  if (eleType->isVoid() && !variable) {
    reportError() << " invalid type: array of void" << "\n";
    return "";
  }
  if (isByteLike(eleType)) return variable ? "xdr_bytes" : "xdr_opaque";
  return variable ? "xdr_array" : "xdr_vector";
}

namespace {

// The array variable behind a prefix; a whole variable (a typedef's routine
// parameter) is a pointer to it.
std::string arrayLvalue(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? "*" + name : prefix + name;
}

// The size of one element in generated code: byte-like elements (void
// included) count one byte each.
std::string elementSize(const Type* element) {
  return isByteLike(element) ? "1" : joinText("sizeof(", generatedTypeText(element), ")");
}

}  // namespace

std::string arrayType::xdrCall(const std::string& xdrs, const std::string& prefix,
                               const std::string& name) const {
  const std::string bound = maxsizeText(prefix, name);
  const int byteLike = isByteLike(eleType);
  std::string text = "\t{\n";
  if (variable) text += "\tunsigned int len; \n";
  text += joinText("\tunsigned int maxlen = ", bound, ";\n");
  if (variable) {
    // The count is read from the data only when encoding, and a null array
    // codes as an empty one (a zeroed record sent as an early reply holds
    // null buffers whatever its size expressions say). When decoding the
    // filter reads the count from the stream; when freeing, the operands of
    // the size expression need not be valid (a null string), so the walk
    // over elements that own memory covers the bound's worth that decoding
    // gave the array (below).
    const std::string array = arrayLvalue(prefix, name);
    text += joinText("\tif(", xdrs, "->x_op == XDR_ENCODE)\n", "\t\tlen = ", array, " == 0 ? 0 : ",
                     sizeText(prefix, name), ";\n", "\telse\n", "\t\tlen = ",
                     !byteLike && mayOwnMemory(eleType) ? "maxlen" : "0", ";\n");
    // Decoding fills storage of the bound's worth of zeroed elements and one
    // more: whatever count the sender gives, a count or bound evaluated over
    // the decoded data (a copy, a strlen over a string) stays inside it.
    text += joinText("\tif(", xdrs, "->x_op == XDR_DECODE && ", array, " == 0 && maxlen > 0) {\n",
                     "\t\t", array, " = (", generatedPointerText(eleType), ") calloc((size_t)maxlen + 1, ",
                     elementSize(eleType), ");\n", "\t\tif(", array, " == 0)\n", "\t\t\treturn 0;\n",
                     "\t}\n");
  } else if (size) {
    // The count travels ahead of the elements. It is read from the data only
    // when encoding; the array has room for its bound's worth of elements,
    // so a larger count, from the stream or from the data, is refused.
    text += joinText("\tif(", xdrs, "->x_op == XDR_ENCODE)\n", "\t\tmaxlen = ", sizeText(prefix, name),
                     ";\n", "\tif(!xdr_u_int(", xdrs, ", &maxlen))\n", "\t\treturn 0;\n",
                     "\tif(maxlen > ", bound, ")\n", "\t\treturn 0;\n");
  }
  text += joinText("\tif(!", xdrRoutineName(), "(", xdrs, variable ? ", (char**)" : ", (char*)",
                   (variable && !prefix.empty()) ? "&" : "", prefix, name, ", ",
                   variable ? "&len, " : "", "maxlen");
  if (!byteLike)
    text += joinText(",", " sizeof(", generatedTypeText(eleType), "), ", "(xdrproc_t)",
                     eleType ? eleType->xdrRoutineName() : "");
  text += "))\n\t\treturn 0;\n";
  // In an argument record the size variables are decoded before the arrays:
  // an array that brings fewer elements than its size says is refused, so
  // that neither a copy nor the server procedure reads past what was
  // decoded. (The size is then evaluated over decoded data, which the
  // decoded storage keeps inside bounds.) A fixed array is left out: its
  // size is evaluated over its own fixed storage, which a sender may fill
  // without a terminator, and its copies take the bound.
  if (checkDecodedCounts && variable && size)
    text += joinText("\tif(", xdrs, "->x_op == XDR_DECODE && len < (unsigned int)(", sizeText(prefix, name),
                     "))\n", "\t\treturn 0;\n");
  text += "\t}\n";
  return text;
}

namespace {

std::string allocationSize(const arrayType* array, const std::string& prefix,
                           const std::string& name) {
  std::string bytes = array->maxsizeText(prefix, name);
  if (!isByteLike(array->eleType))
    bytes += joinText(" * sizeof(", generatedTypeText(array->eleType), ")");
  return bytes;
}

}  // namespace

std::string arrayType::mallocCode(const std::string& prefix, const std::string& name) const {
  if (isReturnMember(name) || !variable) return "";
  const std::string v = prefix + name;
  const std::string bytes = allocationSize(this, prefix, name);
  return joinText("\t", v, " = (", generatedPointerText(eleType), ") malloc(", bytes, ");", "\n",
                  "\tMEM_ASSERT(", v, ");", "\n", "\tmemset(", v, ", 0, ", bytes, ");", "\n");
}

std::string arrayType::freeCode(const std::string& prefix, const std::string& name) const {
  if (!variable || isReturnMember(name)) return "";
  return arrayReleaseCode(this, prefix, name, 1);
}

std::string arrayReleaseCode(const arrayType* array, const std::string& prefix,
                             const std::string& name, int releaseElements) {
  const std::string v = prefix + name;
  std::string text;
  // Elements that own memory (strings, lists) are released through their
  // own routine first. The allocation function gave the buffer the bound's
  // worth of zeroed elements, so the walk covers the bound and reads no
  // count that the data may have left invalid.
  const Type* element = array->eleType;
  if (releaseElements && element && !isByteLike(element) && mayOwnMemory(element)) {
    text = joinText("\tif(", v, ") {\n", "\t\tunsigned int i;\n", "\t\tunsigned int n = ",
                    array->maxsizeText(prefix, name), ";\n", "\t\tfor(i = 0; i < n; i++)\n",
                    "\t\t\txdr_free((xdrproc_t)", element->xdrRoutineName(), ", (char*)&", v, "[i]);\n",
                    "\t}\n");
  }
  return text + joinText("\t", "free(", v, ");", "\n");
}

std::string arrayType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                const std::string& srcPrefix, const std::string& srcName,
                                int) const {
  FATAL_IF(size==0&&maxsize==0);
  FATAL_IF(eleType==0);
  // Never more than the destination holds, whatever the count from the wire
  // says. A fixed array holds its bound's worth on both sides and is copied
  // whole, so no count is evaluated over its storage; a variable-length one
  // copies the count, at most the destination's bound, between buffers that
  // both exist. The element size comes from the C type text: a tagged
  // struct needs its keyword inside sizeof.
  const std::string dst = dstPrefix + dstName;
  const std::string src = srcPrefix + srcName;
  const std::string destinationBound = maxsizeText(dstPrefix, dstName);
  if (!variable)
    return joinText("\tmemcpy(", dst, ", ", src, ", ", destinationBound, " * ", elementSize(eleType), ");\n");
  const std::string count = joinText("(unsigned int)(", sizeText(srcPrefix, srcName), ")");
  const std::string limit = joinText("(unsigned int)(", destinationBound, ")");
  return joinText("\tif(", dst, " != 0 && ", src, " != 0)\n", "\t\tmemcpy(", dst, ", ", src, ", (", count,
                  " < ", limit, " ? ", count, " : ", limit, ") * ", elementSize(eleType), ");\n");
}
