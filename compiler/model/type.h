// The type model: every type an interface file declares or uses is a Type
// or one of its six derived classes. All later work asks the types through
// the virtual operations below: the model queries are defined in model/,
// the code-generation operations (declarator to emitXdrRoutine, and the
// result-record helpers of classType) in generate/.
//
// Types are allocated on the heap, shared by pointer and never destroyed.
#ifndef VELORIN_MODEL_TYPE_H
#define VELORIN_MODEL_TYPE_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/codes.h"
#include "model/symbol.h"

class expression;
class property;
class typeList;

class Type {
public:
    // A placeholder for an undefined typedef name: kind CODE_NONE, no name.
    Type();
    Type(int kind, const std::string& name);

    // --- virtual operations ---

    // Number of pointer and array levels (a typedef counts 0).
    virtual int indirectionDepth() const;
    // Attaches a base type at the innermost pointer/array level; other
    // kinds write "Error: adding type to non reference type" (uncounted).
    virtual void addElementType(Type* t);
    // Appends to `list` every type that needs its own declaration and XDR
    // routine, each after the types it depends on; the number appended.
    virtual int collectTypes(typeList& list);
    // 1 unless this is (a typedef of) a fixed array.
    virtual int isNotFixedArray() const;
    // 1 for (a typedef of) a pointer or a variable-length array.
    virtual int isPointerLike() const;
    // 1 for (a typedef of) a fixed array.
    virtual int isFixedArray() const;
    // The type with every typedef level stripped; null when a typedef
    // chain ends without an aliased type.
    virtual Type* resolve();
    // Gives every pointer/array level an object whose element has at most
    // one level, inserting typedefs; returns this object. Callers pass 0.
    virtual Type* normalize(int level);
    // The type's name (an anonymous struct: its typedef name).
    virtual std::string name() const;
    // The part of a generated identifier that stands for the type.
    virtual std::string tagName() const;
    // The type as written in generated C code.
    virtual std::string cTypeText() const;
    // cTypeText() + "*".
    virtual std::string cPointerText() const;
    // 1 for the primitive type void.
    virtual int isVoid() const;
    // 1 for a typedef named exactly "byte".
    virtual int isByte() const;
    // 1 for the primitive type char (not u_char).
    virtual int isChar() const;
    // C declarator text of a variable of this type named by `symbol`.
    virtual std::string declarator(Symbol* symbol) const;
    // "<xdr routine>(XDR*, <C*>)".
    virtual std::string xdrSignature() const;
    // The name of the "<type>_freeres" macro, "" where none applies.
    virtual std::string freeMacroName() const;
    // The statement that codes one variable `name` behind `prefix` on the
    // stream named `xdrs`.
    virtual std::string xdrCall(const std::string& xdrs, const std::string& prefix,
                                const std::string& name) const;
    // Server-side allocation statements of member `name` behind `prefix`.
    virtual std::string mallocCode(const std::string& prefix, const std::string& name) const;
    // Release statements of member `name` behind `prefix`.
    virtual std::string freeCode(const std::string& prefix, const std::string& name) const;
    // Statement copying src into dst (the int is not used by the plain body).
    virtual std::string copyCode(const std::string& dstPrefix, const std::string& dstName,
                                 const std::string& srcPrefix, const std::string& srcName,
                                 int flag) const;
    // Name of the XDR routine or filter that codes this type.
    virtual std::string xdrRoutineName() const;
    // Writes the type's declaration to `out`; returns the same text.
    virtual std::string emitDeclaration(std::ostream& out);
    // Writes the type's XDR routine to `out`; returns the same text.
    virtual std::string emitXdrRoutine(std::ostream& out);
    // Debugging: writes the name field.
    virtual void print(std::ostream& out) const;
    // Debugging: writes the name field (a struct also its members).
    virtual void dump(std::ostream& out) const;

    // --- non-virtual operations ---

    // The redefinition test of the type table: 1 when the name fields are
    // equal and not empty and both or neither are typedefs.
    int clashesWith(const Type* registered) const;
    // Writes "<file>:<line> " of the declaration.
    void printLocation(std::ostream& out) const;
    // "bool_t " + xdrSignature(): the header prototype of the XDR routine.
    std::string xdrPrototype() const;
    // The definition of the macro freeMacroName() names, "" where none applies.
    std::string freeMacro() const;

    // Plain accessors.
    int kind() const { return kind_; }
    int baseCode() const { return baseCode_; }
    int signCode() const { return signCode_; }
    int level() const { return level_; }
    // The type's own name field (name() may answer differently for structs).
    const std::string& nameField() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    // Where the type was declared; an unset line reads 0, an unset file "".
    int declarationLine() const { return declarationLine_; }
    const std::string& declarationFile() const { return declarationFile_; }
    void setLocation(const std::string& file, int line)
    {
        declarationFile_ = file;
        declarationLine_ = line;
    }

protected:
    int kind_ = CODE_NONE;
    int baseCode_ = CODE_NONE;
    int level_ = 0;
    int signCode_ = CODE_NONE;
    int busy_ = 0;  // recursion guard of collectTypes in classType and unionType
    std::string name_;
    int declarationLine_ = 0;
    std::string declarationFile_;
};

