// Arrays: the bracket attributes (size, maxsize), the C declarator of fixed
// and variable-length arrays, the choice of filter, the XDR block, and the
// allocation, release and copy statements.
#include <iostream>

#include "diagnostics/error_report.h"
#include "generate/codegen_support.h"
#include "model/expression.h"
#include "model/fatal.h"
#include "model/generated_identifiers.h"
#include "model/property.h"
#include "model/symbol.h"
#include "model/type.h"
#include "output/emit.h"
#include "output/output_files.h"

void arrayType::applyAttributes(property* head)
{
    for (property* attribute = head; attribute; attribute = attribute->next())
        applyAttribute(attribute);
}

void arrayType::applyAttribute(property* attribute)
{
    if (!attribute)
        return;
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
std::string boundCode(const expression* e, const std::string& p1, const std::string& p2)
{
    if (p1.empty())
        return e->codeText(p2);
    return e->codeText(p1, "(&" + p1 + p2 + ")");
}

// The same as a 64-bit size.
std::string sizeValueCode(const expression* e, const std::string& p1, const std::string& p2)
{
    if (p1.empty())
        return e->sizeCodeText(p2);
    return e->sizeCodeText(p1, "(&" + p1 + p2 + ")");
}

// Element types whose XDR filter is one of the byte filters.
int isByteLike(const Type* element)
{
    return element && (element->isVoid() || element->isByte() || element->isChar());
}

}  // namespace

std::string arrayType::sizeText(const std::string& p1, const std::string& p2) const
{
    if (size)
        return boundCode(size, p1, p2);
    if (maxsize)
        return maxsizeText(p1, p2);
    std::cerr << "No size specified for array " << p1 << p2 << "\n";
    return "";
}

std::string arrayType::maxsizeText(const std::string& p1, const std::string& p2) const
{
    if (maxsize)
        return boundCode(maxsize, p1, p2);
    return sizeText(p1, p2);
}

void arrayType::collectSizeVars(symbolSet& vars) const
{
    if (size)
        size->collectVars(vars);
    if (maxsize)
        maxsize->collectVars(vars);
}

