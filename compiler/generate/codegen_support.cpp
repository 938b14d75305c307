#include "generate/codegen_support.h"

#include <cctype>
#include <iostream>

#include "model/expression.h"
#include "model/generated_identifiers.h"
#include "model/token_table.h"
#include "model/type.h"
#include "output/emit.h"

int indentLevel = 0;

void indentMore() { ++indentLevel; }
void indentLess() { --indentLevel; }
std::string currentIndent() { return indent(indentLevel); }

std::string indentedLines(const std::string& block, const std::string& indent)
{
    std::string text;
    size_t at = 0;
    while (at < block.size()) {
        const size_t end = block.find('\n', at);
        const size_t next = end == std::string::npos ? block.size() : end + 1;
        text += indent + block.substr(at, next - at);
        at = next;
    }
    return text;
}

std::string generatedTypeText(const Type* t)
{
    if (!t)
        return "";
    if (t->kind() == KIND_PRIMITIVE && t->baseCode() == CODE_ENUM)
        return "enum_t";
    if (t->kind() == KIND_POINTER) {
        const refType* pointer = static_cast<const refType*>(t);
        return pointer->eleType ? generatedPointerText(pointer->eleType) : "";
    }
    return t->cTypeText();
}

std::string generatedPointerText(const Type* t) { return generatedTypeText(t) + "*"; }

Type* finalType(const typedefType* t)
{
    Type* current = const_cast<typedefType*>(t);
    // A chain of typedefs is finite: each is built before the next one names
    // it, so a typedef cannot lead back to itself.
    while (current && current->kind() == KIND_TYPEDEF) {
        Type* next = static_cast<typedefType*>(current)->aliased();
        if (!next) {
            std::cerr << "Typedef alias nothing"
                      << "\n";
            return nullptr;
        }
        current = next;
    }
    return current;
}

int isSelfAlias(const typedefType* t)
{
    Type* aliased = t->aliased();
    if (!aliased || aliased->kind() != KIND_CLASS)
        return 0;
    const classType* named = dynamic_cast<const classType*>(aliased);
    return named && named->typedefName() == t->name() ? 1 : 0;
}

namespace {

int symbolsMayOwnMemory(const symbolSet& symbols, int depth);

int mayOwnMemoryAt(const Type* t, int depth)
{
    if (!t)
        return 0;
    // A type that leads back to itself holds a pointer on the way.
    if (depth > 64)
        return 1;
    switch (t->kind()) {
    case KIND_PRIMITIVE:
        return 0;
    case KIND_POINTER:
        return 1;
    case KIND_TYPEDEF:
        return mayOwnMemoryAt(static_cast<const typedefType*>(t)->aliased(), depth + 1);
    case KIND_ARRAY: {
        const arrayType* array = static_cast<const arrayType*>(t);
        return array->variable ? 1 : mayOwnMemoryAt(array->eleType, depth + 1);
    }
    case KIND_CLASS:
        if (const classType* c = dynamic_cast<const classType*>(t)) {
            if (c->keyword() == CODE_UNION)
                return 0;  // coded as raw bytes
            return symbolsMayOwnMemory(c->members, depth + 1);
        }
        if (const unionType* u = dynamic_cast<const unionType*>(t))
            return symbolsMayOwnMemory(u->arms, depth + 1);
        return 1;
    default:
        return 1;  // an undefined type: assume the worst
    }
}

int symbolsMayOwnMemory(const symbolSet& symbols, int depth)
{
    symbolSet::cursor walk = symbolSet::begin(&symbols);
    while (Symbol* symbol = walk.next())
        if (mayOwnMemoryAt(symbol->type(), depth))
            return 1;
    return 0;
}

}  // namespace

int mayOwnMemory(const Type* t) { return mayOwnMemoryAt(t, 0); }

const classType* unnamedClass(const Type* t)
{
    if (!t || t->kind() != KIND_CLASS)
        return nullptr;
    const classType* c = dynamic_cast<const classType*>(t);
    return c && c->name().empty() ? c : nullptr;
}

