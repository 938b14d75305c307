// The compiler's entry, in process: the preprocessor command built from the
// command line, configuration lines, the path helpers that find the
// installation, and the generation of every version with its report.

#include "diagnostics/error_report.h"
#include "driver/compile_flow.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "driver/driver_state.h"
#include "driver/options.h"
#include "driver/path_utils.h"
#include "driver/preprocessor.h"
#include "output/version_info.h"
#include "output/output_files.h"

#include "model_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "../support/test_files.hpp"

namespace {

using testsupport::readFile;

void writeFile(const std::string& path, const std::string& text, mode_t mode = 0644)
{
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string currentDir()
{
    char* cwd = getcwd(nullptr, 0);
    std::string dir = cwd ? cwd : "";
    std::free(cwd);
    return dir;
}

// Runs each test in a fresh directory of its own.
class InScratchDir : public ::testing::Test {
protected:
    testsupport::ScratchDir scratch{"driver_test"};
    const std::string dir = scratch.path();
    std::string oldDir;

    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        oldDir = currentDir();
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(oldDir.c_str()), 0); }
};

// ---------------------------------------------------------------------------
// Command line -> preprocessor command

struct CommandCase {
    std::vector<std::string> arguments;  // after the program name
    std::string command;                 // without the output redirect
};

void parse(const std::vector<std::string>& arguments)
{
    includeOptions.clear();
    defineOptions = " -DVELORIN_COMPILE";
    std::vector<std::string> storage = {"Velorin"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : storage)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    parseOptions(static_cast<int>(storage.size()), argv.data());
}

TEST(PreprocessorCommand, FollowsTheCommandLine)
{
    const CommandCase cases[] = {
        {{"x.idl"}, "/lib/cpp  -DVELORIN_COMPILE x.idl"},
        {{"-I", "inc", "-D", "A=1", "-D", "B", "x.idl"},
         "/lib/cpp  -Iinc -DVELORIN_COMPILE -DA=1 -DB x.idl"},
        // Every -I precedes the -D options, which keep their order.
        {{"-DB", "-Ione", "-DA", "-Itwo", "x.idl"},
         "/lib/cpp  -Ione -Itwo -DVELORIN_COMPILE -DB -DA x.idl"},
        // Options may follow the file name.
        {{"x.idl", "-Iinc"}, "/lib/cpp  -Iinc -DVELORIN_COMPILE x.idl"},
        {{"-h", "dir/x-1.2_b+c,d:e=f@g%h^i.idl"},
         "/lib/cpp  -DVELORIN_COMPILE dir/x-1.2_b+c,d:e=f@g%h^i.idl"},
        // Names the shell would split, expand or run are quoted.
        {{"-I", "my inc", "a b.idl"}, "/lib/cpp  -I'my inc' -DVELORIN_COMPILE 'a b.idl'"},
        {{"x.idl;touch pwned"}, "/lib/cpp  -DVELORIN_COMPILE 'x.idl;touch pwned'"},
        {{"-I", "$(touch pwned)", "$HOME.idl"},
         "/lib/cpp  -I'$(touch pwned)' -DVELORIN_COMPILE '$HOME.idl'"},
        {{"it's.idl"}, "/lib/cpp  -DVELORIN_COMPILE 'it'\\''s.idl'"},
        {{"-I", "`id`", "*.idl"}, "/lib/cpp  -I'`id`' -DVELORIN_COMPILE '*.idl'"},
        // So are macros; plain ones keep their text.
        {{"-D", "A=1;touch pwned;", "-D", "PLAIN=a.b/c-1", "x.idl"},
         "/lib/cpp  -DVELORIN_COMPILE -D'A=1;touch pwned;' -DPLAIN=a.b/c-1 x.idl"},
        {{"-D", "MSG=\"hello world\"", "-D", "Q=it's $HOME", "x.idl"},
         "/lib/cpp  -DVELORIN_COMPILE -D'MSG=\"hello world\"' -D'Q=it'\\''s $HOME' x.idl"},
    };
    cppCommand = "/lib/cpp";
    for (const CommandCase& c : cases) {
        testing::internal::CaptureStderr();  // the usage text of -h
        parse(c.arguments);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(preprocessorCommand(), c.command) << c.arguments.back();
    }
}

