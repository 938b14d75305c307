// What the grammar accepts and where it stops: each text either parses
// without a syntax error or ends the parse at its first error, whose report
// line is given exactly.
#include <gtest/gtest.h>

#include "parse_support.h"

namespace {

struct GrammarCase {
    const char* source;
    const char* firstError;  // null: the text is accepted
};

std::string nearToken(const std::string& token)
{
    return "Syntax error: \"case.x\"(1)  near token " + token;
}

void expectCases(const std::vector<GrammarCase>& cases)
{
    for (const GrammarCase& c : cases) {
        SCOPED_TRACE(c.source);
        ParseRun run = parse(c.source);
        if (!c.firstError) {
            EXPECT_EQ(run.result, 0);
            EXPECT_EQ(run.syntaxErrors, 0);
            EXPECT_EQ(run.errors.find("Syntax error"), std::string::npos) << run.errors;
            EXPECT_TRUE(run.programSet);
        } else {
            EXPECT_EQ(run.result, 1);
            EXPECT_EQ(run.syntaxErrors, 1);
            EXPECT_EQ(run.firstErrorLine(), nearToken(c.firstError));
        }
    }
}

const char* const block = " interface I { int f(); } 1;";

std::string decl(const char* text) { return std::string(text) + block; }

}  // namespace

TEST(Grammar, ProgramBlockShapes)
{
    expectCases({
        {"", ""},
        {"int a; struct s { int x; };", ""},
        {"interface I { int f(); } 1;", nullptr},
        {"interface I { int f(); } = 1;", nullptr},
        {"interface I { int f(); } = 0x1f;", nullptr},
        {"interface I { int f(); } = 017;", nullptr},
        {"program P { version V { int f(); } = 1; } = 100;", nullptr},
        {"program P { version V { int f(); } 1; } = 100;", "1"},
        {"program P { version V { int f(); } = 1; } 100;", "100"},
        {"program P { } = 1;", "}"},
        {"program P { version V { } = 1; } = 1;", "}"},
        {"interface I { } 1;", "}"},
        {"interface I { int f(); } 1; ;", ";"},
        {"interface I { int f(); } 1; int x;", "int"},
        {"interface I { int f(); } 1; interface J { int g(); } 2;", "interface"},
        {"interface I { int f(); } = -1;", "-"},
        {"interface I { int f(); } = 'a';", "'a'"},
        {"interface I { int f(); } = (1);", "("},
        {"interface I { int f(); } = 1", ""},
    });
}

TEST(Grammar, PropertiesAndProcedureNumbers)
{
    expectCases({
        {"interface I { property TIMEOUT_VALUE = 30; property SERV_CALL_PREFIX = my_; int f(); } 1;",
         nullptr},
        {"interface I { property TIMEOUT_VALUE = \"x\"; property VERSION = 'c'; int f(); } 1;", nullptr},
        {"interface I { property TIMEOUT_VALUE = -1; int f(); } 1;", "-"},
        {"interface I { property TIMEOUT_VALUE = (1); int f(); } 1;", "("},
        {"interface I { property TIMEOUT_VALUE = 1+1; int f(); } 1;", "+"},
        {"interface I { int f() { property FORK_ON_CALL = true; } = 3; } 1;", nullptr},
        {"interface I { int f() = 3 { property FORK_ON_CALL = true; }; } 1;", "{"},
        {"interface I { int f() { }; } 1;", nullptr},
        {"interface I { int f() = 3; int g() = 0x4; } 1;", nullptr},
        {"program P { property VERSION = 2; version V { property FORK_ON_CALL = true; int f(); } = 1; } = 9;",
         nullptr},
    });
}