std::string mallocHelperPrototype(const classType* record)
{
    return joinText("int ", record->mallocHelperName(), "(", generatedPointerText(record),
                    " pVar)");
}

std::string freeHelperPrototype(const classType* record)
{
    return joinText("void ", record->freeHelperName(), "(", generatedPointerText(record), " pVar)");
}

int isReturnMember(const std::string& name) { return name == returnMemberName; }

std::string fillTemplate(const std::string& shape, std::initializer_list<templateHole> holes)
{
    std::string text;
    size_t at = 0;
    while (at < shape.size()) {
        const size_t hole = shape.find('$', at);
        if (hole == std::string::npos)
            break;
        // "${name}" ends a name that letters follow.
        const int braced = hole + 1 < shape.size() && shape[hole + 1] == '{';
        size_t end = hole + 1 + braced;
        while (end < shape.size() &&
               (std::isalnum(static_cast<unsigned char>(shape[end])) || shape[end] == '_'))
            ++end;
        text.append(shape, at, hole - at);
        const std::string name = shape.substr(hole + 1 + braced, end - hole - 1 - braced);
        if (braced && end < shape.size() && shape[end] == '}')
            ++end;
        const templateHole* found = nullptr;
        for (const templateHole& h : holes)
            if (name == h.name)
                found = &h;
        text += found ? found->value : shape.substr(hole, end - hole);
        at = end;
    }
    text.append(shape, at, std::string::npos);
    return text;
}

int readsOwnData(const expression* e) { return e && e->codeText("", "a") != e->codeText("", "b"); }

