// A whole compile run in process, against the installation tree: an
// interface whose first version counts a generation error.

#include "driver/compile_flow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "../support/test_files.hpp"

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

TEST(CompileRun, GenerationErrorsFailTheRunAndLeaveNoFileOfIt)
{
    const char* prefix = VELORIN_TEST_PREFIX;
    GTEST_FLAG_SET(death_test_style, "fast");  // this process checks the child's files

    testsupport::ScratchDir scratch("compile_run_test");
    const std::string dir = scratch.path();
    ASSERT_FALSE(dir.empty());
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::ofstream("calc.idl") << interfaceText;
    setenv("VELORIN_HOME", prefix, 1);
    setenv("HOME", dir.c_str(), 1);
    unsetenv("CPP");

    std::string program = "Velorin", input = "calc.idl";
    std::vector<char*> argv = {&program[0], &input[0], nullptr};
    EXPECT_EXIT(std::exit(runCompiler(2, argv.data())), ::testing::ExitedWithCode(1),
                "\nError: 1 semantic errors have been found!\n");

    // The good version's files go too: the run failed, and a makefile left
    // behind would be the one kept after the interface is mended.
    for (const char* removed :
         {"calc1.h", "calc1_svc.c", "calc1_xdr.c", "calc1_cln.c", "calc1Client.hpp",
          "calc1Client.cpp", "calc1_impl_tmp.c", "calc2.h", "calc2_svc.c", "calc2_xdr.c",
          "calc2_cln.c", "calc2Client.hpp", "calc2Client.cpp", "calc2_impl_tmp.c", "calc1.mak",
          "calc2.mak"})
        EXPECT_FALSE(exists(removed)) << removed;
    EXPECT_TRUE(exists("calc.idl"));

    ASSERT_EQ(chdir("/"), 0);
}

}  // namespace
