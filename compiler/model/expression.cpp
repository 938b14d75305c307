#include "model/expression.h"

#include "model/generated_identifiers.h"
#include "model/token_table.h"
#include "model/symbol.h"

primExp* const thisExpression = new primExp();
const char* const returnMemberName = "_vlrpc_return_";

int expression::isConstant() const { return 0; }
int expression::isPointerLike() const { return 0; }

std::string expression::sizeCodeText(const std::string& prefix, const std::string& thisText) const
{
    return "((unsigned long long)(" + codeText(prefix, thisText) + "))";
}

std::string expression::valueCodeText(const std::string& prefix, const std::string& thisText) const
{
    return "((long long)(" + codeText(prefix, thisText) + "))";
}

int expression::mayBeUndefined() const { return 0; }

namespace {

// Operators whose C result over ints may trap or be undefined.
int isArithmetic(int op)
{
    return op == '+' || op == '-' || op == '*' || op == '/' || op == '%' || op == OP_LSHIFT ||
           op == OP_RSHIFT;
}

// A value that may be undefined, as a size (see valueCodeText).
std::string checkedSize(const expression* e, const std::string& prefix, const std::string& thisText)
{
    return std::string(valueSizeFunction) + "(" + e->valueCodeText(prefix, thisText) + ")";
}

}  // namespace

// ---------------------------------------------------------------- binaryExp

binaryExp::binaryExp(expression* left, int op, expression* right) : op(op), right(right), left(left)
{
}

std::string binaryExp::codeText(const std::string& prefix, const std::string& thisText) const
{
    if (!left || !right || op == CODE_NONE)
        return "";
    return "(" + left->codeText(prefix, thisText) + tokenText(op) +
           right->codeText(prefix, thisText) + ")";
}

// Arithmetic and shifts go through the header's saturating size functions
// (shifts of constants keep their text); any other operator (a comparison)
// is evaluated as C evaluates it, or as a checked value where its operands
// hold arithmetic that may be undefined.
std::string binaryExp::sizeCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (!left || !right)
        return expression::sizeCodeText(prefix, thisText);
    std::string function = sizeOperatorFunction(op);
    if (function.empty() && !isConstant())
        function = sizeShiftFunction(op);
    if (!function.empty())
        return function + "(" + left->sizeCodeText(prefix, thisText) + ", " +
               right->sizeCodeText(prefix, thisText) + ")";
    if (mayBeUndefined())
        return checkedSize(this, prefix, thisText);
    return expression::sizeCodeText(prefix, thisText);
}

// Parts without arithmetic keep C's own text.
std::string binaryExp::valueCodeText(const std::string& prefix, const std::string& thisText) const
{
    const std::string function = valueOperatorFunction(op);
    if (function.empty() || !mayBeUndefined())
        return expression::valueCodeText(prefix, thisText);
    return function + "(" + left->valueCodeText(prefix, thisText) + ", " +
           right->valueCodeText(prefix, thisText) + ")";
}

int binaryExp::mayBeUndefined() const
{
    if (!left || !right || isConstant())
        return 0;
    return isArithmetic(op) || left->mayBeUndefined() || right->mayBeUndefined();
}

std::string binaryExp::plainText() const
{
    return (left ? left->plainText() : "") + (right ? right->plainText() : "");
}

void binaryExp::collectVars(symbolSet& vars) const
{
    if (left)
        left->collectVars(vars);
    if (right)
        right->collectVars(vars);
}

int binaryExp::isConstant() const
{
    return left && right && left->isConstant() && right->isConstant();
}

// ---------------------------------------------------------------- unaryExp

unaryExp::unaryExp(int op, expression* operand) : op(op), operand(operand) { }

std::string unaryExp::codeText(const std::string& prefix, const std::string& thisText) const
{
    if (!operand || op == CODE_NONE)
        return "";
    return "(" + tokenText(op) + operand->codeText(prefix, thisText) + ")";
}

std::string unaryExp::sizeCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (mayBeUndefined())
        return checkedSize(this, prefix, thisText);
    return expression::sizeCodeText(prefix, thisText);
}

// Without arithmetic the value is C's own; the dereference and the
// address of a variable have no checked form.
std::string unaryExp::valueCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (!mayBeUndefined())
        return expression::valueCodeText(prefix, thisText);
    if (op == '+')
        return operand->valueCodeText(prefix, thisText);
    const std::string function = valueUnaryFunction(op);
    if (function.empty())
        return expression::valueCodeText(prefix, thisText);
    return function + "(" + operand->valueCodeText(prefix, thisText) + ")";
}

int unaryExp::mayBeUndefined() const
{
    if (!operand || isConstant())
        return 0;
    if (op == '*' || op == '&')
        return 0;
    return op == '-' || operand->mayBeUndefined();
}

std::string unaryExp::plainText() const { return operand ? operand->plainText() : ""; }

void unaryExp::collectVars(symbolSet& vars) const
{
    if (operand)
        operand->collectVars(vars);
}

int unaryExp::isConstant() const
{
    const bool constantOperator = op == '-' || op == '+' || op == '~';
    return operand && constantOperator && operand->isConstant();
}

// ---------------------------------------------------------------- condExp

condExp::condExp(expression* condition, expression* whenTrue, expression* whenFalse)
    : condition(condition),
      whenTrue(whenTrue),
      whenFalse(whenFalse)
{
}

