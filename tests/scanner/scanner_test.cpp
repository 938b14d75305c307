#include "frontend/scanner.h"
#include "frontend/tokens.h"
#include "model/token_table.h"
#include "output/section_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Token {
    int code;
    std::string text;
    bool operator==(const Token& other) const { return code == other.code && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Token& token)
{
    return out << "{" << token.code << ", \"" << token.text << "\"}";
}

Token id(const std::string& text) { return {TOK_IDENTIFIER, text}; }
Token ch(char c) { return {c, std::string(1, c)}; }

// Feeds a string to the scanner through a temporary file (which, unlike a
// memory stream, also takes an empty input and NUL bytes).
class ScannerInput {
public:
    explicit ScannerInput(const std::string& text)
    {
        file = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), file);
        std::rewind(file);
        yyin = file;
        resetScanner();
    }
    ~ScannerInput() { std::fclose(file); }

    Token next()
    {
        int code = yylex();
        return {code, code == 0 ? "" : std::string(yytext, yyleng)};
    }

    // The tokens up to the end of the input (or a lexical error), without the 0.
    std::vector<Token> rest()
    {
        std::vector<Token> tokens;
        for (Token token = next(); token.code != 0; token = next())
            tokens.push_back(token);
        return tokens;
    }

private:
    FILE* file;
};

std::vector<Token> scan(const std::string& text)
{
    ScannerInput input(text);
    return input.rest();
}