namespace {

// The helpers as C that compiles as C and as C++ (the header is included
// by the C++ client class too); static inline, so that a file that uses
// none of them draws no warning.
const char* const kXdrHelpers = R"C(#ifndef VELORIN_XDR_HELPERS_H
#define VELORIN_XDR_HELPERS_H
/* Sizes of the XDR code in 64 bits: an overflow, a negative value or a
   division by zero gives a value that no 32-bit count reaches. Such a
   value has its top bit set (a negative int converted, or the saturated
   value), and every operation keeps it: a quotient, a difference or a
   shift of such values would otherwise come out small. */
static inline unsigned long long $add(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || a + b < a ? ~0ULL : a + b;
}
static inline unsigned long long $sub(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || a < b ? ~0ULL : a - b;
}
static inline unsigned long long $mul(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || (a != 0 && b > ~0ULL / a) ? ~0ULL : a * b;
}
static inline unsigned long long $div(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || b == 0 ? ~0ULL : a / b;
}
static inline unsigned long long $mod(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || b == 0 ? ~0ULL : a % b;
}
static inline unsigned long long $shl(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || b >= 64 || a > ~0ULL >> b ? ~0ULL : a << b;
}
static inline unsigned long long $shr(unsigned long long a, unsigned long long b) {
	return (a | b) >> 63 || b >= 64 ? ~0ULL : a >> b;
}
/* Values of expressions over decoded data that C could trap on or leave
   undefined (a discriminant, the test inside a size), as ints in 64 bits.
   A division by zero, a shift by a count outside 0 to 31, a left shift of
   a negative value and a result outside int cannot be computed: they give
   the one value that no int takes, which every later operation keeps.
   Operands are ints or unsigned values of 32 bits. */
static inline long long $none(void) {
	return -0x7fffffffffffffffLL - 1;
}
static inline int $unknown(long long v) {
	return v == $none();
}
static inline int $operand(long long v) {
	return v >= -0xffffffffLL && v <= 0xffffffffLL;
}
static inline long long $int(long long v) {
	return v < -0x80000000LL || v > 0x7fffffffLL ? $none() : v;
}
static inline long long $vadd(long long a, long long b) {
	return $operand(a) && $operand(b) ? $int(a + b) : $none();
}
static inline long long $vsub(long long a, long long b) {
	return $operand(a) && $operand(b) ? $int(a - b) : $none();
}
static inline long long $vmul(long long a, long long b) {
	if(!$operand(a) || !$operand(b))
		return $none();
	if(a == 0 || b == 0)
		return 0;
	if(a < -0x80000000LL || a > 0x80000000LL || b < -0x80000000LL || b > 0x80000000LL)
		return $none();
	return $int(a * b);
}
static inline long long $vdiv(long long a, long long b) {
	return $operand(a) && $operand(b) && b != 0 ? $int(a / b) : $none();
}
static inline long long $vmod(long long a, long long b) {
	return $unknown($vdiv(a, b)) ? $none() : a % b;
}
static inline long long $vshl(long long a, long long b) {
	return $operand(a) && a >= 0 && b >= 0 && b < 32 ? $int(a << b) : $none();
}
static inline long long $vshr(long long a, long long b) {
	if(!$operand(a) || b < 0 || b >= 32)
		return $none();
	return a < 0 ? ~(~a >> b) : a >> b;
}
static inline long long $vneg(long long a) {
	return $operand(a) ? $int(-a) : $none();
}
static inline long long $vnot(long long a) {
	return $operand(a) ? ~a : $none();
}
$neutral/* A value as a size: one that could not be computed saturates. */
static inline unsigned long long $vsize(long long v) {
	return $unknown(v) ? ~0ULL : (unsigned long long)v;
}
/* The smaller of a size and a limit, as a count of the wire. */
static inline u_int $clamp(unsigned long long n, unsigned long long limit) {
	if(n > limit)
		n = limit;
	return n > 0xffffffffULL ? 0xffffffffU : (u_int)n;
}
/* The count to send for a size, when it is within the bound. */
static inline bool_t $fits(unsigned long long n, unsigned long long bound, u_int* count) {
	if(n > bound || n > 0xffffffffULL)
		return FALSE;
	*count = (u_int)n;
	return TRUE;
}
/* Zeroed storage of n elements for a result buffer; none for a count that
   the wire cannot carry. calloc checks the product and leaves the pages
   untouched until the procedure writes them. */
static inline void* $alloc(unsigned long long n, size_t size) {
	if(n > 0xffffffffULL)
		return 0;
	return calloc(n ? (size_t)n : 1, size);
}
/* Releases `count` decoded elements and the storage that holds them. */
static inline void $release(char** array, u_int count, u_int size, xdrproc_t element) {
	u_int i;
	if(element != 0)
		for(i = 0; i < count; i++)
			xdr_free(element, *array + (size_t)i * size);
	free(*array);
	*array = 0;
}
/* Decodes `count` elements of `size` bytes each (raw bytes without an
   element filter) into *array. Storage the caller did not give is
   allocated as the elements arrive, with one zeroed element behind them
   (a terminator for bytes): a count sent without its data takes no more
   memory than what came. When decoding fails that storage is released. */
static inline bool_t $decode(XDR* xdrs, char** array, u_int count, u_int size, xdrproc_t element) {
	int own = *array == 0;
	u_int room = count, done = 0;
	bool_t ok = TRUE;
	if(own) {
		room = count < 1024 ? count : 1024;
		if((*array = (char*)calloc((size_t)room + 1, size)) == 0)
			return FALSE;
	}
	while(ok && done < count) {
		if(done == room) {
			u_int more = count - room < room ? count - room : room;
			char* grown = 0;
			if((size_t)room + more + 1 <= ((size_t)-1) / size)
				grown = (char*)realloc(*array, ((size_t)room + more + 1) * size);
			ok = grown != 0;
			if(ok) {
				memset(grown + ((size_t)room + 1) * size, 0, (size_t)more * size);
				*array = grown;
				room += more;
			}
		} else if(element == 0) {
			ok = xdr_opaque(xdrs, *array + done, room - done);
			if(ok)
				done = room;
		} else {
			ok = (*element)(xdrs, *array + (size_t)done * size);
			done++;
		}
	}
	if(!ok && own)
		$release(array, done, size, element);
	return ok;
}
/* Bytes measured by their own terminator: TRUE when one ends the `count`
   bytes decoded, written behind them where `room` has a place for it, or
   found among them. FALSE otherwise, and the last byte becomes one, so
   that storage refused this way still holds a string. */
static inline bool_t $terminated(char* bytes, u_int count, u_int room) {
	if(count < room) {
		bytes[count] = 0;
		return TRUE;
	}
	if(count == 0 || memchr(bytes, 0, count) != 0)
		return count > 0;
	bytes[count - 1] = 0;
	return FALSE;
}
/* 1 when the n elements of `size` bytes at `array` hold only zero bytes:
   a caller's storage whose elements own nothing yet. */
static inline int $blank(const char* array, u_int n, u_int size) {
	size_t i, total = (size_t)n * size;
	if(array == 0)
		return 0;
	for(i = 0; i < total; i++)
		if(array[i] != 0)
			return 0;
	return 1;
}
/* Releases what the n elements at `array` own and zeroes them again; the
   storage itself stays the caller's. */
static inline void $clear(char* array, u_int n, u_int size, xdrproc_t element) {
	u_int i;
	for(i = 0; i < n; i++)
		xdr_free(element, array + (size_t)i * size);
	memset(array, 0, (size_t)n * size);
}
#endif

)C";

