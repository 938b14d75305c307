// Arrays: the bracket attributes (size, maxsize), the C declarator of fixed
// and variable-length arrays, the choice of filter, the XDR block, and the
// allocation, release and copy statements.
#include <iostream>

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

std::string boundCode(const expression* e, const std::string& p1, const std::string& p2) {
  return e->codeText(p1.empty() ? p2 : p1);
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

std::string arrayType::xdrCall(const std::string& xdrs, const std::string& prefix,
                               const std::string& name) const {
  const std::string bound = maxsizeText(prefix, name);
  const std::string count = sizeText(prefix, name);
  const int byteLike = isByteLike(eleType);
  std::string text = "\t{\n";
  if (variable) text += "\tunsigned int len; \n";
  text += joinText("\tunsigned int maxlen = ", bound, ";\n");
  if (variable) {
    // The count is taken from the data only when encoding: while decoding
    // the filter reads it from the stream, and while freeing the operands
    // of the size expression may not be valid (a null string). Freeing
    // needs the count only for elements that own memory of their own, and
    // only when there is an array to free.
    // A null array codes as an empty one (a zeroed record, sent as an early
    // reply, holds null buffers whatever its size expressions say).
    const std::string array = prefix.empty() ? "*" + name : prefix + name;
    const std::string guardedCount = joinText(array, " == 0 ? 0 : ", count);
    if (byteLike || !mayOwnMemory(eleType)) {
      text += joinText("\tif(", xdrs, "->x_op == XDR_ENCODE)\n", "\t\tlen = ", guardedCount, ";\n");
    } else {
      text += joinText("\tif(", xdrs, "->x_op == XDR_ENCODE || (", xdrs, "->x_op == XDR_FREE && ",
                       array, " != 0))\n", "\t\tlen = ", guardedCount, ";\n");
    }
    text += "\telse\n\t\tlen = 0;\n";
  } else if (size) {
    text += joinText("\tmaxlen = ", count, ";\n", "\tif(!xdr_u_int(", xdrs, ", &maxlen))\n",
                     "\t\treturn 0;\n");
    // The array has room for its bound's worth of elements: a larger count,
    // from the stream or from the data, is refused.
    text += joinText("\tif(maxlen > ", bound, ")\n", "\t\treturn 0;\n");
  }
  text += joinText("\tif(!", xdrRoutineName(), "(", xdrs, variable ? ", (char**)" : ", (char*)",
                   (variable && !prefix.empty()) ? "&" : "", prefix, name, ", ",
                   variable ? "&len, " : "", "maxlen");
  if (!byteLike)
    text += joinText(",", " sizeof(", generatedTypeText(eleType), "), ", "(xdrproc_t)",
                     eleType ? eleType->xdrRoutineName() : "");
  text += "))\n\t\treturn 0;\n";
  // In an argument record the size variables are decoded before the
  // arrays: an array that brings fewer elements than its size says is
  // refused, so that no copy by that size reads past what was decoded.
  if (checkDecodedCounts && (variable || size))
    text += joinText("\tif(", xdrs, "->x_op == XDR_DECODE && ", variable ? "len" : "maxlen",
                     " < (unsigned int)(", count, "))\n", "\t\treturn 0;\n");
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
  const std::string v = prefix + name;
  std::string text;
  // Elements that own memory (strings, lists) are released through their
  // own routine first; the count is the server's, bounded by the buffer.
  if (eleType && !isByteLike(eleType) && mayOwnMemory(eleType)) {
    text = joinText("\tif(", v, ") {\n", "\t\tunsigned int i;\n", "\t\tfor(i = 0; i < (unsigned int)(",
                    sizeText(prefix, name), ") && i < (unsigned int)(", maxsizeText(prefix, name),
                    "); i++)\n", "\t\t\txdr_free((xdrproc_t)", eleType->xdrRoutineName(),
                    ", (char*)&", v, "[i]);\n", "\t}\n");
  }
  return text + joinText("\t", "free(", v, ");", "\n");
}

std::string arrayType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                const std::string& srcPrefix, const std::string& srcName,
                                int) const {
  FATAL_IF(size==0&&maxsize==0);
  FATAL_IF(eleType==0);
  // The element is named by its C type text: a tagged struct needs its
  // keyword inside sizeof.
  // Never more than the destination holds, whatever the count says.
  const std::string count = joinText("(unsigned int)(", sizeText(srcPrefix, srcName), ")");
  const std::string bound = joinText("(unsigned int)(", maxsizeText(dstPrefix, dstName), ")");
  return joinText("\t", "memcpy(", dstPrefix, dstName, ", ", srcPrefix, srcName, ", ",
                  "(", count, " < ", bound, " ? ", count, " : ", bound, ")", " * sizeof(",
                  generatedTypeText(eleType), "));", "\n");
}