// Primitive and enumeration types; the name is the C name of the codes.
class primType : public Type {
public:
    primType(int baseCode, int signCode);
    int isVoid() const override;
    int isChar() const override;
    int collectTypes(typeList& list) override;
    std::string freeMacroName() const override;
    std::string xdrRoutineName() const override;

    // CODE_UNSIGNED or CODE_NONE; call setCName() afterwards.
    void setSign(int signCode) { signCode_ = signCode; }
    // Sets the name from the base and sign codes: "u_int", "char", "void"...
    void setCName();
};

// A typedef alias, or an anonymous alias that normalisation inserts.
class typedefType : public Type {
public:
    explicit typedefType(Type* aliased);
    int collectTypes(typeList& list) override;
    int isNotFixedArray() const override;
    int isPointerLike() const override;
    int isFixedArray() const override;
    Type* resolve() override;
    Type* normalize(int level) override;
    int isByte() const override;
    std::string mallocCode(const std::string& prefix, const std::string& name) const override;
    std::string freeCode(const std::string& prefix, const std::string& name) const override;
    std::string copyCode(const std::string& dstPrefix, const std::string& dstName,
                         const std::string& srcPrefix, const std::string& srcName,
                         int flag) const override;
    std::string emitDeclaration(std::ostream& out) override;
    std::string emitXdrRoutine(std::ostream& out) override;

    Type* aliased() const { return aliased_; }
    // Stores the aliased type; an aliased struct or union takes this
    // typedef's current name as its typedef name.
    void setAliased(Type* t);
    // 1 for a typedef that normalisation inserted (named by a tag name).
    int isInserted() const { return inserted_; }
    void markInserted() { inserted_ = 1; }

private:
    Type* aliased_;
    int inserted_ = 0;
};

// One level of pointer.
class refType : public Type {
public:
    explicit refType(Type* elementType);
    int indirectionDepth() const override;
    void addElementType(Type* t) override;
    int collectTypes(typeList& list) override;
    int isPointerLike() const override;
    Type* normalize(int level) override;
    std::string tagName() const override;
    std::string cTypeText() const override;
    std::string xdrSignature() const override;
    std::string freeMacroName() const override;
    std::string xdrCall(const std::string& xdrs, const std::string& prefix,
                        const std::string& name) const override;
    std::string mallocCode(const std::string& prefix, const std::string& name) const override;
    std::string freeCode(const std::string& prefix, const std::string& name) const override;
    std::string xdrRoutineName() const override;

    Type* elementType() const { return eleType; }

    Type* eleType;  // the pointed-to type; null until a base type is attached
};

// One level of array: fixed (`int v[10]`) or variable-length (`int [..] v`).
class arrayType : public Type {
public:
    explicit arrayType(Type* elementType);
    int indirectionDepth() const override;
    void addElementType(Type* t) override;
    int collectTypes(typeList& list) override;
    int isNotFixedArray() const override;
    int isPointerLike() const override;
    int isFixedArray() const override;
    Type* normalize(int level) override;
    std::string tagName() const override;
    std::string declarator(Symbol* symbol) const override;
    std::string xdrSignature() const override;
    std::string freeMacroName() const override;
    std::string xdrCall(const std::string& xdrs, const std::string& prefix,
                        const std::string& name) const override;
    std::string mallocCode(const std::string& prefix, const std::string& name) const override;
    std::string freeCode(const std::string& prefix, const std::string& name) const override;
    std::string copyCode(const std::string& dstPrefix, const std::string& dstName,
                         const std::string& srcPrefix, const std::string& srcName,
                         int flag) const override;
    std::string xdrRoutineName() const override;

    void markVariable() { variable = 1; }
    Type* elementType() const { return eleType; }
    // 1 for a fixed array whose elements are variable-length arrays (such
    // as strings): each element is a buffer of its own.
    int holdsBuffers() const;
    // The same of a type, through typedefs.
    static int holdsBuffers(Type* t);

    // Bracket attributes (size, maxsize, a bare bound): applied in list order.
    void applyAttributes(property* head);
    void applyAttribute(property* attribute);
    // C text of the element count and of the bound; p1 is the member prefix,
    // p2 the member name (it stands in for an empty prefix).
    std::string sizeText(const std::string& p1, const std::string& p2) const;
    std::string maxsizeText(const std::string& p1, const std::string& p2) const;
    // Adds the variables named in size, then in maxsize.
    void collectSizeVars(symbolSet& vars) const;