TEST(Grammar, Parameters)
{
    expectCases({
        {"interface I { int f(void); } 1;", ")"},
        {"interface I { int f(int a, ); } 1;", ")"},
        {"interface I { int f(in int a, out int *b, inout char c, IN int d, OUT int *e, INOUT int g); } 1;",
         nullptr},
        {"interface I { int f(in const char* s, volatile int v); } 1;", nullptr},
        {"interface I { int f(const in char* s); } 1;", "in"},
        {"interface I { int f(int const x); } 1;", "const"},
        {"interface I { int f(int * const x); } 1;", "const"},
        {"interface I { int f(struct p { int a; } q); } 1;", nullptr},
        {"struct s { int a; }; interface I { struct s { int b; } f(); } 1;", "{"},
        {"interface I { char **get(in int key); int *[10] h(); } 1;", nullptr},
        {"interface I { int f(int (*a)[3], int [size = n] b, int n); } 1;", nullptr},
        {"interface I { in f(); } 1;", "in"},
    });
}

TEST(Grammar, Declarations)
{
    expectCases({
        {decl("int a, b;").c_str(), ","},
        {decl("const volatile int a;").c_str(), nullptr},
        {decl("struct s { int a, b; };").c_str(), nullptr},
        {decl("typedef int a, b;").c_str(), ","},
        {decl("unsigned x;").c_str(), "x"},
        {decl("unsigned double d; unsigned void v; unsigned char c;").c_str(), nullptr},
        {decl("long long x;").c_str(), "long"},
        {decl("short int a; long int b; long c; short d;").c_str(), nullptr},
        {decl("typedef int T; unsigned T x;").c_str(), "T"},
        {decl("typedef struct { int a; } T; typedef T *TP; TP p;").c_str(), nullptr},
        {decl("int f(int a, int b); int *g(); char **h(int [10] x);").c_str(), nullptr},
        {decl("enum E { A = B };").c_str(), "B"},
        {decl("enum E { A = \"s\", B = 1, C = 'c', D };").c_str(), nullptr},
        {decl("enum E { A, };").c_str(), "}"},
        {decl("enum { A } x;").c_str(), "x"},
        {decl("typedef enum { A } T; enum E e;").c_str(), nullptr},
        {decl("struct s { };").c_str(), nullptr},
        {decl("struct { int a; } x;").c_str(), nullptr},
        {decl("struct s { struct t { int a; } b, c; enum e { X }; enum e d; typedef int u; };").c_str(),
         nullptr},
        {decl("struct s { enum e { X } d; };").c_str(), "d"},
        {decl("typedef int in; struct out { int inout; } version; int property;").c_str(), nullptr},
    });
}

TEST(Grammar, DiscriminatedUnions)
{
    expectCases({
        {decl("struct s { int k; union switch (k) { case 1: int x; case A: char *y; } u; };").c_str(),
         nullptr},
        {decl("struct s { union switch (k) { case 1: struct { int a; } x; } ; };").c_str(), nullptr},
        {decl("union switch (k) { case 1: int x; } u;").c_str(), "switch"},
        {decl("struct s { union switch (k) { } u; };").c_str(), "}"},
        {decl("struct s { union switch (k) { case 1: int x, y; } u; };").c_str(), ","},
        {decl("struct s { union switch (k) { case -1: int x; } u; };").c_str(), "-"},
        {decl("struct s { union switch (k) { default: int x; } u; };").c_str(), "default"},
    });
}

TEST(Grammar, DeclaratorsAndExpressions)
{
    expectCases({
        {decl("struct s { int [size = n] data; int n; int d[10]; int *a[3]; int (*b)[3]; };").c_str(),
         nullptr},
        {decl("struct s { int a[2][3]; char [maxsize = 10, size = n] b; int n; int *[] *c; };").c_str(),
         nullptr},
        {decl("struct s { int a[- -x]; };").c_str(), "-"},
        {decl("struct s { int a[-(-x)]; int b[~x+ +y*&z]; int c[return]; int d[this]; };").c_str(), nullptr},
        {decl("struct s { int a[x ? y : z ? 1 : 2]; int b[f()]; int c[g(x, y + 1)]; };").c_str(), nullptr},
        {decl("struct s { int a[x || y && z | w ^ v & u == t != r < q > p <= o >= n << m >> l]; };").c_str(),
         nullptr},
        {decl("struct s { int a[x % y / z * w - v + u]; int b[sizeof(x)]; };").c_str(), nullptr},
        {decl("struct s { int a[(x]; };").c_str(), "]"},
        {decl("struct s { int a[x = 1]; };").c_str(), nullptr},
        {decl("struct s { int a[x y]; };").c_str(), "y"},
        {decl("int (f)();").c_str(), "("},
    });
}

