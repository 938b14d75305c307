// The parser's semantic errors and warnings: their exact text with the file
// and line of the preprocessor's line marker, and what they count.
#include <gtest/gtest.h>

#include "parse_support.h"

namespace {

struct DiagnosticCase {
    const char* source;  // followed by a minimal interface block
    const char* errors;  // the whole error stream
    int semanticErrors;
};

void expectDiagnostics(const std::vector<DiagnosticCase>& cases)
{
    for (const DiagnosticCase& c : cases) {
        SCOPED_TRACE(c.source);
        ParseRun run = parse(withBlock(c.source));
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.syntaxErrors, 0);
        EXPECT_EQ(run.errors, c.errors);
        EXPECT_EQ(run.semanticErrors, c.semanticErrors);
    }
}

}  // namespace

// The line is the one current when the action runs: the construct's last
// token, or the token after it when the parser had to read that first.
TEST(Diagnostics, DeclarationErrors)
{
    expectDiagnostics({
        {"foo x;", "Semantic error: \"case.x\"(1) type foo not defined up to this point.\n", 1},
        {"\n\nfoo\nx;", "Semantic error: \"case.x\"(3) type foo not defined up to this point.\n",
         1},
        {"# 10 \"other.x\"\nstruct s { bar *b; };",
         "Semantic error: \"other.x\"(10) type bar not defined up to this point.\n", 1},
        {"struct s {\n int a,\n a\n ;\n};", "Semantic error: \"case.x\"(4) a redeclared!\n", 1},
        {"struct s {\n int a;\n int a;\n};",
         "Semantic error: \"case.x\"(3)  one or more members redeclared for class  s\n", 1},
        {"struct s { int a; int a, b, a; };",
         "Semantic error: \"case.x\"(1) a redeclared!\n"
         "Semantic error: \"case.x\"(1)  one or more members redeclared for class  s\n",
         2},
        {"struct s {\n union switch (k) {\n case 1: int x;\n case 2: int x;\n } u;\n};",
         "Semantic error: \"case.x\"(5)  one or more members redeclared for union within  s\n", 1},
        {"struct s { int u; union switch (k) { case 1: int x; } u; union switch (j) { case 1: int y; }; "
         "union switch (i) { case 1: int z; }; };",
         "", 0},
        {"foo x; struct t { baz y; };",
         "Semantic error: \"case.x\"(1) type foo not defined up to this point.\n"
         "Semantic error: \"case.x\"(1) type baz not defined up to this point.\n",
         2},
    });
}

TEST(Diagnostics, Warnings)
{
    const std::string warning = " may lead to parse error in interface declaration.\n";
    expectDiagnostics({
        {"typedef int\n in\n;", ("Warning: \"case.x\"(3) using typedef name in" + warning).c_str(),
         0},
        {"typedef int IN; typedef char *out; typedef int OUT; typedef int inout; typedef int INOUT;",
         ("Warning: \"case.x\"(1) using typedef name IN" + warning +
          "Warning: \"case.x\"(1) using typedef name out" + warning +
          "Warning: \"case.x\"(1) using typedef name OUT" + warning +
          "Warning: \"case.x\"(1) using typedef name inout" + warning +
          "Warning: \"case.x\"(1) using typedef name INOUT" + warning)
             .c_str(),
         0},
        {"typedef int In; typedef int input;", "", 0},
        {"struct q { long double x; };",
         "Warning, type long double is not supported, changed to double\n", 0},
        {"struct t *p;", "struct or union t not defined\n", 0},
        {"struct a { struct b { int x; } y; }; struct b *q;", "struct or union b not defined\n", 0},
        {"struct node { struct node *next; }; union node *n;", "", 0},
        {"enum color c; struct s { enum color d; };", "", 0},
    });
}

TEST(Diagnostics, ProgramBlockErrors)
{
    struct BlockCase {
        const char* source;
        const char* errors;
        int semanticErrors;
    };
    const BlockCase cases[] = {
        {"program p {\n version a { int f(); } = 1;\n version b { int g(); } = 0x1;\n} = 100;",
         "Semantic error: \"case.x\"(3)  version P_1 is redeclared.\n", 1},
        {"program Prog { version a { int f(); } = 1; version b { int g(); } = 1; version c { int h(); } = 2; "
         "version d { int i(); } = 2; } = 100;",
         "Semantic error: \"case.x\"(1)  version PROG_1 is redeclared.\n"
         "Semantic error: \"case.x\"(1)  version PROG_2 is redeclared.\n",
         2},
        {"program p { version a { int f(); } = 1; version b { int f(); } = 2; } = 100;", "", 0},
        {"interface I {\n int f();\n int f();\n} 1;",
         "Semantic error: \"case.x\"(3) procedure f is redeclared.\n", 1},
        {"interface I { int f(int a, int a); } 1;", "", 0},
        {"interface I { property TIMEOUT_VALUE = 1; property FOO = 2; property BAR = 3; int f(); } 1;",
         "Wraning: unknown property FOO defined.\nWraning: unknown property BAR defined.\n", 0},
        // The first name of a block is checked like the others.
        {"interface I { property TIMOUT_VALUE = 1; int f() { property FORKON = 1; }; } 1;",
         "Wraning: unknown property TIMOUT_VALUE defined.\nWraning: unknown property FORKON "
         "defined.\n",
         0},
        // An unknown attribute is the array's counted error in any place.
        {"interface I { int f(in int [size = n, maxsiz = 3] d, int n); } 1;",
         "Error:  unkonwn array modifier maxsiz\n", 0},
        {"interface I { int f(in int [maxsiz = 3, size = n] d, int n); } 1;",
         "Error:  unkonwn array modifier maxsiz\n", 0},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.source);
        ParseRun run = parse(c.source);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.errors, c.errors);
        EXPECT_EQ(run.semanticErrors, c.semanticErrors);
        EXPECT_TRUE(run.programSet);
    }
}

// Semantic errors do not stop the parse; the first syntax error does, and
// everything found before it has been reported by then.
TEST(Diagnostics, SyntaxErrorAfterSemanticErrors)
{
    ParseRun run = parse("foo x;\nbar y;\nint a, b;\nbaz z;\ninterface I { int f(); } 1;");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.errors, "Semantic error: \"case.x\"(1) type foo not defined up to this point.\n"
                          "Semantic error: \"case.x\"(2) type bar not defined up to this point.\n"
                          "Syntax error: \"case.x\"(3)  near token ,\n");
    EXPECT_EQ(run.semanticErrors, 2);
    EXPECT_EQ(run.syntaxErrors, 1);
    EXPECT_FALSE(run.programSet);
}

// A lexical error ends the input: after a complete block the parse is
// accepted, inside the declarations it is a syntax error at that character.
TEST(Diagnostics, LexicalErrorEndsTheInput)
{
    ParseRun after = parse("interface I { int f(); } 1;\n@");
    EXPECT_EQ(after.result, 0);
    EXPECT_EQ(after.errors, "");
    EXPECT_TRUE(after.programSet);

    ParseRun inside = parse("int @ x;\ninterface I { int f(); } 1;");
    EXPECT_EQ(inside.result, 1);
    EXPECT_EQ(inside.firstErrorLine(), "Syntax error: \"case.x\"(1)  near token @");
}