// The checked value functions of the operators that C cannot trap on:
// only an operand that could not be computed is kept.
const char* const kNeutralValueFunction =
    "static inline long long $function(long long a, long long b) {\n"
    "\treturn $operand(a) && $operand(b) ? (long long)(a $op b) : $none();\n"
    "}\n";

std::string neutralValueFunctions()
{
    std::string text;
    for (int op : {int('&'), int('|'), int('^'), int('<'), int('>'), OP_LE, OP_GE, OP_EQ, OP_NE,
                   OP_AND, OP_OR})
        text += fillTemplate(kNeutralValueFunction, {{"function", valueOperatorFunction(op)},
                                                     {"operand", valueOperandFunction},
                                                     {"op", tokenText(op)},
                                                     {"none", valueNoneFunction}});
    return text;
}

}  // namespace

std::string xdrHelpersText()
{
    const std::string neutral = neutralValueFunctions();
    return fillTemplate(kXdrHelpers, {{"add", sizeOperatorFunction('+')},
                                      {"sub", sizeOperatorFunction('-')},
                                      {"mul", sizeOperatorFunction('*')},
                                      {"div", sizeOperatorFunction('/')},
                                      {"mod", sizeOperatorFunction('%')},
                                      {"shl", sizeShiftFunction(OP_LSHIFT)},
                                      {"shr", sizeShiftFunction(OP_RSHIFT)},
                                      {"neutral", neutral},
                                      {"none", valueNoneFunction},
                                      {"unknown", valueUnknownFunction},
                                      {"operand", valueOperandFunction},
                                      {"int", valueIntFunction},
                                      {"vadd", valueOperatorFunction('+')},
                                      {"vsub", valueOperatorFunction('-')},
                                      {"vmul", valueOperatorFunction('*')},
                                      {"vdiv", valueOperatorFunction('/')},
                                      {"vmod", valueOperatorFunction('%')},
                                      {"vshl", valueOperatorFunction(OP_LSHIFT)},
                                      {"vshr", valueOperatorFunction(OP_RSHIFT)},
                                      {"vneg", valueUnaryFunction('-')},
                                      {"vnot", valueUnaryFunction('~')},
                                      {"vsize", valueSizeFunction},
                                      {"clamp", sizeClampFunction},
                                      {"fits", countFitsFunction},
                                      {"alloc", resultAllocationFunction},
                                      {"release", elementReleaseFunction},
                                      {"decode", elementDecoderFunction},
                                      {"terminated", terminatedFunction},
                                      {"blank", blankStorageFunction},
                                      {"clear", elementClearFunction}});
}