TEST(PreprocessorCommand, HelpPrintsTheUsageAndGoesOn)
{
    testing::internal::CaptureStderr();
    parse({"-h", "x.idl"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Usage: Velorin [-h] -[-v] [-I path] [-D macro] filename.\n");
    EXPECT_EQ(inputFileName, "x.idl");
}

// The quoted command really reaches the preprocessor with the names and
// macros intact, and nothing in them is run.
TEST_F(InScratchDir, QuotedNamesReachThePreprocessorIntact)
{
    mkdir("my inc", 0755);
    writeFile("my inc/defs.h", "#define VALUE 42\n");
    const std::string input = "a b;touch pwned $(touch pwned2).idl";
    writeFile(input, "#include \"defs.h\"\nint v = VALUE;\nchar* m = MSG; int n = N;\n");

    cppCommand = "/lib/cpp";
    parse({"-I", "my inc", "-D", "MSG=\"two  words;touch pwned3\"", "-D", "N=1;touch pwned4;",
           input});
    testing::internal::CaptureStdout();
    ASSERT_EQ(runPreprocessor(), 0);
    testing::internal::GetCapturedStdout();

    const std::string text = readFile(preprocessedFileName);
    EXPECT_NE(text.find("int v = 42;"), std::string::npos) << text;
    EXPECT_NE(text.find("char* m = \"two  words;touch pwned3\"; int n = 1;touch pwned4;;"),
              std::string::npos)
        << text;
    for (const char* planted : {"pwned", "pwned2", "pwned3", "pwned4"})
        EXPECT_FALSE(exists(planted)) << planted;
    removePreprocessedFile();
}

TEST(VersionTexts, VersionAndNoticeShape)
{
    EXPECT_STREQ(versionString(), "Velorin V1.6 RkWp! system: Linux");
    // Nineteen lines of a C block comment framed by runs of dashes.
    const std::string notice = generatedFileNotice();
    EXPECT_EQ(std::count(notice.begin(), notice.end(), '\n'), 19);
    EXPECT_EQ(notice.compare(0, 4, "/*--"), 0) << notice;
    EXPECT_EQ(notice.compare(notice.size() - 5, 5, "--*/\n"), 0) << notice;
    EXPECT_EQ(notice.find("*/"), notice.size() - 3);
}

// ---------------------------------------------------------------------------
// Configuration lines

class ConfigLookup : public InScratchDir {
protected:
    void TearDown() override
    {
        for (const char* key : {"CPP", "ANSI_CC", "K1", "K2"})
            unsetenv(key);
        InScratchDir::TearDown();
    }
};

TEST_F(ConfigLookup, LinesAndKeys)
{
    const std::string longLine = "LONG=" + std::string(1100, 'x');
    const std::string limitValue(1022 - std::string("LIMIT=").size(), 'y');
    writeFile("config", "# a comment line\n"
                        "#HASH=comment\n"
                        " #HASH=not a comment, but its key is #HASH\n"
                        "no equals sign here\n"
                        "\n"
                        "   CPP  =   /usr/bin/cpp -P \n"
                        "CPP=/second/cpp\n"
                        "EMPTY=\n"
                        "EMPTY=later\n"
                        "EQUALS= a=b=c\n"
                        "TWO WORDS=v2\n"
                        "\tTAB\t=\tv3\n"
                        "cpp=lower case\n" +
                            longLine +
                            "\n"
                            "AFTER_LONG=still read\n"
                            "LIMIT=" +
                            limitValue +
                            "\n"
                            "LAST=no newline");

    const struct {
        const char* key;
        std::string value;
    } cases[] = {
        {"CPP", "/usr/bin/cpp -P "},  // first line wins; trailing blank kept
        {"#HASH", "not a comment, but its key is #HASH"},
        {"EMPTY", ""},  // first match wins even when empty
        {"EQUALS", "a=b=c"},
        {"TWO", "v2"},  // the first word before "=" is the key
        {"WORDS", ""},
        {"TAB", "v3"},
        {"cpp", "lower case"},
        {"Cpp", ""},
        {"LONG", ""},                  // a line over the limit is skipped...
        {"AFTER_LONG", "still read"},  // ...and reading goes on after it
        {"LIMIT", limitValue},         // a line of exactly the limit is read
        {"LAST", "no newline"},
        {"MISSING", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lookupConfig("config", c.key), c.value) << c.key;
    EXPECT_EQ(lookupConfig("no such file", "CPP"), "");
}

TEST_F(ConfigLookup, EnvironmentOverridesUnlessEmpty)
{
    writeFile("config", "CPP=/from/file\nANSI_CC=gcc\n");
    setenv("CPP", "", 1);
    EXPECT_EQ(lookupConfig("config", "CPP"), "/from/file");
    setenv("CPP", "/from/env", 1);
    EXPECT_EQ(lookupConfig("config", "CPP"), "/from/env");
    setenv("K1", "only in env", 1);
    EXPECT_EQ(lookupConfig("no such file", "K1"), "only in env");
    EXPECT_EQ(lookupConfig("config", "ANSI_CC"), "gcc");
}

TEST(ConfigLine, KeyEqualsValueNewline)
{
    EXPECT_EQ(configLine("CPP", "/lib/cpp -P "), "CPP=/lib/cpp -P \n");
    EXPECT_EQ(configLine("SYS_LDFLAGS", ""), "SYS_LDFLAGS=\n");
}

// ---------------------------------------------------------------------------
// Path helpers

TEST(PathAppend, AddsOneSlashOnlyWhenNeeded)
{
    EXPECT_EQ(path_append("", "x"), "x");
    EXPECT_EQ(path_append("a", "x"), "a/x");
    EXPECT_EQ(path_append("a/", "x"), "a/x");
    EXPECT_EQ(path_append("a", "/x"), "a//x");
    EXPECT_EQ(dir_name("/a/b/c"), "/a/b/");
    EXPECT_EQ(dir_name("c"), "");
}

TEST_F(InScratchDir, FileKindsAndExecuteBits)
{
    writeFile("plain", "", 0644);
    writeFile("others", "", 0601);
    writeFile("group", "", 0610);
    mkdir("directory", 0755);
    ASSERT_EQ(symlink("plain", "link"), 0);

    EXPECT_EQ(file_type("plain"), 2);
    EXPECT_EQ(file_type("directory"), 3);
    EXPECT_EQ(file_type("link"), 1);
    EXPECT_EQ(file_type("/dev/null"), 4);
    EXPECT_EQ(file_type("missing"), 0);

    EXPECT_EQ(is_executable("plain"), "");
    EXPECT_EQ(is_executable("others"), "others");
    EXPECT_EQ(is_executable("group"), "group");
    EXPECT_EQ(is_executable("missing"), "");
    EXPECT_EQ(find_file(dir, "plain"), dir + "/plain");
    EXPECT_EQ(find_file(dir, "missing"), "");
}

TEST_F(InScratchDir, FollowLinksResolvesChainsAndStopsOnCycles)
{
    mkdir("real", 0755);
    mkdir("links", 0755);
    writeFile("real/prog", "", 0755);
    writeFile("real/data", "", 0644);
    ASSERT_EQ(symlink("../real/prog", "links/relative"), 0);
    ASSERT_EQ(symlink((dir + "/real/prog").c_str(), "links/absolute"), 0);
    ASSERT_EQ(symlink("relative", "links/chain"), 0);
    ASSERT_EQ(symlink("../real/data", "links/data"), 0);
    ASSERT_EQ(symlink("../real", "links/directory"), 0);
    ASSERT_EQ(symlink("nowhere", "links/dangling"), 0);
    ASSERT_EQ(symlink("self", "links/self"), 0);
    ASSERT_EQ(symlink("pong", "links/ping"), 0);
    ASSERT_EQ(symlink("ping", "links/pong"), 0);
    ASSERT_EQ(symlink("real/prog", "bare"), 0);  // no "/" in the link's own name

    EXPECT_EQ(follow_links("links/relative"), "links/../real/prog");
    EXPECT_EQ(follow_links("links/absolute"), dir + "/real/prog");
    EXPECT_EQ(follow_links("links/chain"), "links/../real/prog");
    EXPECT_EQ(follow_links("bare"), "real/prog");
    EXPECT_EQ(follow_links("links/data"), "");
    EXPECT_EQ(follow_links("links/directory"), "");
    EXPECT_EQ(follow_links("links/dangling"), "");
    EXPECT_EQ(follow_links("links/self"), "");
    EXPECT_EQ(follow_links("links/ping"), "");

    // A long but finite chain resolves; one longer than the bound does not.
    std::string previous = dir + "/real/prog";
    for (int i = 0; i <= maxLinksFollowed; ++i) {
        std::string name = dir + "/links/hop" + std::to_string(i);
        ASSERT_EQ(symlink(previous.c_str(), name.c_str()), 0);
        previous = name;
    }
    EXPECT_EQ(follow_links(dir + "/links/hop" + std::to_string(maxLinksFollowed - 1)),
              dir + "/real/prog");
    EXPECT_EQ(follow_links(dir + "/links/hop" + std::to_string(maxLinksFollowed)), "");
}

TEST_F(InScratchDir, ReadLinkTakesTheLongestTarget)
{
    // Linux keeps link targets of up to 4095 bytes.
    std::string target;
    while (target.size() + 2 <= 4095)
        target += "a/";
    target.resize(4095, 'b');
    ASSERT_EQ(symlink(target.c_str(), "long"), 0);
    EXPECT_EQ(read_link("long"), target);
    EXPECT_EQ(read_link("missing"), "");
}

class ProgramSearch : public InScratchDir {
protected:
    std::string savedPath;
    void SetUp() override
    {
        InScratchDir::SetUp();
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        InScratchDir::TearDown();
    }
};

TEST_F(ProgramSearch, PathEntriesAndLinks)
{
    for (const char* d : {"install", "install/bin", "a", "b", "c", "sp ace"})
        mkdir(d, 0755);
    writeFile("install/bin/tool", "", 0755);
    mkdir("a/tool", 0755);          // a directory: passed over
    writeFile("b/tool", "", 0644);  // not executable: passed over
    ASSERT_EQ(symlink("../install/bin/tool", "c/tool"), 0);
    writeFile("sp ace/tool", "", 0755);

    setenv("PATH", (dir + "/a::" + dir + "/b:" + dir + "/c").c_str(), 1);
    EXPECT_EQ(find_program("tool"), dir + "/c/../install/bin/");

    // A blank ends a component, so "sp ace" is searched as "sp" and "ace".
    setenv("PATH", (dir + "/sp ace:" + dir + "/c").c_str(), 1);
    EXPECT_EQ(find_program("tool"), dir + "/c/../install/bin/");

    setenv("PATH", "", 1);
    EXPECT_EQ(find_program("tool"), "");
    unsetenv("PATH");
    EXPECT_EQ(find_program("tool"), "");

    // A name with a "/" is taken as it stands, relative to here.
    EXPECT_EQ(find_program("./install/bin/tool"), "./install/bin/");
    EXPECT_EQ(program_dir("./install/bin/tool"), dir + "/./install/bin/");
    EXPECT_EQ(program_dir(dir + "/c/tool"), dir + "/c/../install/bin/");
    EXPECT_EQ(program_dir("./missing/tool"), "");
    EXPECT_EQ(canonical_dir(program_dir("./install/bin/tool") + "../"), dir + "/install");
}

TEST_F(InScratchDir, CanonicalDirComesBack)
{
    mkdir("sub", 0755);
    ASSERT_EQ(symlink("sub", "alias"), 0);
    EXPECT_EQ(canonical_dir("alias/"), dir + "/sub");
    EXPECT_EQ(canonical_dir("missing"), "");
    EXPECT_EQ(canonical_dir(""), "");
    EXPECT_EQ(currentDir(), dir);
}

// Directory names far longer than any fixed path buffer.
TEST_F(InScratchDir, DeepDirectories)
{
    const std::string component(200, 'd');
    std::string deep = dir;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(mkdir(component.c_str(), 0755), 0);
        ASSERT_EQ(chdir(component.c_str()), 0);
        deep += "/" + component;
    }
    mkdir("bin", 0755);
    writeFile("bin/tool", "", 0755);

    EXPECT_EQ(program_dir("./bin/tool"), deep + "/./bin/");
    EXPECT_EQ(canonical_dir("."), deep);
    EXPECT_EQ(canonical_dir(dir), dir);
    EXPECT_EQ(currentDir(), deep);
}

// ---------------------------------------------------------------------------
// Generation of every version

class VersionGeneration : public InScratchDir {
protected:
    void SetUp() override
    {
        InScratchDir::SetUp();
        startRun();
        oncRpcHeader = "rpc/rpc.h";
        pmapClntHeader = "rpc/pmap_clnt.h";
    }
};

TEST_F(VersionGeneration, ErrorsInOneVersionRemoveItsFilesAndTheRunGoesOn)
{
    using namespace build;
    // Version 1 numbers a procedure 0, which belongs to the null procedure:
    // a counted generation error.
    rpcProgram* calc = program("calc", 0x20000123,
                               {
                                   version(1, {procedure("add", prim(CODE_INT), {}, 0)}),
                                   version(2, {procedure("add", prim(CODE_INT), {}, 1)}),
                               });

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    compileVersions(calc);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(out, "Compiling version 1\n"
                   "Files calc1Client.hpp calc1Client.cpp have been generated!\n"
                   "Template server implementation file calc1_impl_tmp.c has been generated.\n"
                   "Compiling version 2\n"
                   "Files calc2.h calc2_svc.c calc2_xdr.c calc2_cln.c have been generated!\n"
                   "Files calc2Client.hpp calc2Client.cpp have been generated!\n"
                   "Template server implementation file calc2_impl_tmp.c has been generated.\n");
    EXPECT_NE(err.find("\nError: 1 semantic errors have been found!\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("Error: 2"), std::string::npos) << err;

    for (const char* removed : {"calc1.h", "calc1_svc.c", "calc1_xdr.c", "calc1_cln.c"})
        EXPECT_FALSE(exists(removed)) << removed;
    for (const char* kept :
         {"calc1Client.hpp", "calc1Client.cpp", "calc1_impl_tmp.c", "calc2.h", "calc2_svc.c",
          "calc2_xdr.c", "calc2_cln.c", "calc2Client.hpp", "calc2Client.cpp", "calc2_impl_tmp.c"})
        EXPECT_TRUE(exists(kept)) << kept;
    EXPECT_NE(readFile("calc2.h").find("CALC_2"), std::string::npos);

    // The count starts again for every version; the run's status remembers.
    EXPECT_EQ(errorCount.generation, 0);
    EXPECT_EQ(versionsFailed, 1);
}

TEST_F(VersionGeneration, CleanVersionsAndNoVersions)
{
    using namespace build;
    rpcProgram* single = program("solo", 0x20000124,
                                 {
                                     version(7, {procedure("ping", prim(CODE_INT), {})}),
                                 });
    testing::internal::CaptureStdout();
    compileVersions(single);
    compileVersions(program("empty", 0x20000125, {}));
    compileVersions(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Compiling version 7\n"
              "Files solo.h solo_svc.c solo_xdr.c solo_cln.c have been generated!\n"
              "Files soloClient.hpp soloClient.cpp have been generated!\n"
              "Template server implementation file solo_impl_tmp.c has been generated.\n");
    EXPECT_EQ(versionsFailed, 0);
}

}  // namespace