std::string condExp::codeText(const std::string& prefix, const std::string& thisText) const
{
    if (!condition || !whenTrue || !whenFalse)
        return "";
    return "(" + condition->codeText(prefix, thisText) + " ? " +
           whenTrue->codeText(prefix, thisText) + " : " + whenFalse->codeText(prefix, thisText) +
           ")";
}

// The condition keeps its own type (a signed test such as return < 0);
// the branches are sizes. A condition that may be undefined is a checked
// value: when it cannot be computed, neither can the size.
std::string condExp::sizeCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (!condition || !whenTrue || !whenFalse)
        return expression::sizeCodeText(prefix, thisText);
    const std::string branches = whenTrue->sizeCodeText(prefix, thisText) + " : " +
                                 whenFalse->sizeCodeText(prefix, thisText);
    if (!condition->mayBeUndefined())
        return "(" + condition->codeText(prefix, thisText) + " ? " + branches + ")";
    const std::string test = condition->valueCodeText(prefix, thisText);
    return "(" + std::string(valueUnknownFunction) + "(" + test + ") ? ~0ULL : " + test + " ? " +
           branches + ")";
}

// A condition that cannot be computed is the value of the whole.
std::string condExp::valueCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (!condition || !whenTrue || !whenFalse || !mayBeUndefined())
        return expression::valueCodeText(prefix, thisText);
    const std::string test = condition->valueCodeText(prefix, thisText);
    return "(" + std::string(valueUnknownFunction) + "(" + test + ") ? " + test + " : " + test +
           " ? " + whenTrue->valueCodeText(prefix, thisText) + " : " +
           whenFalse->valueCodeText(prefix, thisText) + ")";
}

int condExp::mayBeUndefined() const
{
    return condition && whenTrue && whenFalse &&
           (condition->mayBeUndefined() || whenTrue->mayBeUndefined() ||
            whenFalse->mayBeUndefined());
}

std::string condExp::plainText() const
{
    return (condition ? condition->plainText() : "") + (whenTrue ? whenTrue->plainText() : "") +
           (whenFalse ? whenFalse->plainText() : "");
}

void condExp::collectVars(symbolSet& vars) const
{
    if (condition)
        condition->collectVars(vars);
    if (whenTrue)
        whenTrue->collectVars(vars);
    if (whenFalse)
        whenFalse->collectVars(vars);
}

int condExp::isConstant() const
{
    return condition && whenTrue && whenFalse && condition->isConstant() &&
           whenTrue->isConstant() && whenFalse->isConstant();
}

// ---------------------------------------------------------------- primExp

primExp::primExp() : symbol(nullptr) { }
primExp::primExp(Symbol* symbol) : symbol(symbol) { }

int primExp::isThis(const expression* e) { return e == thisExpression; }

std::string primExp::codeText(const std::string& prefix, const std::string& thisText) const
{
    if (isThis(this))
        return thisText;
    return symbol ? prefix + symbol->name() : "";
}

std::string primExp::plainText() const
{
    if (isThis(this))
        return "this";
    return symbol ? symbol->name() : "";
}

void primExp::collectVars(symbolSet& vars) const
{
    if (!isThis(this) && symbol)
        vars.add(symbol);
}

int primExp::isConstant() const { return 0; }

// ---------------------------------------------------------------- funcExp

funcExp::funcExp(const std::string& name, expressionList* arguments)
    : name(name),
      arguments(arguments)
{
}

std::string funcExp::codeText(const std::string& prefix, const std::string& thisText) const
{
    std::string text = name + "(";
    const char* separator = "";
    expressionList::cursor walk = expressionList::begin(arguments);
    while (expression* argument = walk.next()) {
        text += separator + argument->codeText(prefix, thisText);
        separator = ", ";
    }
    return text + ")";
}

std::string funcExp::plainText() const { return name; }

void funcExp::collectVars(symbolSet& vars) const
{
    expressionList::cursor walk = expressionList::begin(arguments);
    while (expression* argument = walk.next())
        argument->collectVars(vars);
}

// ---------------------------------------------------------------- liteExp

void liteExp::setInt(std::int64_t newValue)
{
    value = newValue;
    kind = LITERAL_INTEGER;
}

void liteExp::setText(const std::string& newText)
{
    text = newText;
    kind = LITERAL_TEXT;
}

std::string liteExp::codeText(const std::string&, const std::string&) const { return plainText(); }

std::string liteExp::sizeCodeText(const std::string& prefix, const std::string& thisText) const
{
    if (kind == LITERAL_INTEGER && value >= 0)
        return std::to_string(value) + "ULL";
    return expression::sizeCodeText(prefix, thisText);
}

std::string liteExp::plainText() const
{
    if (kind == LITERAL_INTEGER)
        return std::to_string(value);
    if (kind == LITERAL_TEXT)
        return text;
    return "";
}

void liteExp::collectVars(symbolSet&) const { }

int liteExp::isConstant() const { return 1; }

// ---------------------------------------------------------------- expressionList

expression* expressionList::cursor::next()
{
    if (!current_ || !current_->value_)
        return nullptr;
    expression* e = current_->value_;
    current_ = current_->next_;
    return e;
}

int expressionList::add(expression* e)
{
    if (!e)
        return 1;
    expressionList* last = this;
    while (last->next_)
        last = last->next_;
    last->value_ = e;
    last->next_ = new expressionList();
    return 1;
}
