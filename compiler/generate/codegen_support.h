// Shared pieces of the type code generators: the indentation of XDR
// statements, the C text of a type as generated code writes it, and the
// heads of the result-record helpers.
#ifndef VELORIN_GENERATE_CODEGEN_SUPPORT_H
#define VELORIN_GENERATE_CODEGEN_SUPPORT_H

#include <initializer_list>
#include <string>

#include "model/symbol.h"

class Type;
class arrayType;
class classType;
class expression;
class typedefType;
class unionType;

// Number of tabs in front of the statements of an XDR routine body; 0
// between routines. Raised around a typedef or struct routine body and
// around every arm of a discriminated union.
extern int indentLevel;
void indentMore();
void indentLess();
// indentLevel tab characters.
std::string currentIndent();
// Every line of `block` behind `indent`.
std::string indentedLines(const std::string& block, const std::string& indent);

// How a struct routine codes one array member beyond the plain statement.
struct arrayCoding {
    // The members coded before this one in the same routine: a size made of
    // them (or of the array's own data) is checked against what decoding
    // received. Null: only a size made of the array's own data is.
    const symbolSet* codedBefore = nullptr;
    // A 64-bit size text that limits the count decoding accepts on top of
    // the bound (the room of a caller's buffer); "" for none.
    std::string countLimit;
    // A variable of the routine that keeps the count the array travelled
    // with, for a size checked once the members after it are decoded; "" for
    // none.
    std::string decodedCount;
};

// The XDR block of an array variable, with the coding options.
std::string arrayXdrBlock(const arrayType* array, const std::string& xdrs,
                          const std::string& prefix, const std::string& name,
                          const arrayCoding& coding);
// The statements of a record's members in member order. The size of an
// array made of members coded after it cannot be checked in the array's
// block: the count it travelled with is kept, and once every member is
// decoded the size is checked against it, the value refused (and what
// decoding allocated for the array released) where they disagree.
class memberSequence {
public:
    // `members` are all the record's members; the statements read and write
    // them as `prefix` + name through the XDR stream `xdrs`. With
    // `givenRooms`, the record is a procedure's arguments, which the server
    // decodes into the rooms its dispatcher gave (see decodedRoomArray).
    memberSequence(const symbolSet& members, const std::string& xdrs, const std::string& prefix,
                   int givenRooms = 0);
    // The statement of the next member; for an array member `coding` holds
    // the options beyond the members coded before it.
    void add(Symbol* member, arrayCoding coding = arrayCoding());
    // The next member, coded elsewhere by the routine.
    void skip(Symbol* member);
    // The declarations of the kept counts, the statements, then the checks of
    // the sizes that had to wait.
    std::string text() const;

private:
    // The statement of the member as any record codes it.
    void addCoded(Symbol* member, arrayCoding coding);

    const symbolSet& members_;
    std::string xdrs_;
    std::string prefix_;
    int givenRooms_;
    symbolSet codedBefore_;
    std::string declarations_;
    std::string statements_;
    std::string checks_;
    int kept_ = 0;
};

// 1 when the expression reads the data it sizes (names `this`), as the
// length of a string does.
int readsOwnData(const expression* e);

// The array's count and bound as 64-bit size texts (see
// expression::sizeCodeText), with the same fallbacks and the same meaning
// of the prefixes as arrayType::sizeText and arrayType::maxsizeText.
std::string arraySizeValue(const arrayType* array, const std::string& p1, const std::string& p2);
std::string arrayBoundValue(const arrayType* array, const std::string& p1, const std::string& p2);

// The type as generated C code names it: Type::cTypeText, except that an
// enumeration (which keeps no type text of its own) is written as the XDR
// library's enum_t, also below pointer levels.
std::string generatedTypeText(const Type* t);
// generatedTypeText + "*".
std::string generatedPointerText(const Type* t);

// The first type along a typedef's alias chain that is not a typedef; null
// (after "Typedef alias nothing" on the error stream) when the chain ends
// without a type.
Type* finalType(const typedefType* t);
// 1 when the typedef names a struct or union that carries the same name as
// its typedef name (the struct's own declaration then names it).
int isSelfAlias(const typedefType* t);

// The struct or C union when the type is one without tag and without
// typedef name (a member declared as `struct { ... } m;`); null otherwise.
// C has no name for it, so it is written and coded in place of the member.
const classType* unnamedClass(const Type* t);

// 1 when a value of the type may hold memory that its XDR routine allocates
// when decoding (a pointer or variable-length array anywhere inside it).
int mayOwnMemory(const Type* t);

// "int malloc_<T>(<C*> pVar)" and "void mfree_<T>(<C*> pVar)".
std::string mallocHelperPrototype(const classType* record);
std::string freeHelperPrototype(const classType* record);

// The array of an inout argument that the server's dispatcher gives its
// bound's worth of zeroed result storage before the arguments are decoded
// (a string's with its terminator), so that they are decoded straight into
// the storage the server function works on and the reply is encoded from:
// the wrapper hands that storage over to the result record instead of
// copying it there. Null for any other argument.
const arrayType* decodedRoomArray(const Symbol* argument);
// "(<T*>) vlrpc_alloc(<room>, <element size>)": zeroed storage of the
// array's bound for the member `name` behind `prefix`, with a byte more
// for a string's terminator.
std::string resultRoomAllocation(const arrayType* array, const std::string& prefix,
                                 const std::string& name);
// The dispatcher's allocation of the room of an argument that
// decodedRoomArray: resultRoomAllocation, or, where decoding writes every
// byte of the elements it brings, storage that may still hold the previous
// call's data, cleared behind the decoded elements by roomClearStatement.
std::string decodedRoomAllocation(const arrayType* array, const std::string& prefix,
                                  const std::string& name);
// The wrapper's statement that clears that room from the size of the
// argument, read behind `in`, to the bound; "" where the room came cleared.
std::string roomClearStatement(const arrayType* array, const std::string& in,
                               const std::string& out, const std::string& name);

// The release statements of a variable-length array member behind
// `prefix`: with `releaseElements`, what its elements own is released
// through their XDR routine before the buffer itself is freed.
std::string arrayReleaseCode(const arrayType* array, const std::string& prefix,
                             const std::string& name, int releaseElements);

// Counted errors of what cannot be coded, naming the member `name` of
// `owner` (e.g. "struct s"): a variable-length array with neither size nor
// maxsize; a discriminated union whose discriminant is not one of the
// `earlier` members (those before it, which are decoded first), or with a
// string or a repeated case label.
void refuseUnboundedArray(const Type* t, const std::string& name, const std::string& owner);
void refuseUncodableUnion(const unionType* u, const std::string& name, const std::string& owner,
                          const symbolSet& earlier);
// Either of the two above for one member of `c`, as it applies.
void refuseUncodableMember(const classType* c, const Symbol* member);

// A generated block from its shape: every "$name" hole of `shape` is
// replaced by the value given for that name (names are letters, digits and
// underscores; "${name}" ends one that letters follow). A hole without a
// value, or a value without a hole, is a fault of the generator: the
// compiler ends with an internal assertion.
struct templateHole {
    const char* name;
    std::string value;
};
std::string fillTemplate(const std::string& shape, std::initializer_list<templateHole> holes);

// The name of the member that holds a procedure's result in <proc>_out_t.
int isReturnMember(const std::string& name);

#endif
