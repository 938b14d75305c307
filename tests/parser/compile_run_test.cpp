// The installed compiler on interface files: the preprocessor's line
// markers name the file and line of each report, and any syntax or
// semantic error ends the run with status 1 before a file is generated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "../support/test_files.hpp"

namespace {

using testsupport::readFile;

class CompileRun : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir_ + "/" + name) << text;
    }

    // Runs the compiler in the test directory; the exit status.
    int compile(const std::string& name)
    {
        const std::string command = "cd '" + dir_ + "' && '" VELORIN_TEST_PREFIX "/bin/Velorin' " +
                                    name + " >stdout.txt 2>stderr.txt";
        int status = std::system(command.c_str());
        errors_ = readFile(dir_ + "/stderr.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool exists(const std::string& name) { return access((dir_ + "/" + name).c_str(), F_OK) == 0; }

    testsupport::ScratchDir scratch_{"velorin_parser"};
    const std::string dir_ = scratch_.path();
    std::string errors_;
};

}  // namespace

TEST_F(CompileRun, SyntaxErrorInAnIncludedFileNamesThatFile)
{
    write("types.h", "struct point {\n  int x;\n  int y\n};\n");
    write("app.x", "#include \"types.h\"\ninterface app { int f(); } = 7;\n");
    EXPECT_EQ(compile("app.x"), 1);
    EXPECT_NE(errors_.find("Syntax error: \"types.h\"(4)  near token }\n"), std::string::npos)
        << errors_;
    EXPECT_FALSE(exists("app.h"));
    EXPECT_FALSE(exists("app_svc.c"));
}

TEST_F(CompileRun, SemanticErrorsAreAllReportedThenStatusOne)
{
    write("sem.x", "/* a comment\n   over two lines */\n"
                   "unknown_t x;\n"
                   "interface sem {\n"
                   "  int f();\n"
                   "  int f(int a);\n"
                   "} = 7;\n");
    EXPECT_EQ(compile("sem.x"), 1);
    EXPECT_NE(
        errors_.find("Semantic error: \"sem.x\"(3) type unknown_t not defined up to this point.\n"),
        std::string::npos)
        << errors_;
    EXPECT_NE(errors_.find("Semantic error: \"sem.x\"(6) procedure f is redeclared.\n"),
              std::string::npos)
        << errors_;
    EXPECT_EQ(errors_.find("Syntax error"), std::string::npos);
    EXPECT_FALSE(exists("sem.h"));
}

TEST_F(CompileRun, WarningsDoNotStopTheRun)
{
    write(
        "warn.x",
        "typedef int inout;\n"
        "struct rec { long double d; struct missing *m; };\n"
        "interface warn { property TIMEOUT_VALUE = 10; property NO_SUCH = 1; int f(in int a); } 1;\n");
    EXPECT_EQ(compile("warn.x"), 0) << errors_;
    EXPECT_NE(
        errors_.find("Warning: \"warn.x\"(1) using typedef name inout may lead to parse error in "
                     "interface declaration.\n"),
        std::string::npos)
        << errors_;
    EXPECT_NE(errors_.find("Warning, type long double is not supported, changed to double\n"),
              std::string::npos);
    EXPECT_NE(errors_.find("struct or union missing not defined\n"), std::string::npos);
    EXPECT_NE(errors_.find("Wraning: unknown property NO_SUCH defined.\n"), std::string::npos);
}

TEST_F(CompileRun, InputWithoutProgramBlock)
{
    write("empty.x", "");
    EXPECT_EQ(compile("empty.x"), 1);
    EXPECT_NE(errors_.find("Syntax error: "), std::string::npos) << errors_;
    write("decls.x", "struct s { int a; };\n");
    EXPECT_EQ(compile("decls.x"), 1);
    EXPECT_NE(errors_.find("Syntax error: \"decls.x\"("), std::string::npos) << errors_;
}
