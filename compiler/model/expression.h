// Expression trees of the interface language (array bounds and sizes,
// property values, case labels and discriminants). Nothing evaluates them:
// they are asked for C text (plain, as a 64-bit size or as a checked int),
// plain text, the variables they name and whether they are constant.
#ifndef VELORIN_MODEL_EXPRESSION_H
#define VELORIN_MODEL_EXPRESSION_H

#include <cstdint>
#include <string>

#include "model/codes.h"

class Symbol;
class symbolSet;
class expressionList;

class expression {
public:
    // C text in which every variable name carries `prefix`; `this` gives
    // thisText.
    virtual std::string codeText(const std::string& prefix, const std::string& thisText) const = 0;
    // As above, with `this` standing for the prefix itself.
    std::string codeText(const std::string& prefix) const { return codeText(prefix, prefix); }
    // Text without operators (for identifiers and case labels).
    virtual std::string plainText() const = 0;
    // Adds every variable the expression names to `vars`, once each.
    virtual void collectVars(symbolSet& vars) const = 0;
    // 1 when the expression is built of literals and constant operators.
    virtual int isConstant() const;
    // 0 for every expression.
    virtual int isPointerLike() const;
    // C text of the value as a size of generated code: an unsigned 64-bit
    // value whose arithmetic saturates at the largest value on overflow (and
    // on a division by zero), so that a result no 32-bit count can carry is
    // never mistaken for a small one. A negative value converts to a huge one.
    virtual std::string sizeCodeText(const std::string& prefix, const std::string& thisText) const;
    std::string sizeCodeText(const std::string& prefix) const
    {
        return sizeCodeText(prefix, prefix);
    }
    // C text of the value as a checked int of generated code (a long long):
    // an operation that C could trap on or leave undefined over the values
    // a peer sent (a division by zero, a result outside int, a shift by 32)
    // gives the one value that no int takes, and every operation keeps it.
    // Constants keep their text.
    virtual std::string valueCodeText(const std::string& prefix, const std::string& thisText) const;
    std::string valueCodeText(const std::string& prefix) const
    {
        return valueCodeText(prefix, prefix);
    }
    // 1 when C evaluating codeText over values a peer sent may trap or be
    // undefined: the expression holds arithmetic over a variable.
    virtual int mayBeUndefined() const;
};

// An operator between two operands.
class binaryExp : public expression {
public:
    binaryExp(expression* left, int op, expression* right);
    using expression::codeText;
    using expression::sizeCodeText;
    using expression::valueCodeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string sizeCodeText(const std::string& prefix, const std::string& thisText) const override;
    std::string valueCodeText(const std::string& prefix,
                              const std::string& thisText) const override;
    int mayBeUndefined() const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;
    int isConstant() const override;

    int op;
    expression* right;
    expression* left;
};

// A prefix operator and its operand.
class unaryExp : public expression {
public:
    unaryExp(int op, expression* operand);
    using expression::codeText;
    using expression::sizeCodeText;
    using expression::valueCodeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string sizeCodeText(const std::string& prefix, const std::string& thisText) const override;
    std::string valueCodeText(const std::string& prefix,
                              const std::string& thisText) const override;
    int mayBeUndefined() const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;
    int isConstant() const override;

    int op;
    expression* operand;
};

// condition ? whenTrue : whenFalse
class condExp : public expression {
public:
    condExp(expression* condition, expression* whenTrue, expression* whenFalse);
    using expression::codeText;
    using expression::sizeCodeText;
    using expression::valueCodeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string sizeCodeText(const std::string& prefix, const std::string& thisText) const override;
    std::string valueCodeText(const std::string& prefix,
                              const std::string& thisText) const override;
    int mayBeUndefined() const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;
    int isConstant() const override;

    expression* condition;
    expression* whenTrue;
    expression* whenFalse;
};

// A variable (an identifier, "return") or, with a null Symbol, "this".
class primExp : public expression {
public:
    primExp();
    explicit primExp(Symbol* symbol);
    using expression::codeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;
    int isConstant() const override;

    // 1 only for the one thisExpression object itself.
    static int isThis(const expression* e);

    Symbol* symbol;
};

// A function call: name(arguments...).
class funcExp : public expression {
public:
    funcExp(const std::string& name, expressionList* arguments);
    using expression::codeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;

    std::string name;
    expressionList* arguments;  // may be null
};

// A number (LITERAL_INTEGER) or a string or character constant (LITERAL_TEXT).
class liteExp : public expression {
public:
    liteExp() = default;
    void setInt(std::int64_t value);
    void setText(const std::string& text);
    using expression::codeText;
    using expression::sizeCodeText;
    std::string codeText(const std::string& prefix, const std::string& thisText) const override;
    std::string sizeCodeText(const std::string& prefix, const std::string& thisText) const override;
    std::string plainText() const override;
    void collectVars(symbolSet& vars) const override;
    int isConstant() const override;

    std::string text;
    std::int64_t value = 0;
    int kind = CODE_NONE;
};

// Arguments of a funcExp, in order. The list object is its own first node
// and the chain always ends with an empty node.
class expressionList {
public:
    // Walks a list: next() gives each expression, then null.
    class cursor {
    public:
        explicit cursor(const expressionList* node) : current_(node) { }
        expression* next();

    private:
        const expressionList* current_;
    };

    expressionList() = default;
    // Appends a non-null expression; always 1.
    int add(expression* e);
    static cursor begin(const expressionList* list) { return cursor(list); }

private:
    expressionList* next_ = nullptr;
    expression* value_ = nullptr;
};

// The one expression that stands for "this", for the whole run.
extern primExp* const thisExpression;

// Name of the result member of <proc>_out_t, which "return" denotes.
extern const char* const returnMemberName;

#endif