std::string arrayType::declarator(Symbol* symbol) const
{
    const std::string v = symbol->name();
    if (variable && readsOwnData(maxsize ? maxsize : size)) {
        // The bound sizes storage before the data is there: a bound read from
        // the array itself would be measured over no data at all.
        reportError() << " array " << v << " is bounded by its own data: give it a maxsize.\n";
        return "";
    }
    if (variable)
        return joinText(keywordPrefix(symbol), generatedPointerText(eleType), " ", v);
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
std::string arrayType::xdrSignature() const
{
    return joinText(xdrRoutineName(), "(XDR*, ", generatedPointerText(eleType), ")");
}

std::string arrayType::xdrRoutineName() const
{
    if (!eleType)
        return "";
    if (eleType->isVoid() && !variable) {
        reportError() << " invalid type: array of void"
                      << "\n";
        return "";
    }
    if (isByteLike(eleType))
        return variable ? "xdr_bytes" : "xdr_opaque";
    return variable ? "xdr_array" : "xdr_vector";
}

namespace {

// The array variable behind a prefix; a whole variable (a typedef's routine
// parameter) is a pointer to it.
std::string arrayLvalue(const std::string& prefix, const std::string& name)
{
    return prefix.empty() ? "*" + name : prefix + name;
}

// The size of one element in generated code: byte-like elements (void
// included) count one byte each.
std::string elementSize(const Type* element)
{
    return isByteLike(element) ? "1" : joinText("sizeof(", generatedTypeText(element), ")");
}

// The element filter an array block hands to the helpers: none for bytes.
std::string elementFilter(const Type* element)
{
    if (isByteLike(element))
        return "(xdrproc_t)0";
    return joinText("(xdrproc_t)", element ? element->xdrRoutineName() : "");
}

// The trailing arguments of xdr_array and xdr_vector; bytes have none.
std::string elementArguments(const Type* element)
{
    if (isByteLike(element))
        return "";
    return joinText(", sizeof(", generatedTypeText(element), "), ", elementFilter(element));
}

// Bytes whose count is measured over their own data: a string, which must
// hold its terminator before anything measures it.
int isSelfMeasured(const arrayType* array)
{
    return isByteLike(array->eleType) && readsOwnData(array->size);
}

// The expression that gives the array's size: an array without one holds
// its bound's worth, which is what encoding sends.
const expression* sizeExpression(const arrayType* array)
{
    return array->size ? array->size : array->maxsize;
}

// 1 when the size can be evaluated right after the array was decoded: every
// variable it names was coded before it in the same routine. A size of the
// array's own data alone (a string's length) or a constant always can.
int sizeIsDecodedBefore(const arrayType* array, const arrayCoding& coding)
{
    if (!sizeExpression(array))
        return 0;
    symbolSet variables;
    sizeExpression(array)->collectVars(variables);
    symbolSet::cursor walk = symbolSet::begin(&variables);
    while (Symbol* variable = walk.next())
        if (!coding.codedBefore || !coding.codedBefore->find(variable->name()))
            return 0;
    return 1;
}

// 1 for a variable-length array without size: it holds its bound's worth,
// and a count of 0 is how its null value travels.
int isBoundSized(const arrayType* array)
{
    return array->variable && !array->size && array->maxsize;
}

// The test that refuses a size evaluated over decoded data whose count is
// `count`: it may not exceed what arrived, and where the elements own
// memory it must equal it, since freeing walks the size. A string's length
// must equal it too: a peer measures the string it sends, and bytes behind
// an early terminator would be lost when the value is sent on. A
// variable-length string of count 0 is how a null string travels: it
// decodes as empty; a bound-sized array of count 0 decodes as null.
std::string sizeRefusalTest(const arrayType* array, const std::string& prefix,
                            const std::string& name, const std::string& count)
{
    const char* comparison = mayOwnMemory(array->eleType) || isSelfMeasured(array) ? " != " : " > ";
    const std::string test = joinText(arraySizeValue(array, prefix, name), comparison, count);
    const int nullTravelsEmpty = (isSelfMeasured(array) && array->variable) || isBoundSized(array);
    return nullTravelsEmpty ? joinText("(", count, " != 0 && ", test, ")") : test;
}

// A bound-sized array that arrived empty is null, as it was sent: storage
// decoding allocated for it would be taken for the bound's worth.
const char* const kEmptyIsNull =
    "${tabs}if($decoding$count == 0 && $fresh)\n"
    "$tabs\t$release((char**)$address, 0, $elementSize, $elementFilter);\n";

// That statement, inside the decoding branch of the array's block or, with
// `xdrs`, after the record's members.
std::string emptyIsNullStatement(const arrayType* array, const std::string& xdrs,
                                 const std::string& address, const std::string& count,
                                 const std::string& fresh)
{
    if (!isBoundSized(array))
        return "";
    return fillTemplate(kEmptyIsNull,
                        {{"tabs", xdrs.empty() ? "\t\t" : "\t"},
                         {"decoding", xdrs.empty() ? "" : xdrs + "->x_op == XDR_DECODE && "},
                         {"count", count},
                         {"fresh", fresh},
                         {"release", elementReleaseFunction},
                         {"address", address},
                         {"elementSize", elementSize(array->eleType)},
                         {"elementFilter", elementFilter(array->eleType)}});
}

// The test, over freshly decoded data whose count is `count`, that refuses
// the value: a string must hold its terminator, and a size made of what was
// decoded so far must agree with the count.
std::string decodedValueRefusal(const arrayType* array, const std::string& prefix,
                                const std::string& name, const std::string& bytes,
                                const std::string& count, const std::string& room,
                                const arrayCoding& coding)
{
    std::string test;
    if (isSelfMeasured(array))
        test = joinText("!", terminatedFunction, "((char*)", bytes, ", ", count, ", ", room, ")");
    if (sizeIsDecodedBefore(array, coding))
        test += joinText(test.empty() ? "" : " || ", sizeRefusalTest(array, prefix, name, count));
    return test;
}

// Keeps the count an array travelled with for a check after its block.
std::string keptCountStatement(const arrayType* array, const arrayCoding& coding)
{
    if (coding.decodedCount.empty())
        return "";
    return joinText("\t", coding.decodedCount, " = ", array->variable ? "len" : "maxlen", ";\n");
}

// The block of a variable-length array. Encoding sends the size the data
// gives (a null array as an empty one); freeing walks only as many elements
// as the size names, within the bound, and only where they own memory;
// decoding reads the count, allocates as the elements arrive and refuses a
// value that disagrees with its own size, releasing what it allocated.
const char* const kVariableBlock =
    "\t{\n"
    "\tunsigned int len; \n"
    "\tunsigned int maxlen = $clamp($bound, $limit);\n"
    "\tif($xdrs->x_op == XDR_DECODE) {\n"
    "$fresh"
    "\t\tif(!xdr_u_int($xdrs, &len) || len > maxlen)\n"
    "\t\t\treturn 0;\n"
    "\t\tif(!$decode($xdrs, (char**)$address, len, $elementSize, $elementFilter))\n"
    "\t\t\treturn 0;\n"
    "$refusal"
    "\t} else {\n"
    "\t\tlen = $freeCount;\n"
    "\t\tif($xdrs->x_op == XDR_ENCODE && !$fits($array == 0 ? 0 : $size, maxlen, &len))\n"
    "\t\t\treturn 0;\n"
    "\t\tif(!$filter($xdrs, (char**)$address, &len, maxlen$elementArguments))\n"
    "\t\t\treturn 0;\n"
    "\t}\n"
    "$keepCount"
    "\t}\n";

// The block of a string measured by its own length. Decoding always goes to
// storage of its own, with a zeroed byte behind the count; a string that
// arrived whole and passed the checks is then copied, with its terminator,
// into the storage the caller gave (room for the bound and the terminator,
// as for rpcgen's strings). A refused one leaves that storage as it was.
const char* const kStringBlock =
    "\t{\n"
    "\tunsigned int len; \n"
    "\tunsigned int maxlen = $clamp($bound, $limit);\n"
    "\tif($xdrs->x_op == XDR_DECODE) {\n"
    "\t\tchar* _vlrpc_given_ = (char*)$array;\n"
    "\t\t$array = 0;\n"
    "\t\tif(!$settle((char**)$address, _vlrpc_given_,\n"
    "\t\t\t\t$decode($xdrs, (char**)$address, maxlen, &len) && !($test)))\n"
    "\t\t\treturn 0;\n"
    "\t} else {\n"
    "\t\tlen = 0;\n"
    "\t\tif($xdrs->x_op == XDR_ENCODE && !$fits($array == 0 ? 0 : $size, maxlen, &len))\n"
    "\t\t\treturn 0;\n"
    "\t\tif(!$filter($xdrs, (char**)$address, &len, maxlen))\n"
    "\t\t\treturn 0;\n"
    "\t}\n"
    "$keepCount"
    "\t}\n";

// Refusing a decoded variable-length value: what decoding allocated for it
// is released, so that freeing the record later walks nothing that is gone.
const char* const kVariableRefusal =
    "\t\tif($test) {\n"
    "\t\t\tif(fresh)\n"
    "\t\t\t\t$release((char**)$address, len, $elementSize, $elementFilter);\n"
    "\t\t\treturn 0;\n"
    "\t\t}\n";

// The block of a fixed array that sends its count: the count (the size the
// data gives, at most the bound) travels ahead of the elements.
const char* const kCountedFixedBlock =
    "\t{\n"
    "\tunsigned int maxlen = $bound;\n"
    "$encodeCheck"
    "\tif($xdrs->x_op == XDR_ENCODE && !$fits($size, $bound, &maxlen))\n"
    "\t\treturn 0;\n"
    "$freeCount"
    "\tif(!xdr_u_int($xdrs, &maxlen))\n"
    "\t\treturn 0;\n"
    "\tif(maxlen > $bound)\n"
    "\t\treturn 0;\n"
    "\tif(!$filter($xdrs, (char*)$address, maxlen$elementArguments))\n"
    "\t\treturn 0;\n"
    "$refusal"
    "$keepCount"
    "\t}\n";

// A string is measured only once it holds its terminator.
const char* const kTerminatedOnEncode =
    "\tif($xdrs->x_op == XDR_ENCODE && !$terminated((char*)$address, $bound, $bound))\n"
    "\t\treturn 0;\n";

// Freeing walks as many elements as the size names, within the bound.
const char* const kFreeCountOfSize = "\tif($xdrs->x_op == XDR_FREE)\n"
                                     "\t\tmaxlen = $clamp($size, $bound);\n";

// Refusing a decoded fixed array: it is stored in place, so there is no
// buffer of its own to release.
const char* const kFixedRefusal = "\tif($xdrs->x_op == XDR_DECODE && ($test))\n"
                                  "\t\treturn 0;\n";

// The block of a fixed array without size: its bound's worth travels.
const char* const kFixedBlock = "\t{\n"
                                "\tunsigned int maxlen = $bound;\n"
                                "\tif(!$filter($xdrs, (char*)$address, maxlen$elementArguments))\n"
                                "\t\treturn 0;\n"
                                "\t}\n";

// The most elements a count may name: the wire's 32 bits, or less where the
// array's storage sets a limit.
std::string countLimitValue(const arrayCoding& coding)
{
    return coding.countLimit.empty() ? "0xffffffffULL" : coding.countLimit;
}

std::string stringBlock(const arrayType* array, const std::string& xdrs,
                        const std::string& prefix, const std::string& name,
                        const arrayCoding& coding)
{
    const std::string lvalue = arrayLvalue(prefix, name);
    return fillTemplate(
        kStringBlock,
        {{"clamp", sizeClampFunction},
         {"bound", arrayBoundValue(array, prefix, name)},
         {"limit", countLimitValue(coding)},
         {"xdrs", xdrs},
         {"array", lvalue},
         {"address", prefix.empty() ? name : "&" + prefix + name},
         {"settle", stringSettleFunction},
         {"decode", stringDecoderFunction},
         {"test", decodedValueRefusal(array, prefix, name, lvalue, "len", "len + 1", coding)},
         {"fits", countFitsFunction},
         {"size", arraySizeValue(array, prefix, name)},
         {"filter", array->xdrRoutineName()},
         {"keepCount", keptCountStatement(array, coding)}});
}

std::string variableBlock(const arrayType* array, const std::string& xdrs,
                          const std::string& prefix, const std::string& name,
                          const arrayCoding& coding)
{
    if (isSelfMeasured(array))
        return stringBlock(array, xdrs, prefix, name, coding);
    const std::string lvalue = arrayLvalue(prefix, name);
    const std::string address = prefix.empty() ? name : "&" + prefix + name;
    const Type* element = array->eleType;
    // Storage that decoding allocated holds a zeroed element behind the
    // count; the caller's storage is taken to hold the bound's worth.
    const std::string test = decodedValueRefusal(array, prefix, name, lvalue, "len",
                                                 "(fresh ? len + 1 : maxlen)", coding);
    const std::string refusal =
        test.empty() ? ""
                     : fillTemplate(kVariableRefusal, {{"test", test},
                                                       {"release", elementReleaseFunction},
                                                       {"address", address},
                                                       {"elementSize", elementSize(element)},
                                                       {"elementFilter", elementFilter(element)}}) +
                           emptyIsNullStatement(array, "", address, "len", "fresh");
    // Freeing needs the count only where the elements own memory; the
    // operands of the size need not be valid otherwise (a null string).
    const std::string freeCount = !isByteLike(element) && mayOwnMemory(element)
                                      ? joinText(lvalue, " == 0 ? 0 : ", sizeClampFunction, "(",
                                                 arraySizeValue(array, prefix, name), ", maxlen)")
                                      : "0";
    return fillTemplate(
        kVariableBlock,
        {{"clamp", sizeClampFunction},
         {"bound", arrayBoundValue(array, prefix, name)},
         {"limit", countLimitValue(coding)},
         {"xdrs", xdrs},
         {"fresh", test.empty() ? "" : joinText("\t\tint fresh = ", lvalue, " == 0;\n")},
         {"decode", elementDecoderFunction},
         {"address", address},
         {"elementSize", elementSize(element)},
         {"elementFilter", elementFilter(element)},
         {"refusal", refusal},
         {"freeCount", freeCount},
         {"fits", countFitsFunction},
         {"array", lvalue},
         {"size", arraySizeValue(array, prefix, name)},
         {"filter", array->xdrRoutineName()},
         {"elementArguments", elementArguments(element)},
         {"keepCount", keptCountStatement(array, coding)}});
}

std::string fixedBlock(const arrayType* array, const std::string& xdrs, const std::string& prefix,
                       const std::string& name, const arrayCoding& coding)
{
    const std::string address = prefix + name;
    const std::string bound = array->maxsizeText(prefix, name);
    const Type* element = array->eleType;
    if (!array->size)
        return fillTemplate(kFixedBlock, {{"bound", bound},
                                          {"filter", array->xdrRoutineName()},
                                          {"xdrs", xdrs},
                                          {"address", address},
                                          {"elementArguments", elementArguments(element)}});
    const std::string encodeCheck =
        isSelfMeasured(array)
            ? fillTemplate(kTerminatedOnEncode, {{"xdrs", xdrs},
                                                 {"terminated", terminatedFunction},
                                                 {"address", address},
                                                 {"bound", bound}})
            : "";
    const std::string freeCount =
        !isByteLike(element) && mayOwnMemory(element)
            ? fillTemplate(kFreeCountOfSize, {{"xdrs", xdrs},
                                              {"clamp", sizeClampFunction},
                                              {"size", arraySizeValue(array, prefix, name)},
                                              {"bound", bound}})
            : "";
    const std::string test =
        decodedValueRefusal(array, prefix, name, address, "maxlen", bound, coding);
    const std::string refusal =
        test.empty() ? "" : fillTemplate(kFixedRefusal, {{"xdrs", xdrs}, {"test", test}});
    return fillTemplate(kCountedFixedBlock, {{"bound", bound},
                                             {"encodeCheck", encodeCheck},
                                             {"xdrs", xdrs},
                                             {"fits", countFitsFunction},
                                             {"size", arraySizeValue(array, prefix, name)},
                                             {"freeCount", freeCount},
                                             {"filter", array->xdrRoutineName()},
                                             {"address", address},
                                             {"elementArguments", elementArguments(element)},
                                             {"refusal", refusal},
                                             {"keepCount", keptCountStatement(array, coding)}});
}

}  // namespace

std::string arraySizeValue(const arrayType* array, const std::string& p1, const std::string& p2)
{
    if (array->size)
        return sizeValueCode(array->size, p1, p2);
    if (array->maxsize)
        return arrayBoundValue(array, p1, p2);
    return joinText("((unsigned long long)(", array->sizeText(p1, p2), "))");
}

std::string arrayBoundValue(const arrayType* array, const std::string& p1, const std::string& p2)
{
    if (array->maxsize)
        return sizeValueCode(array->maxsize, p1, p2);
    return arraySizeValue(array, p1, p2);
}

std::string arrayXdrBlock(const arrayType* array, const std::string& xdrs,
                          const std::string& prefix, const std::string& name,
                          const arrayCoding& coding)
{
    return array->variable ? variableBlock(array, xdrs, prefix, name, coding)
                           : fixedBlock(array, xdrs, prefix, name, coding);
}

std::string arrayType::xdrCall(const std::string& xdrs, const std::string& prefix,
                               const std::string& name) const
{
    return arrayXdrBlock(this, xdrs, prefix, name, arrayCoding());
}

namespace {

// 1 when the array's size names a member coded after it: every variable it
// names is a member of the record, and not all of them are coded before it.
int sizeWaitsForLaterMembers(const arrayType* array, const arrayCoding& coding,
                             const symbolSet& members)
{
    if (!sizeExpression(array) || sizeIsDecodedBefore(array, coding))
        return 0;
    symbolSet variables;
    sizeExpression(array)->collectVars(variables);
    symbolSet::cursor walk = symbolSet::begin(&variables);
    while (Symbol* variable = walk.next())
        if (!members.find(variable->name()))
            return 0;
    return 1;
}

// The kept count of an array whose size waits, and whether decoding found
// its storage missing (so that it allocated what a refusal releases).
const char* const kKeptCountDeclarations = "\tunsigned int $count = 0;\n"
                                           "$fresh";

// The check of such a size once the record is decoded.
const char* const kDeferredSizeCheck = "\tif($xdrs->x_op == XDR_DECODE && $test) {\n"
                                       "$release"
                                       "\t\treturn 0;\n"
                                       "\t}\n";

const char* const kDeferredRelease =
    "\t\tif($fresh)\n"
    "\t\t\t$release((char**)$address, $count, $elementSize, $elementFilter);\n";

}  // namespace

namespace {

// 1 when the expression names no variable: it can be evaluated before
// anything is decoded, or from the data it measures alone.
int namesNoVariable(const expression* e)
{
    symbolSet variables;
    e->collectVars(variables);
    symbolSet::cursor walk = symbolSet::begin(&variables);
    return walk.next() == nullptr;
}

// The string an argument holds when the dispatcher gives it a room and its
// length is measured from its own data alone; null otherwise.
const arrayType* stringOfGivenRoom(const Symbol* argument)
{
    const arrayType* string = decodedRoomArray(argument);
    return string && isSelfMeasured(string) && namesNoVariable(string->size) ? string : nullptr;
}

// A string argument that the server decodes goes straight into the room
// its dispatcher gave (the bound and a terminator, zeroed): one refused is
// released with the arguments, so it needs no storage of its own on the
// way. Encoding, freeing and decoding without a room are as for any
// string.
const char* const kStringInRoom = "\tif($xdrs->x_op == XDR_DECODE && $array != 0) {\n"
                                  "\t\tunsigned int len;\n"
                                  "\t\tunsigned int maxlen = $clamp($bound, $limit);\n"
                                  "\t\tif(!$decode($xdrs, $array, maxlen, &len) || $test)\n"
                                  "\t\t\treturn 0;\n"
                                  "\t} else {\n"
                                  "$coded"
                                  "\t}\n";

std::string stringInRoomStatement(const arrayType* string, const std::string& xdrs,
                                  const std::string& prefix, const std::string& name,
                                  const std::string& coded)
{
    const std::string lvalue = arrayLvalue(prefix, name);
    return fillTemplate(
        kStringInRoom,
        {{"xdrs", xdrs},
         {"array", lvalue},
         {"clamp", sizeClampFunction},
         {"bound", arrayBoundValue(string, prefix, name)},
         {"limit", countLimitValue(arrayCoding())},
         {"decode", stringRoomDecoderFunction},
         {"test", decodedValueRefusal(string, prefix, name, lvalue, "len", "len + 1",
                                      arrayCoding())},
         {"coded", indentedLines(coded, "\t")}});
}

}  // namespace

memberSequence::memberSequence(const symbolSet& members, const std::string& xdrs,
                               const std::string& prefix, int givenRooms)
    : members_(members),
      xdrs_(xdrs),
      prefix_(prefix),
      givenRooms_(givenRooms)
{
}

// A string argument with a given room: the member's usual statement
// becomes the branch for encoding, freeing and decoding without a room.
void memberSequence::add(Symbol* member, arrayCoding coding)
{
    const std::string::size_type start = statements_.size();
    addCoded(member, coding);
    if (const arrayType* string = givenRooms_ ? stringOfGivenRoom(member) : nullptr)
        statements_.replace(start, std::string::npos,
                            stringInRoomStatement(string, xdrs_, prefix_, member->name(),
                                                  statements_.substr(start)));
}

void memberSequence::addCoded(Symbol* member, arrayCoding coding)
{
    const Type* t = member->type();
    if (!t || t->kind() != KIND_ARRAY) {
        statements_ += member->xdrCall(xdrs_, prefix_);
        codedBefore_.add(member);
        return;
    }
    const arrayType* array = static_cast<const arrayType*>(t);
    const std::string& name = member->name();
    coding.codedBefore = &codedBefore_;
    if (sizeWaitsForLaterMembers(array, coding, members_)) {
        const std::string index = std::to_string(kept_++);
        const std::string count = "_vlrpc_count_" + index;
        const std::string fresh = array->variable ? "_vlrpc_fresh_" + index : "";
        coding.decodedCount = count;
        const Type* element = array->eleType;
        declarations_ += fillTemplate(
            kKeptCountDeclarations,
            {{"count", count},
             {"fresh",
              fresh.empty() ? "" : joinText("\tint ", fresh, " = ", prefix_, name, " == 0;\n")}});
        const std::string release =
            fresh.empty()
                ? ""
                : fillTemplate(kDeferredRelease, {{"fresh", fresh},
                                                  {"release", elementReleaseFunction},
                                                  {"address", "&" + prefix_ + name},
                                                  {"count", count},
                                                  {"elementSize", elementSize(element)},
                                                  {"elementFilter", elementFilter(element)}});
        checks_ += fillTemplate(kDeferredSizeCheck,
                                {{"xdrs", xdrs_},
                                 {"test", sizeRefusalTest(array, prefix_, name, count)},
                                 {"release", release}}) +
                   emptyIsNullStatement(array, xdrs_, "&" + prefix_ + name, count, fresh);
    }
    statements_ += arrayXdrBlock(array, xdrs_, prefix_, name, coding);
    codedBefore_.add(member);
}

void memberSequence::skip(Symbol* member) { codedBefore_.add(member); }

std::string memberSequence::text() const { return declarations_ + statements_ + checks_; }

namespace {

// A variable-length array of a result record gets room for its bound's
// worth of zeroed elements.
const char* const kResultArrayAllocation = "\t$array = $allocation;\n"
                                           "\tMEM_ASSERT($array);\n";

// Releasing a variable-length array: first what its elements own, where
// that is asked for and they may own any.
const char* const kArrayRelease = "$elementRelease\t$release($array);\n";
const char* const kArrayElementsRelease =
    "\tif($array) {\n"
    "\t\tunsigned int i;\n"
    "\t\tunsigned int n = $clamp($bound, 0xffffffffULL);\n"
    "\t\tfor(i = 0; i < n; i++)\n"
    "\t\t\txdr_free((xdrproc_t)$elementFilter, (char*)&$array[i]);\n"
    "\t}\n";

// Statements written for element "[i]" of a fixed array of buffers, run
// for each of its elements.
const char* const kEachElement = "\t{\n"
                                 "\tunsigned int i;\n"
                                 "\tfor(i = 0; i < $count; i++) {\n"
                                 "$statements"
                                 "\t}\n"
                                 "\t}\n";

std::string forEachElement(const arrayType* array, const std::string& statements)
{
    return fillTemplate(kEachElement, {{"count", array->maxsizeText("", "")},
                                       {"statements", indentedLines(statements, "\t")}});
}

}  // namespace

std::string arrayType::mallocCode(const std::string& prefix, const std::string& name) const
{
    // Every element of an array of strings gets the room its type gives,
    // as a single string does.
    if (holdsBuffers() && !isReturnMember(name))
        return forEachElement(this, eleType->mallocCode(prefix, name + "[i]"));
    if (isReturnMember(name) || !variable)
        return "";
    return fillTemplate(
        kResultArrayAllocation,
        {{"array", prefix + name}, {"allocation", resultRoomAllocation(this, prefix, name)}});
}

namespace {

std::string roomAllocation(const arrayType* array, const std::string& prefix,
                           const std::string& name, const char* allocate)
{
    // A string gets room for its terminator behind the bound's worth, which
    // a string measured without it fills.
    const std::string bound = arrayBoundValue(array, prefix, name);
    const std::string room =
        isSelfMeasured(array) ? joinText(sizeOperatorFunction('+'), "(", bound, ", 1ULL)") : bound;
    return fillTemplate("($type) $allocate($room, $elementSize)",
                        {{"type", generatedPointerText(array->eleType)},
                         {"allocate", allocate},
                         {"room", room},
                         {"elementSize", elementSize(array->eleType)}});
}

// 1 when decoding writes every byte of each element it brings: scalars and
// raw bytes. A struct may leave bytes behind a string it holds.
int decodingFillsElements(const arrayType* array)
{
    const Type* element = array->eleType ? array->eleType->resolve() : nullptr;
    return !isSelfMeasured(array) && element &&
           (element->isVoid() || element->kind() == KIND_PRIMITIVE);
}

// Clearing what decoding did not overwrite: from the size to the bound.
const char* const kRoomClear = "\t$clear($out$name, $clamp($size, $bound), $bound, $elementSize);\n";

}  // namespace

std::string resultRoomAllocation(const arrayType* array, const std::string& prefix,
                                 const std::string& name)
{
    return roomAllocation(array, prefix, name, resultAllocationFunction);
}

std::string decodedRoomAllocation(const arrayType* array, const std::string& prefix,
                                  const std::string& name)
{
    return roomAllocation(array, prefix, name,
                          decodingFillsElements(array) ? roomAllocationFunction
                                                       : resultAllocationFunction);
}

std::string roomClearStatement(const arrayType* array, const std::string& in,
                               const std::string& out, const std::string& name)
{
    if (!decodingFillsElements(array))
        return "";
    return fillTemplate(kRoomClear, {{"clear", roomClearFunction},
                                     {"out", out},
                                     {"name", name},
                                     {"clamp", sizeClampFunction},
                                     {"size", arraySizeValue(array, in, name)},
                                     {"bound", arrayBoundValue(array, in, name)},
                                     {"elementSize", elementSize(array->eleType)}});
}

const arrayType* decodedRoomArray(const Symbol* argument)
{
    if (!argument->isParameter() || argument->direction() != DIR_INOUT ||
        isReturnMember(argument->name()) || !argument->type())
        return nullptr;
    const Type* resolved = argument->type()->resolve();
    if (!resolved || resolved->kind() != KIND_ARRAY)
        return nullptr;
    const arrayType* array = static_cast<const arrayType*>(resolved);
    // A string's room holds its terminator too, as the result's does.
    if (!array->variable || !array->maxsize || array->holdsBuffers() ||
        mayOwnMemory(array->eleType))
        return nullptr;
    // The bound is evaluated before anything is decoded.
    return namesNoVariable(array->maxsize) ? array : nullptr;
}

std::string arrayType::freeCode(const std::string& prefix, const std::string& name) const
{
    if (holdsBuffers() && !isReturnMember(name))
        return forEachElement(this, eleType->freeCode(prefix, name + "[i]"));
    if (!variable || isReturnMember(name))
        return "";
    return arrayReleaseCode(this, prefix, name, 1);
}

std::string arrayReleaseCode(const arrayType* array, const std::string& prefix,
                             const std::string& name, int releaseElements)
{
    const std::string v = prefix + name;
    // Elements that own memory (strings, lists) are released through their
    // own routine first. The allocation function gave the buffer the bound's
    // worth of zeroed elements, so the walk covers the bound and reads no
    // count that the data may have left invalid.
    const Type* element = array->eleType;
    const std::string elementRelease =
        releaseElements && element && !isByteLike(element) && mayOwnMemory(element)
            ? fillTemplate(kArrayElementsRelease, {{"array", v},
                                                   {"clamp", sizeClampFunction},
                                                   {"bound", arrayBoundValue(array, prefix, name)},
                                                   {"elementFilter", element->xdrRoutineName()}})
            : "";
    return fillTemplate(
        kArrayRelease,
        {{"elementRelease", elementRelease}, {"release", resultReleaseFunction}, {"array", v}});
}

// Copying a variable-length array takes the count the source's size gives,
// at most the destination's bound, between buffers that both exist.
const char* const kVariableCopy = "\tif($dst != 0 && $src != 0) {\n"
                                  "\t\tunsigned int n = $clamp($count, $limit);\n"
                                  "\t\tmemcpy($dst, $src, n * $elementSize);\n"
                                  "$terminate"
                                  "\t}\n";

// A string copied into a result buffer (which has room for a terminator
// behind its bound) ends behind what was copied; where the copy counts its
// terminator and was cut at the bound, its last byte ends it instead.
const char* const kStringCopyEnd = "\t\t((char*)$dst)[n] = 0;\n"
                                   "\t\tif(n > 0 && $size > $limit)\n"
                                   "\t\t\t((char*)$dst)[n - 1] = 0;\n";

std::string arrayType::copyCode(const std::string& dstPrefix, const std::string& dstName,
                                const std::string& srcPrefix, const std::string& srcName, int) const
{
    FATAL_IF(size==0&&maxsize==0);
    FATAL_IF(eleType==0);
    // A fixed array holds its bound's worth on both sides and is copied
    // whole, so no count is evaluated over its storage. The element size
    // comes from the C type text: a tagged struct needs its keyword inside
    // sizeof.
    const std::string dst = dstPrefix + dstName;
    const std::string src = srcPrefix + srcName;
    // The elements of an array of strings are copied into the room each
    // was given.
    if (holdsBuffers())
        return forEachElement(
            this, eleType->copyCode(dstPrefix, dstName + "[i]", srcPrefix, srcName + "[i]", 0));
    if (!variable)
        return joinText("\tmemcpy(", dst, ", ", src, ", ", maxsizeText(dstPrefix, dstName), " * ",
                        elementSize(eleType), ");\n");
    return fillTemplate(
        kVariableCopy,
        {{"dst", dst},
         {"src", src},
         {"clamp", sizeClampFunction},
         {"count", arraySizeValue(this, srcPrefix, srcName)},
         {"limit", arrayBoundValue(this, dstPrefix, dstName)},
         {"elementSize", elementSize(eleType)},
         {"terminate",
          isSelfMeasured(this)
              ? fillTemplate(kStringCopyEnd, {{"dst", dst},
                                              {"size", arraySizeValue(this, dstPrefix, dstName)},
                                              {"limit", arrayBoundValue(this, dstPrefix, dstName)}})
              : ""}});
}
