// Expressions: code text with a prefix, plain text, collected variables and
// constness.
#include <gtest/gtest.h>

#include "model/expression.h"
#include "model/symbol.h"

namespace {

liteExp* number(long v)
{
    liteExp* e = new liteExp();
    e->setInt(v);
    return e;
}

primExp* variable(const char* name) { return new primExp(new Symbol(name, 0)); }

std::vector<std::string> names(const symbolSet& set)
{
    std::vector<std::string> out;
    symbolSet::cursor walk = symbolSet::begin(&set);
    while (Symbol* s = walk.next())
        out.push_back(s->name());
    return out;
}

TEST(ExpressionText, InfixPrefixAndNesting)
{
    expression* e =
        new binaryExp(variable("a"), '+', new binaryExp(variable("b"), '*', variable("c")));
    EXPECT_EQ(e->codeText(""), "(a+(b*c))");
    EXPECT_EQ(e->codeText("p->"), "(p->a+(p->b*p->c))");
    EXPECT_EQ(e->plainText(), "abc");
    EXPECT_EQ(e->isConstant(), 0);
}

TEST(ExpressionText, EveryOperatorCode)
{
    struct opCase {
        int code;
        const char* text;
    };
    const opCase infix[] = {
        {'&', "&"},        {'^', "^"}, {'|', "|"}, {OP_AND, "&&"}, {OP_OR, "||"}, {OP_EQ, "=="},
        {OP_NE, "!="},     {'<', "<"}, {'>', ">"}, {OP_LE, "<="},  {OP_GE, ">="}, {OP_LSHIFT, "<<"},
        {OP_RSHIFT, ">>"}, {'+', "+"}, {'-', "-"}, {'*', "*"},     {'/', "/"},    {'%', "%"}};
    for (const opCase& c : infix) {
        binaryExp e(variable("a"), c.code, variable("b"));
        EXPECT_EQ(e.codeText(""), std::string("(a") + c.text + "b)") << c.code;
    }
    const opCase prefix[] = {{'*', "*"}, {'-', "-"}, {'~', "~"}, {'&', "&"}, {'+', "+"}};
    for (const opCase& c : prefix) {
        unaryExp e(c.code, variable("x"));
        EXPECT_EQ(e.codeText(""), std::string("(") + c.text + "x)") << c.code;
        EXPECT_EQ(e.plainText(), "x");
    }
}

TEST(ExpressionText, LiteralsAndConditional)
{
    unaryExp minusOne('-', number(1));
    EXPECT_EQ(minusOne.codeText("p->"), "(-1)");
    EXPECT_EQ(minusOne.plainText(), "1");
    EXPECT_EQ(minusOne.isConstant(), 1);
    EXPECT_EQ(number(0x10)->codeText("p->"), "16");
    EXPECT_EQ(number(-5)->plainText(), "-5");
    liteExp text;
    text.setText("\"abc\"");
    EXPECT_EQ(text.codeText("p->"), "\"abc\"");
    EXPECT_EQ(text.kind, LITERAL_TEXT);
    condExp cond(variable("c"), number(1), number(2));
    EXPECT_EQ(cond.codeText(""), "(c ? 1 : 2)");
    EXPECT_EQ(cond.plainText(), "c12");
    EXPECT_EQ(cond.isConstant(), 0);
    EXPECT_EQ(condExp(number(0), number(1), number(2)).isConstant(), 1);
}

TEST(ExpressionText, MissingPartsVanish)
{
    EXPECT_EQ(binaryExp(nullptr, '+', number(1)).codeText(""), "");
    EXPECT_EQ(binaryExp(number(1), CODE_NONE, number(1)).codeText(""), "");
    EXPECT_EQ(unaryExp('-', nullptr).codeText(""), "");
    EXPECT_EQ(unaryExp(CODE_NONE, number(1)).codeText(""), "");
    EXPECT_EQ(condExp(nullptr, number(1), number(2)).codeText(""), "");
    EXPECT_EQ(binaryExp(nullptr, '+', number(1)).isConstant(), 0);
    EXPECT_EQ(primExp(nullptr).codeText("p->"), "");
    EXPECT_EQ(primExp(nullptr).plainText(), "");
    EXPECT_EQ(liteExp().plainText(), "");
}

TEST(ExpressionThisAndReturn, ThisIsThePrefix)
{
    EXPECT_EQ(thisExpression->codeText("pVar->"), "pVar->");
    EXPECT_EQ(thisExpression->plainText(), "this");
    EXPECT_EQ(primExp::isThis(thisExpression), 1);
    primExp lookalike;  // a null Symbol is not enough: identity counts
    EXPECT_EQ(primExp::isThis(&lookalike), 0);
    EXPECT_EQ(lookalike.codeText("pVar->"), "");
    symbolSet vars;
    thisExpression->collectVars(vars);
    EXPECT_EQ(vars.isEmpty(), 1);

    primExp ret(new Symbol(returnMemberName, 0));
    EXPECT_EQ(ret.codeText("pOut->"), "pOut->_vlrpc_return_");
    ret.collectVars(vars);
    EXPECT_EQ(names(vars), std::vector<std::string>{"_vlrpc_return_"});
}

TEST(ExpressionFunctions, ArgumentsCarryThePrefix)
{
    expressionList* args = new expressionList();
    args->add(variable("n"));
    args->add(number(2));
    funcExp f("f", args);
    EXPECT_EQ(f.codeText("P"), "f(Pn, 2)");
    EXPECT_EQ(f.plainText(), "f");
    EXPECT_EQ(f.isConstant(), 0);
    symbolSet vars;
    f.collectVars(vars);
    EXPECT_EQ(names(vars), std::vector<std::string>{"n"});
    EXPECT_EQ(funcExp("f", nullptr).codeText("P"), "f()");
    EXPECT_EQ(funcExp("f", new expressionList()).codeText("P"), "f()");
}

TEST(ExpressionVariables, EachCollectedOnceInOrder)
{
    expression* e =
        new binaryExp(new binaryExp(variable("n"), '*', variable("n")), '+', variable("m"));
    symbolSet vars;
    e->collectVars(vars);
    EXPECT_EQ(names(vars), (std::vector<std::string>{"n", "m"}));
    symbolSet condVars;
    condExp(variable("c"), variable("t"), variable("f")).collectVars(condVars);
    EXPECT_EQ(names(condVars), (std::vector<std::string>{"c", "t", "f"}));
}

TEST(ExpressionConstness, OperatorsDecide)
{
    EXPECT_EQ(unaryExp('*', variable("p")).isConstant(), 0);
    EXPECT_EQ(unaryExp('&', number(1)).isConstant(), 0);
    EXPECT_EQ(unaryExp('~', number(1)).isConstant(), 1);
    EXPECT_EQ(unaryExp('+', number(1)).isConstant(), 1);
    EXPECT_EQ(binaryExp(number(2), '*', number(3)).isConstant(), 1);
    EXPECT_EQ(binaryExp(number(2), '*', variable("N")).isConstant(), 0);
    EXPECT_EQ(thisExpression->isConstant(), 0);
    EXPECT_EQ(number(1)->isPointerLike(), 0);
    EXPECT_EQ(variable("p")->isPointerLike(), 0);
}

// Arithmetic over variables may trap or be undefined in C; its size and
// checked-value texts go through the header's functions, while constants
// and tests without arithmetic keep their text.
TEST(ExpressionChecked, ArithmeticOverVariablesGoesThroughTheHelpers)
{
    const std::string n = "((unsigned long long)(p->n))", k = "((unsigned long long)(p->k))";
    const std::string vn = "((long long)(p->n))", vd = "((long long)(p->d))";
    struct checkedCase {
        expression* e;
        int mayBeUndefined;
        std::string size;
        std::string value;
    };
    const std::string quotient = "vlrpc_value_div(" + vn + ", " + vd + ")";
    const std::string test = "vlrpc_value_gt(" + quotient + ", ((long long)(8)))";
    const checkedCase cases[] = {
        {new binaryExp(number(1), OP_LSHIFT, variable("k")), 1, "vlrpc_size_shl(1ULL, " + k + ")",
         "vlrpc_value_shl(((long long)(1)), ((long long)(p->k)))"},
        {new binaryExp(variable("n"), OP_RSHIFT, variable("k")), 1,
         "vlrpc_size_shr(" + n + ", " + k + ")",
         "vlrpc_value_shr(" + vn + ", ((long long)(p->k)))"},
        {new unaryExp('-', variable("n")), 1, "vlrpc_value_size(vlrpc_value_neg(" + vn + "))",
         "vlrpc_value_neg(" + vn + ")"},
        {new condExp(
             new binaryExp(new binaryExp(variable("n"), '/', variable("d")), '>', number(8)),
             number(8), new binaryExp(variable("n"), '/', variable("d"))),
         1,
         "(vlrpc_value_unknown(" + test + ") ? ~0ULL : " + test + " ? 8ULL : vlrpc_size_div(" + n +
             ", ((unsigned long long)(p->d))))",
         "(vlrpc_value_unknown(" + test + ") ? " + test + " : " + test +
             " ? ((long long)(8)) : " + quotient + ")"},
        // No arithmetic, or constants only: the text stays C's own.
        {new binaryExp(variable("n"), '<', number(0)), 0, "((unsigned long long)((p->n<0)))",
         "((long long)((p->n<0)))"},
        {new binaryExp(number(1), OP_LSHIFT, number(3)), 0, "((unsigned long long)((1<<3)))",
         "((long long)((1<<3)))"},
        {new unaryExp('-', number(1)), 0, "((unsigned long long)((-1)))", "((long long)((-1)))"},
        {variable("n"), 0, n, vn},
    };
    for (const checkedCase& c : cases) {
        SCOPED_TRACE(c.e->codeText("p->"));
        EXPECT_EQ(c.e->mayBeUndefined(), c.mayBeUndefined);
        EXPECT_EQ(c.e->sizeCodeText("p->"), c.size);
        EXPECT_EQ(c.e->valueCodeText("p->"), c.value);
    }
}

TEST(ExpressionListTest, NullIsNotAddedAndDuplicatesAre)
{
    expressionList list;
    EXPECT_EQ(list.add(nullptr), 1);
    expressionList::cursor empty = expressionList::begin(&list);
    EXPECT_EQ(empty.next(), nullptr);
    expression* n = number(1);
    EXPECT_EQ(list.add(n), 1);
    EXPECT_EQ(list.add(n), 1);
    expressionList::cursor walk = expressionList::begin(&list);
    EXPECT_EQ(walk.next(), n);
    EXPECT_EQ(walk.next(), n);
    EXPECT_EQ(walk.next(), nullptr);
    expressionList::cursor none = expressionList::begin(nullptr);
    EXPECT_EQ(none.next(), nullptr);
}

}  // namespace