std::string sectionText(outFile& section)
{
    section.stream().flush();
    std::ifstream in(section.name(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------------------
// The RPC words: names before the program head, keywords from it on.

TEST(RpcWords, NamesBeforeTheProgramHeadKeywordsFromIt)
{
    const Token IN_ = {TOK_IN, "in"};
    struct Case {
        const char* input;
        std::vector<Token> expected;
    } cases[] = {
        // Before any program head they are ordinary names.
        {"int version; int property x; in out inout IN OUT INOUT",
            {{TOK_INT, "int"}, id("version"), ch(';'), {TOK_INT, "int"}, id("property"), id("x"), ch(';'),
             id("in"), id("out"), id("inout"), id("IN"), id("OUT"), id("INOUT")}},
        {"version V {", {id("version"), id("V"), ch('{')}},
        // A program head enables them to the end of the input.
        {"program P {\n  version V { int f(in int a, OUT x); } = 1;\n} = 2;",
            {{TOK_PROGRAM, "program"}, id("P"), ch('{'), {TOK_VERSION, "version"}, id("V"), ch('{'),
             {TOK_INT, "int"}, id("f"), ch('('), IN_, {TOK_INT, "int"}, id("a"), ch(','), {TOK_OUT, "OUT"},
             id("x"), ch(')'), ch(';'), ch('}'), ch('='), {TOK_DEC_NUMBER, "1"}, ch(';'), ch('}'),
             ch('='), {TOK_DEC_NUMBER, "2"}, ch(';')}},
        {"interface\n I\n\t{ inout INOUT",
            {{TOK_INTERFACE, "interface"}, id("I"), ch('{'), {TOK_INOUT, "inout"}, {TOK_INOUT, "INOUT"}}},
        // program / interface without a name and "{" are names and enable nothing.
        {"program 1 { interface; program P; in",
            {id("program"), {TOK_DEC_NUMBER, "1"}, ch('{'), id("interface"), ch(';'), id("program"),
             id("P"), ch(';'), id("in")}},
        // version needs a name and "{"; property needs a letter or "_" after white space.
        {"program P { version 1 { property x property _y property = property\n\tz",
            {{TOK_PROGRAM, "program"}, id("P"), ch('{'), id("version"), {TOK_DEC_NUMBER, "1"}, ch('{'),
             {TOK_PROPERTY, "property"}, id("x"), {TOK_PROPERTY, "property"}, id("_y"), id("property"),
             ch('='), {TOK_PROPERTY, "property"}, id("z")}},
        // A direction word right before punctuation, or before an operator after
        // white space, is a name; before a bracket after white space, or before a
        // type, it is the keyword.
        {"program P { in) in ) in, in ; in\n= in[ in [ IN int In out; inout*",
            {{TOK_PROGRAM, "program"}, id("P"), ch('{'), id("in"), ch(')'), IN_, ch(')'), id("in"),
             ch(','), id("in"), ch(';'), id("in"), ch('='), id("in"), ch('['), IN_, ch('['),
             {TOK_IN, "IN"}, {TOK_INT, "int"}, id("In"), id("out"), ch(';'), id("inout"), ch('*')}},
        // Only whole words are keywords.
        {"program P { inx intx outer int", {{TOK_PROGRAM, "program"}, id("P"), ch('{'),
             id("inx"), id("intx"), id("outer"), {TOK_INT, "int"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(c.input), c.expected) << c.input;
}


TEST(RpcWords, LookaheadAcrossLinesCountsEachNewlineOnce)
{
    ScannerInput input("program\nP\n{ version\n V\n{ in\n,\n x");
    std::vector<int> lines;
    for (Token token = input.next(); token.code != 0; token = input.next())
        lines.push_back(yylineno);
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 3, 4, 5, 5, 6, 7}));
}

// ---------------------------------------------------------------------------
// Words, numbers, operators, strings.

TEST(Words, KeywordsAndSkippedStorageClasses)
{
    EXPECT_EQ(scan("static auto extern register const volatile int double float char union "
                   "struct return break case default typedef else enum if long short switch "
                   "unsigned void this while"),
              (std::vector<Token>{{TOK_CONST, "const"}, {TOK_VOLATILE, "volatile"}, {TOK_INT, "int"},
                  {TOK_DOUBLE, "double"}, {TOK_FLOAT, "float"}, {TOK_CHAR, "char"}, {TOK_UNION, "union"},
                  {TOK_STRUCT, "struct"}, {TOK_RETURN, "return"}, {TOK_BREAK, "break"}, {TOK_CASE, "case"},
                  {TOK_DEFAULT, "default"}, {TOK_TYPEDEF, "typedef"}, {TOK_ELSE, "else"}, {TOK_ENUM, "enum"},
                  {TOK_IF, "if"}, {TOK_LONG, "long"}, {TOK_SHORT, "short"}, {TOK_SWITCH, "switch"},
                  {TOK_UNSIGNED, "unsigned"}, {TOK_VOID, "void"}, {TOK_THIS, "this"}, {TOK_WHILE, "while"}}));
    EXPECT_EQ(scan("sizeof class signed goto do for continue Int a$b _1 staticx"),
              (std::vector<Token>{id("sizeof"), id("class"), id("signed"), id("goto"), id("do"),
                  id("for"), id("continue"), id("Int"), id("a$b"), id("_1"), id("staticx")}));
}

TEST(Numbers, FormsAndOneCharacterSuffix)
{
    struct Case {
        const char* input;
        std::vector<Token> expected;
    } cases[] = {
        {"12", {{TOK_DEC_NUMBER, "12"}}},
        {"12u 7L", {{TOK_DEC_NUMBER, "12u"}, {TOK_DEC_NUMBER, "7L"}}},
        {"12ul", {{TOK_DEC_NUMBER, "12u"}, id("l")}},
        {"0", {{TOK_DEC_NUMBER, "0"}}},
        {"08", {{TOK_DEC_NUMBER, "08"}}},
        {"017 017U", {{TOK_OCT_NUMBER, "017"}, {TOK_OCT_NUMBER, "017U"}}},
        {"0x1F 0xabL", {{TOK_HEX_NUMBER, "0x1F"}, {TOK_HEX_NUMBER, "0xabL"}}},
        {"0X1F", {{TOK_DEC_NUMBER, "0"}, id("X1F")}},
        {"0x", {{TOK_DEC_NUMBER, "0"}, id("x")}},
        {"1.5e3 1. 2e-7 017.5", {{TOK_FLOAT_NUMBER, "1.5e3"}, {TOK_FLOAT_NUMBER, "1."},
                                 {TOK_FLOAT_NUMBER, "2e-7"}, {TOK_FLOAT_NUMBER, "017.5"}}},
        {".5", {ch('.'), {TOK_DEC_NUMBER, "5"}}},
        {"1e", {{TOK_DEC_NUMBER, "1"}, id("e")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(c.input), c.expected) << c.input;
}

TEST(Operators, EveryOperatorAndBracket)
{
    std::vector<Token> expected;
    for (char c : std::string("()[]{}"))
        expected.push_back(ch(c));
    expected.insert(expected.end(), {{TOK_LE_OP, "<="}, {TOK_GE_OP, ">="}, {TOK_EQ_OP, "=="}, {TOK_NE_OP, "!="},
                                     {TOK_OR_OP, "||"}, {TOK_AND_OP, "&&"}, {TOK_LSHIFT, "<<"}, {TOK_RSHIFT, ">>"}});
    for (char c : std::string("!&*+,-./:;<=>?^|~"))
        expected.push_back(ch(c));
    // "%" is an operator only as the last character of an input without a final newline.
    expected.push_back(ch('%'));
    EXPECT_EQ(scan("()[]{} <= >= == != || && << >> ! & * + , - . / : ; < = > ? ^ | ~ %"), expected);
    EXPECT_EQ(scan("a<<=b"), (std::vector<Token>{id("a"), {TOK_LSHIFT, "<<"}, ch('='), id("b")}));
}

TEST(Literals, StringsAndCharacterConstants)
{
    EXPECT_EQ(scan(R"("a\"b" "" 'x' '\'' '\\' '')"),
              (std::vector<Token>{{TOK_STRING_CONST, R"("a\"b")"}, {TOK_STRING_CONST, "\"\""},
                  {TOK_CHAR_CONST, "'x'"}, {TOK_CHAR_CONST, R"('\'')"}, {TOK_CHAR_CONST, R"('\\')"},
                  {TOK_CHAR_CONST, "''"}}));

    // A continued string or character constant counts its newlines.
    ScannerInput input("\"one\\\ntwo\" '\\\n' x");
    EXPECT_EQ(input.next(), (Token{TOK_STRING_CONST, "\"one\\\ntwo\""}));
    EXPECT_EQ(input.next(), (Token{TOK_CHAR_CONST, "'\\\n'"}));
    EXPECT_EQ(input.next(), id("x"));
    EXPECT_EQ(yylineno, 3);
}

// ---------------------------------------------------------------------------
// Line markers and other directives.

TEST(LineMarkers, SetLineAndFileForTheFollowingLine)
{
    struct Case {
        const char* input;  // ends with the token x
        int line;           // line of x
        const char* file;   // currentFileName at x
    } cases[] = {
        {"# 12 \"/src/a.idl\" 2\nx", 12, "\"/src/a.idl\""},
        {"#  3\t\"b.idl\"\n\nx", 4, "\"b.idl\""},
        {"# 3 \"a b.idl\"\nx", 3, "\"a"},                // the name ends at a blank
        {"# 3 \"a.idl\"junk 1\nx", 3, "\"a.idl\"junk"},
        {"#line 7 \"c.idl\"\nx", 7, "\"c.idl\""},
        {"#line 7 c.idl\nx", 7, "c.idl"},
        {"#line 9\nx", 9, ""},                           // line only
        {"#line 9   \nx", 9, ""},
        {"# 5\nx", 5, ""},
        {"# 5 \"open\nx", 5, ""},                        // no closing quote: line only
        {"# 5 extra\nx", 5, ""},
        {"  # 5 \"f\"\nx", 2, ""},                       // not in the first column: skipped
        {"a # 5 \"f\"\nx", 2, ""},
        {"a;# 5 \"f\"\nx", 2, ""},
        {"# line 5 \"f\"\nx", 2, ""},                    // blank before "line": skipped
        {"#pragma pack(1) \\\n  more\nx", 3, ""},       // continued directive
        {"#5 \"f\"\nx", 2, ""},                          // no blank after "#": skipped
    };
    for (const Case& c : cases) {
        std::vector<Token> tokens = scan(c.input);
        ASSERT_FALSE(tokens.empty()) << c.input;
        EXPECT_EQ(tokens.back(), id("x")) << c.input;
        EXPECT_EQ(yylineno, c.line) << c.input;
        EXPECT_EQ(currentFileName, c.file) << c.input;
    }
}

TEST(LineMarkers, LaterMarkerReplacesNameOnlyWhenItHasOne)
{
    ScannerInput input("# 1 \"a.idl\"\nx\n# 40\ny\n#line 50 \"b.idl\"\nz");
    EXPECT_EQ(input.next(), id("x"));
    EXPECT_EQ(currentFileName, "\"a.idl\"");
    EXPECT_EQ(input.next(), id("y"));
    EXPECT_EQ(yylineno, 40);
    EXPECT_EQ(currentFileName, "\"a.idl\"");
    EXPECT_EQ(input.next(), id("z"));
    EXPECT_EQ(yylineno, 50);
    EXPECT_EQ(currentFileName, "\"b.idl\"");
}

TEST(LineMarkers, LongFileNameIsKeptWhole)
{
    const std::string name = "\"" + std::string(5000, 'n') + ".idl\"";
    ScannerInput input("# 2 " + name + " 1\nx");
    EXPECT_EQ(input.next(), id("x"));
    EXPECT_EQ(currentFileName, name);
}

TEST(LineMarkers, HugeLineNumberStopsAtLargestInt)
{
    ScannerInput input("# 99999999999999999999 \"f\"\n\n\nx");
    EXPECT_EQ(input.next(), id("x"));
    EXPECT_EQ(yylineno, INT_MAX);
}

// ---------------------------------------------------------------------------
// "%" lines go to the header's text sections.

class PassThrough : public testing::Test {
protected:
    void SetUp() override
    {
        leadingTextSection.reopen();
        trailingTextSection.reopen();
    }
};

TEST_F(PassThrough, BeforeInsideAndAfterTheProgramBlock)
{
    ScannerInput input("%#include <a.h>\nint x;\nprogram P {\n%inside\n} = 1;\n"
                       "%#include <b.h>\n%tail \\\n continued\n%\nint y;");
    std::vector<Token> block;
    for (Token token = input.next(); token.code != 0; token = input.next()) {
        block.push_back(token);
        if (token.code == ';' && block.size() > 3 && block[block.size() - 2].code == TOK_DEC_NUMBER)
            break;
    }
    EXPECT_EQ(yylineno, 5);
    beforeProgramBlock = 0;  // as the parser does when the block is complete
    EXPECT_EQ(input.rest(), (std::vector<Token>{{TOK_INT, "int"}, id("y"), ch(';')}));
    EXPECT_EQ(yylineno, 10);

    EXPECT_EQ(sectionText(leadingTextSection), "#include <a.h>\ninside\n");
    EXPECT_EQ(sectionText(trailingTextSection), "#include <b.h>\ntail \\\n continued\n\n");
}

TEST_F(PassThrough, PercentBetweenOperandsStartsALine)
{
    EXPECT_EQ(scan("a % b\nc"), (std::vector<Token>{id("a"), id("c")}));
    EXPECT_EQ(sectionText(leadingTextSection), " b\n");
}

TEST_F(PassThrough, EveryByteReachesTheSection)
{
    const std::string text("x\0y\r\x80\t", 6);
    EXPECT_TRUE(scan("%" + text + "\n").empty());
    EXPECT_EQ(sectionText(leadingTextSection), text + "\n");
}

// ---------------------------------------------------------------------------
// Comments.

TEST(Comments, SkippedAndCountLines)
{
    struct Case {
        std::string input;  // ends with the token x
        int line;
    } cases[] = {
        {"/* a\n b */ x", 2},
        {"/**/x", 1},
        {"/***/x", 1},
        {"/* a * / b ** c **/x", 1},
        {"/* /* */x", 1},  // comments do not nest
        {"/*" + std::string(20000, 'c') + std::string(300, '*') + "\n*/x", 2},
        {"// a \\\n b\nx", 3},
        {"// a \\\\\n b\nx", 3},  // the backslash right before the newline continues
        {"//\n\nx", 3},
        {"//" + std::string(8000, 'c') + "\nx", 2},
    };
    for (const Case& c : cases) {
        std::vector<Token> tokens = scan(c.input);
        EXPECT_EQ(tokens, std::vector<Token>{id("x")}) << c.input.substr(0, 40);
        EXPECT_EQ(yylineno, c.line) << c.input.substr(0, 40);
    }
}

TEST(Comments, LineCommentWithoutFinalNewlineIsTwoSlashes)
{
    EXPECT_EQ(scan("a // b"), (std::vector<Token>{id("a"), ch('/'), ch('/'), id("b")}));
}

TEST(Comments, UnterminatedCommentEndsTheInput)
{
    struct Case {
        const char* input;
        const char* message;
    } cases[] = {
        {"a /* open", "EOF found before comment end .\n"},
        {"a /* open\n", "EOF found before comment end .\n"},
        {"a /* open *", "EOF found before comment end.\n"},
        {"a /* open **", "EOF found before comment end.\n"},
        {"a /* open * x", "EOF found before comment end .\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        std::vector<Token> tokens = scan(c.input);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message) << c.input;
        EXPECT_EQ(tokens, std::vector<Token>{id("a")}) << c.input;
    }
}

// ---------------------------------------------------------------------------
// Lexical errors end the input.

TEST(LexicalErrors, EndTheInputWithAMessage)
{
    const std::string bad[] = {"@", "`", "\\", "$x", std::string(1, '\0'), "\r", "\v", "\x01",
                               "\x7f", "\x80", "\xff", "\"open\n\"", "'x\n'", "#"};
    for (const std::string& b : bad) {
        testing::internal::CaptureStdout();
        ScannerInput input("int\n\n" + b + " y");
        EXPECT_EQ(input.next(), (Token{TOK_INT, "int"}));
        EXPECT_EQ(input.next().code, 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Lexical error!   Line 3\n")
            << static_cast<int>(static_cast<unsigned char>(b[0]));
    }
}

TEST(LexicalErrors, CarriageReturnLineEndStopsAtTheFirstLine)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(scan("int a;\r\nint b;\r\n"),
              (std::vector<Token>{{TOK_INT, "int"}, id("a"), ch(';')}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Lexical error!   Line 1\n");
}

// ---------------------------------------------------------------------------
// Token size limit.

TEST(TokenLimit, LongestTokenFitsWhole)
{
    const std::string name(8191, 'n');
    EXPECT_EQ(scan(name + " x"), (std::vector<Token>{id(name), id("x")}));
}

TEST(TokenLimitDeathTest, TooLongMatchEndsTheCompiler)
{
    // A fresh process per case: the section files of this one stay intact.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(scan(std::string(8192, 'n')), testing::ExitedWithCode(2),
                "token too large, exceeds YYLMAX");
    EXPECT_EXIT(scan("//" + std::string(9000, 'c') + "\n"), testing::ExitedWithCode(2),
                "token too large, exceeds YYLMAX");
    EXPECT_EXIT(scan("%" + std::string(9000, 'c') + "\n"), testing::ExitedWithCode(2),
                "token too large, exceeds YYLMAX");
    EXPECT_EXIT(scan(std::string(100000, 'n')), testing::ExitedWithCode(2),
                "token too large, exceeds YYLMAX");
}

// ---------------------------------------------------------------------------

TEST(TokenText, FirstEntryWithTheCode)
{
    EXPECT_EQ(tokenText(TOK_OR_OP), "||");
    EXPECT_EQ(tokenText(TOK_IN), "in");
    EXPECT_EQ(tokenText(-250), "class");
    EXPECT_EQ(tokenText(-252), "*");
    EXPECT_EQ(tokenText('*'), "*");
    EXPECT_EQ(tokenText(TOK_SIZEOF), "sizeof");
    EXPECT_EQ(tokenText(-1), "");
    EXPECT_EQ(tokenText(TOK_IDENTIFIER), "");
}

} // namespace