// Words and tokens the scanner delivers but no rule accepts.
TEST(Grammar, TokensNoRuleAccepts)
{
    expectCases({
        {"while", "while"},
        {"break", "break"},
        {"if", "if"},
        {"else", "else"},
        {"default", "default"},
        {decl("struct s { int a[1.5]; };").c_str(), "1.5"},
        {decl("struct s { int a[!x]; };").c_str(), "!"},
        {decl("struct s { int a[x.y]; };").c_str(), "."},
    });
}

// Nesting deepens the parser stacks: 200 entries at first, grown up to
// 10000; beyond that the parse ends with the same report as a syntax error.
TEST(Grammar, ParserStackLimit)
{
    auto nested = [](int depth) {
        return decl(("struct s { int a[" + std::string(depth, '(') + "1" + std::string(depth, ')') +
                     "]; };").c_str());
    };
    ParseRun deep = parse(nested(5000));
    EXPECT_EQ(deep.result, 0) << deep.firstErrorLine();
    EXPECT_EQ(deep.syntaxErrors, 0);

    ParseRun tooDeep = parse(nested(10001));
    EXPECT_EQ(tooDeep.result, 1);
    EXPECT_EQ(tooDeep.syntaxErrors, 1);
    EXPECT_EQ(tooDeep.firstErrorLine(), nearToken("("));
}

// Left-recursive rules build deep trees from a flat stack: a chain of
// operators or array suffixes may be as deep as the stack could grow and no
// deeper, so that later recursive work on the model cannot overflow the C
// stack. Beyond that the parse ends like a full stack, even for inputs far
// deeper than any stack.
TEST(Grammar, NestingLimitOfFlatChains)
{
    auto sum = [](int terms) {
        std::string bound = "x";
        for (int i = 1; i < terms; ++i)
            bound += "+x";
        return decl(("struct s { int (*p)[" + bound + "]; };").c_str());
    };
    auto suffixes = [](int prefixes, int count) {
        std::string levels;
        for (int i = 0; i < count; ++i)
            levels += "[1]";
        return decl(("struct s { int " + std::string(prefixes, '*') + "a" + levels + "; };").c_str());
    };
    struct LimitCase {
        std::string source;
        const char* firstError;
    };
    const LimitCase cases[] = {
        {sum(10000), nullptr},
        {sum(10001), "]"},
        {sum(300000), "+"},
        {suffixes(0, 10001), "]"},
        {suffixes(1, 10000), ";"},
        {suffixes(0, 200000), "]"},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.source.substr(0, 40));
        ParseRun run = parse(c.source);
        if (!c.firstError) {
            EXPECT_EQ(run.result, 0) << run.firstErrorLine();
        } else {
            EXPECT_EQ(run.result, 1);
            EXPECT_EQ(run.firstErrorLine(), nearToken(c.firstError));
        }
    }
}

// Long lists are left-recursive and do not deepen the stacks.
TEST(Grammar, LongListsNeedNoStack)
{
    std::string members;
    for (int i = 0; i < 20000; ++i)
        members += "int m" + std::to_string(i) + ";";
    ParseRun run = parse(decl(("struct big { " + members + " };").c_str()));
    EXPECT_EQ(run.result, 0) << run.firstErrorLine();
    EXPECT_EQ(run.syntaxErrors, 0);
}
