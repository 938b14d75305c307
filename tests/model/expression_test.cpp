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