    Type* eleType;                  // the element type
    int variable = 0;               // 1 for a variable-length array
    expression* maxsize = nullptr;  // the bound
    expression* size = nullptr;     // the variable holding the element count
};

// 1 for a pointer or array level (a type whose indirectionDepth is not
// zero). Asked through the kind, so that a type of many levels is not
// walked down to its base.
int isLevel(const Type* t);
// The element of a pointer or array level; null for any other type.
Type* elementOf(const Type* t);

// The discriminated union (`union switch (d) { case v: m; ... }`).
class unionType : public Type {
public:
    explicit unionType(int level);
    int collectTypes(typeList& list) override;
    std::string declarator(Symbol* symbol) const override;
    std::string freeMacroName() const override;
    std::string xdrCall(const std::string& xdrs, const std::string& prefix,
                        const std::string& name) const override;
    std::string xdrRoutineName() const override;

    // 1 when added, 0 when an arm of that name exists.
    int addArm(Symbol* arm);
    // Adds every arm of the set; the number refused (0 for a null set).
    int addArms(symbolSet* arms);
    Symbol* findArm(Symbol* arm) const;
    void setSwitch(expression* discriminant) { switch_exp = discriminant; }

    symbolSet arms;                    // one Symbol per case, with its case value
    expression* switch_exp = nullptr;  // the discriminant
};

// Structs, C unions and the generated argument records.
class classType : public Type {
public:
    classType(const std::string& name, int level);
    int collectTypes(typeList& list) override;
    std::string name() const override;
    std::string cTypeText() const override;
    std::string xdrSignature() const override;
    std::string xdrRoutineName() const override;
    std::string emitDeclaration(std::ostream& out) override;
    std::string emitXdrRoutine(std::ostream& out) override;
    // The routine with `decodeChecks` (statements over the decoded members
    // that may refuse the value) behind the members' statements.
    std::string emitXdrRoutine(std::ostream& out, const std::string& decodeChecks);
    void dump(std::ostream& out) const override;
    // Writes the result record's allocation function; returns the text.
    virtual std::string emitMallocHelper(std::ostream& out);
    // Writes the result record's release function; returns the text.
    virtual std::string emitFreeHelper(std::ostream& out);

    // 1 when added, 0 when a member of that name exists.
    int addMember(Symbol* member);
    // Adds every member of the set; the number refused (0 for a null set).
    int addMembers(symbolSet* members);
    Symbol* findMember(Symbol* member) const;
    // 1 when the class has no member.
    int isEmpty() const { return members.isEmpty(); }

    int keyword() const { return keyword_; }
    void setKeyword(int keyword) { keyword_ = keyword; }
    const std::string& typedefName() const { return typedefName_; }
    void setTypedefName(const std::string& name) { typedefName_ = name; }
    void markArgRecord() { argRecord_ = 1; }
    // 1 for a tag named before its body was read (`struct t *p;`); the body,
    // when it comes, fills this same object, so that the earlier uses see it.
    int isIncomplete() const { return incomplete_; }
    void markIncomplete() { incomplete_ = 1; }
    // The body of the tag is being read at scope `level`.
    void completeAt(int level)
    {
        incomplete_ = 0;
        level_ = level;
    }
    int isArgRecord() const { return argRecord_ == 1; }
    // The argument record of a procedure (not its result record): the
    // server decodes it into storage its dispatcher gave.
    void markArgumentsRecord() { argumentsRecord_ = 1; }
    int isArgumentsRecord() const { return argumentsRecord_; }

    // Generated names of a record's helpers: "malloc_<record>",
    // "mfree_<record>" and the call "malloc_<record>(<arguments>)".
    std::string mallocHelperName() const;
    std::string freeHelperName() const;
    std::string mallocHelperCall(const std::string& arguments) const;

    symbolSet members;

private:
    int keyword_ = CODE_STRUCT;
    int argRecord_ = 0;
    int argumentsRecord_ = 0;
    int incomplete_ = 0;
    std::string typedefName_;
};

// An enumeration definition as written: its tag ("" when none) and its
// constants in order, each with the text of the value written for it (""
// where the value is the one before plus one, as in C).
struct enumeration {
    struct constant {
        std::string name;
        std::string value;
        // The constant's number, when its value is written as a number or
        // counts on from one that is (known is 0 otherwise).
        std::int64_t number;
        int known;
    };
    std::string tag;
    std::vector<constant> constants;
};
// The enumeration definitions of the interface file, in file order. Values
// of an enumeration type travel as enum_t; the headers declare these so
// that generated and hand-written code can name the constants.
extern std::vector<enumeration*> declaredEnumerations;
// The constant `name` of declaredEnumerations; null when there is none.
const enumeration::constant* findEnumerationConstant(const std::string& name);
// Writes the declarations of declaredEnumerations; returns the same text.
std::string emitEnumerationDeclarations(std::ostream& out);

#endif
