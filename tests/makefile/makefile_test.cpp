#include "generate/makefile_generator.h"

#include "diagnostics/error_report.h"
#include "driver/compile_flow.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "driver/driver_state.h"
#include "driver/options.h"
#include "output/output_files.h"

#include "model/rpc_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "../support/test_files.hpp"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

// Each test runs in a fresh directory that also holds a small installation
// with a template of awkward bytes: a NUL, a tab, "$(CC)", no final newline.
class MakefileTest : public ::testing::Test {
protected:
    const std::string templateText = std::string("all:\n\t$(CC) -o $(APP)\n#\0end", 24);

    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(getcwd(oldDir, sizeof(oldDir)), oldDir);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("home", 0755);
        mkdir("home/data", 0755);
        writeFile("home/data/makefile.tml", templateText);

        startRun();
        ccCommand = "cc";
        programName = "rfile";
        inputFileName = "rfile.idl";
        filePrefix = "rfile";
        sysLdflags = "";
        installDir = dir + "/home";
    }

    void TearDown() override { ASSERT_EQ(chdir(oldDir), 0); }

    // Runs generateMakefile and keeps what it printed on both streams.
    int run()
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int result = generateMakefile(makefileSettingsOfRun());
        std::cout.flush();
        std::cerr.flush();
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return result;
    }

    testsupport::ScratchDir scratch{"makefile_test"};
    const std::string dir = scratch.path();
    char oldDir[4096];
    std::string out, err;
};

TEST_F(MakefileTest, HeaderLinesThenTheTemplateUnchanged)
{
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(
        readFile("rfile.mak"),
        "CC=cc\nAPP=rfile\nIDLFILE=rfile.idl\nFILE_PREFIX=rfile\nSYS_LDFLAGS=\nVELORIN_HOME=" +
            installDir + "\n" + templateText);
    EXPECT_EQ(out, "Makefile rfile.mak generated.\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(errorCount.generation, 0);
}

TEST_F(MakefileTest, ValuesAreWrittenAsTheyStand)
{
    // The file base of the last version names the makefile (a program with
    // versions 1 and 2 ends with "rfile2"); values are not quoted or escaped,
    // and a "/" joins an installation directory that lacks one.
    ccCommand = "gcc -std=c99";
    filePrefix = "rfile2";
    sysLdflags = "-ltirpc -lnsl";
    inputFileName = "../idl/r file.idl";
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(readFile("rfile2.mak"),
              "CC=gcc -std=c99\nAPP=rfile\nIDLFILE=../idl/r file.idl\nFILE_PREFIX=rfile2\n"
              "SYS_LDFLAGS=-ltirpc -lnsl\nVELORIN_HOME=" +
                  installDir + "\n" + templateText);
    EXPECT_EQ(out, "Makefile rfile2.mak generated.\n");

    installDir += "/";
    filePrefix = "other";
    ASSERT_EQ(run(), 0);
    EXPECT_NE(readFile("other.mak").find("VELORIN_HOME=" + installDir + "\n" + templateText),
              std::string::npos);
}

// After a run with -I or -D options a seventh line holds them, written so
// that make and the shell give them back to the compiler unchanged when the
// template's rule regenerates the sources.
TEST_F(MakefileTest, OptionsOfTheRunFollowTheHeaderLines)
{
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } cases[] = {
        {{"-I", "inc", "-D", "N=5", "-D", "B"}, "VELORIN_OPTIONS=-Iinc -DN=5 -DB\n"},
        {{"-D", "MSG=two words", "-I", "my inc"}, "VELORIN_OPTIONS=-D'MSG=two words' -I'my inc'\n"},
        {{"-D", "P=$HOME#x", "-D", "Q=a\\#b"},
         "VELORIN_OPTIONS=-D'P=$$HOME\\#x' -D'Q=a\\\\\\#b'\n"},
        {{}, ""},  // last, so that the later tests see a run without options
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = {"Velorin"};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        words.push_back("rfile.idl");
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        parseOptions(static_cast<int>(words.size()), argv.data());

        std::remove("rfile.mak");
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(
            readFile("rfile.mak"),
            "CC=cc\nAPP=rfile\nIDLFILE=rfile.idl\nFILE_PREFIX=rfile\nSYS_LDFLAGS=\nVELORIN_HOME=" +
                installDir + "\n" + c.line + templateText)
            << c.line;
    }
}

TEST_F(MakefileTest, AnExistingFileOfThatNameIsLeftAlone)
{
    struct Case {
        const char* what;
        void (*make)();
    };
    const Case cases[] = {
        {"an edited makefile", [] { writeFile("rfile.mak", "# mine\n"); }},
        {"a directory", [] { mkdir("rfile.mak", 0755); }},
        {"a symbolic link to a file",
         [] {
             writeFile("elsewhere", "x");
             symlink("elsewhere", "rfile.mak");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::system("rm -rf rfile.mak");
        c.make();
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(err, "Makefile already exists, skip makefile generation.\n");
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(readFile("elsewhere"), "x");
    std::system("rm -rf rfile.mak");
    writeFile("rfile.mak", "# mine\n");
    run();
    EXPECT_EQ(readFile("rfile.mak"), "# mine\n");
}

TEST_F(MakefileTest, SecondRunSkipsAndKeepsTheFirstMakefile)
{
    ASSERT_EQ(run(), 0);
    const std::string first = readFile("rfile.mak");
    ccCommand = "clang";
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(err, "Makefile already exists, skip makefile generation.\n");
    EXPECT_EQ(readFile("rfile.mak"), first);
}

TEST_F(MakefileTest, MissingTemplateLeavesTheHeaderAndCountsAnError)
{
    std::remove("home/data/makefile.tml");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(
        readFile("rfile.mak"),
        "CC=cc\nAPP=rfile\nIDLFILE=rfile.idl\nFILE_PREFIX=rfile\nSYS_LDFLAGS=\nVELORIN_HOME=" +
            installDir + "\n");
    EXPECT_EQ(err, "Error:  fail to open file " + installDir + "/data/makefile.tml.\n");
    EXPECT_EQ(out, "Makefile rfile.mak generated.\n");
    EXPECT_EQ(errorCount.generation, 1);
}

TEST_F(MakefileTest, MakefileThatCannotBeCreated)
{
    filePrefix = "no/such/dir/rfile";
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(err.rfind("no/such/dir/rfile.mak: ", 0), 0u) << err;
    EXPECT_EQ(out, "");
}

TEST_F(MakefileTest, NoProgramNoMakefile)
{
    filePrefix = "";
    EXPECT_EQ(run(), 0);
    struct stat st;
    EXPECT_NE(stat(".mak", &st), 0);
    EXPECT_EQ(out, "");
}

TEST_F(MakefileTest, AppendFileCopiesEveryByte)
{
    std::string bytes;
    for (int i = 0; i < 3 * 256; ++i)
        bytes += static_cast<char>(i % 256);
    writeFile("all_bytes", bytes);
    std::ostringstream copy;
    appendFile(copy, "all_bytes");
    EXPECT_EQ(copy.str(), bytes);
    EXPECT_EQ(errorCount.generation, 0);
}

}  // namespace
