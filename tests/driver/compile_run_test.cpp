// A whole compile run in process, against the installation tree: an
// interface whose first version counts a generation error.

#include "driver/compile_flow.h"
#include "model/rpc_program.h"

#include "model_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Procedure number 0 belongs to the null procedure: a counted error.
const char* const interfaceText =
    "program calc {\n"
    "\tversion calc_v1 {\n\t\tint add(in int a, in int b) = 0;\n\t} = 1;\n"
    "\tversion calc_v2 {\n\t\tint add(in int a, in int b);\n\t} = 2;\n"
    "} = 536871002;\n";

// The model the parser builds from that text.
rpcProgram* parsedModel()
{
    using namespace build;
    auto add = [](long number) {
        return procedure("add", prim(CODE_INT),
                         {arg("a", prim(CODE_INT)), arg("b", prim(CODE_INT))}, number);
    };
    return program("calc", 536871002, {version(1, {add(0)}), version(2, {add(-1)})});
}

TEST(CompileRun, GenerationErrorsStillGenerateEverythingButFail)
{
    const char* prefix = std::getenv("VELORIN_TEST_PREFIX");
    ASSERT_NE(prefix, nullptr) << "VELORIN_TEST_PREFIX names the installation tree";
    GTEST_FLAG_SET(death_test_style, "fast");   // this process checks the child's files

    char pattern[] = "/tmp/compile_run_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::ofstream("calc.idl") << interfaceText;
    setenv("VELORIN_HOME", prefix, 1);
    setenv("HOME", dir.c_str(), 1);
    unsetenv("CPP");

    std::string program = "Velorin", input = "calc.idl";
    std::vector<char*> argv = {&program[0], &input[0], nullptr};
    EXPECT_EXIT(
        {
            currentProgram = parsedModel();   // a parser, once present, builds the same
            std::exit(runCompiler(2, argv.data()));
        },
        ::testing::ExitedWithCode(1), "\nError: 1 semantic errors have been found!\n");

    for (const char* removed : {"calc1.h", "calc1_svc.c", "calc1_xdr.c", "calc1_cln.c"})
        EXPECT_FALSE(exists(removed)) << removed;
    for (const char* kept : {"calc1Client.hpp", "calc1Client.cpp", "calc2.h", "calc2_svc.c",
                             "calc2_xdr.c", "calc2_cln.c", "calc2Client.hpp", "calc2Client.cpp",
                             "calc2.mak"})
        EXPECT_TRUE(exists(kept)) << kept;

    ASSERT_EQ(chdir("/"), 0);
    const std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

} // namespace
