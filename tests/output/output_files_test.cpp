// The compiler's output files, their preambles, the section files and the
// header blocks built from them. Expected texts are written out by hand from
// the documented forms; only the notice comment is taken from the program,
// since its wording is the driver's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "output/version_info.h"
#include "model_builder.h"
#include "output/emit.h"
#include "output/out_file.h"
#include "output/output_files.h"
#include "output/section_files.h"
#include "output/temporary_file.h"

namespace fs = std::filesystem;

namespace {

// The version line and no_op are marked used and unused, so that generated
// files compile quietly with cc -Wall although nothing refers to them.
const std::string versionLine =
    "static char *version_str __attribute__((used))=\"@(#)Velorin V1.6 RkWp! system: Linux\";\n";

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

bool exists(const std::string& name) { return fs::exists(fs::symlink_status(name)); }

unsigned modeOf(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Each test runs in a directory of its own, named after the test, with the
// default configuration and empty text sections. Death tests run in a fresh
// copy of the test program (so that its exit removes only its own section
// files); that copy starts in the same directory and so reuses the
// directory, which the test's own clean-up removes afterwards.
class OutputDir : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    previous = fs::current_path();
    dir = previous / ("scratch." + std::string(test->test_suite_name()) + "." + test->name());
    const bool deathTestCopy = !GTEST_FLAG_GET(internal_run_death_test).empty();
    if (!deathTestCopy) fs::remove_all(dir);   // left over from an aborted run
    fs::create_directories(dir);
    fs::current_path(dir);
    startRun();
    oncRpcHeader = "rpc/rpc.h";
    pmapClntHeader = "rpc/pmap_clnt.h";
  }
  void TearDown() override {
    closeOutputFiles();
    fs::current_path(previous);
    fs::remove_all(dir);
  }

  fs::path dir, previous;
};

versionFileNames namesOf(const std::string& base, const std::string& upper) {
  return {base, upper, upper + "_handle", upper + "_timeout"};
}

// The seven preambles of a version, as documented.
struct Preambles {
  std::string header, server, client, classHeader, classSource, xdr, implTemplate;
};

Preambles expectedPreambles(const std::string& base, const std::string& upper,
                            const std::string& leadingText,
                            const std::string& rpcHeader = "rpc/rpc.h",
                            const std::string& pmapHeader = "rpc/pmap_clnt.h") {
  const std::string n = generatedFileNotice();
  const std::string include = "#include \"" + base + ".h\"\n";
  const std::string guard = upper + "_H";
  Preambles p;
  p.header = n + "#ifndef " + guard + "\n#define " + guard + "\n#define PORTMAP\n#include <" +
             rpcHeader + ">\n#include <malloc.h>\n#include <stdio.h>\n#include <string.h>\n" +
             leadingText + "#ifdef __cplusplus\nextern \"C\" {\n#endif\n";
  p.server = n + "#define VELORIN_XDR\n#define VELORIN_SERVER\n" + include + "#include <" +
             pmapHeader + ">\n" + versionLine +
             "static SVCXPRT* tcp_master = 0;\nstatic SVCXPRT* udp_master = 0;\n\n"
             "static void __attribute__((unused)) no_op(void*p) {}\n\n";
  p.client = n + "#define VELORIN_XDR\n#define VELORIN_CLIENT\n" + include + versionLine +
             "CLIENT* " + upper + "_handle = 0;\nstruct timeval " + upper +
             "_timeout = {60, 0};\n";
  p.classHeader = n + "#ifndef " + guard + "_CXX\n#define " + guard + "_CXX\n" +
                  "#define VELORIN_XDR\n#define VELORIN_CLIENT\n" + include +
                  "\n#include <rpcclient.hpp>\n";
  p.classSource = n + "\n#include \"" + base + "Client.hpp\"\n\n";
  p.xdr = n + "#define VELORIN_XDR\n" + include + versionLine;
  p.implTemplate = include;
  return p;
}

void expectPreambles(const std::string& base, const Preambles& p) {
  EXPECT_EQ(readFile(base + ".h"), p.header);
  EXPECT_EQ(readFile(base + "_svc.c"), p.server);
  EXPECT_EQ(readFile(base + "_cln.c"), p.client);
  EXPECT_EQ(readFile(base + "Client.hpp"), p.classHeader);
  EXPECT_EQ(readFile(base + "Client.cpp"), p.classSource);
  EXPECT_EQ(readFile(base + "_xdr.c"), p.xdr);
  EXPECT_EQ(readFile(base + "_impl_tmp.c"), p.implTemplate);
}

}  // namespace

// ---------------------------------------------------------------- preambles

using OutputFiles = OutputDir;

TEST_F(OutputFiles, SingleVersionProgramGetsSevenFilesWithTheirPreambles) {
  rpcProgram* rfile = build::program("rfile", 0x20000001, {build::version(5, {})});
  rpcVersion* v5 = versionList::begin(rfile->versions()).next();
  EXPECT_EQ(openOutputFiles(v5), 1);
  closeOutputFiles();

  EXPECT_EQ(filePrefix, "rfile");
  EXPECT_EQ(currentFiles.header, "rfile.h");
  EXPECT_EQ(currentFiles.server, "rfile_svc.c");
  EXPECT_EQ(currentFiles.xdr, "rfile_xdr.c");
  EXPECT_EQ(currentFiles.client, "rfile_cln.c");
  EXPECT_EQ(currentFiles.classHeader, "rfileClient.hpp");
  EXPECT_EQ(currentFiles.classSource, "rfileClient.cpp");
  EXPECT_EQ(currentFiles.implTemplate, "rfile_impl_tmp.c");
  expectPreambles("rfile", expectedPreambles("rfile", "RFILE_5", ""));
  EXPECT_EQ(generateImplTemplate, 1);
}

TEST_F(OutputFiles, EveryVersionRewritesItsFilesAndGetsTheSameLeadingText) {
  rpcProgram* rfile =
      build::program("rfile", 0x20000001, {build::version(1, {}), build::version(2, {})});
  oncRpcHeader = "tirpc/rpc/rpc.h";
  pmapClntHeader = "tirpc/rpc/pmap_clnt.h";
  // Text of "%" lines, with bytes that must pass unchanged.
  const std::string leading = "/* first */\n\ttypedef int q;\r\n\xc3\xa9\xff\n";
  leadingTextSection.stream() << leading;
  // Files of earlier runs are emptied, the template included.
  for (const char* stale : {"rfile1.h", "rfile1_impl_tmp.c", "rfile2_cln.c"})
    writeFile(stale, "left over from an earlier run, longer than any preamble line\n");

  versionList::cursor versions = versionList::begin(rfile->versions());
  while (rpcVersion* v = versions.next()) {
    openOutputFiles(v);
    closeOutputFiles();
  }
  expectPreambles("rfile1", expectedPreambles("rfile1", "RFILE_1", leading, oncRpcHeader,
                                              pmapClntHeader));
  expectPreambles("rfile2", expectedPreambles("rfile2", "RFILE_2", leading, oncRpcHeader,
                                              pmapClntHeader));
  EXPECT_EQ(filePrefix, "rfile2");
}

TEST_F(OutputFiles, TemplateThatCannotBeCreatedIsLeftOutForThatVersion) {
  fs::create_directory("rfile_impl_tmp.c");
  testing::internal::CaptureStderr();
  openOutputFiles(namesOf("rfile", "RFILE_5"));
  closeOutputFiles();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "rfile_impl_tmp.c: Is a directory\n");
  EXPECT_EQ(generateImplTemplate, 0);
  EXPECT_EQ(errorCount.generation, 0);
  Preambles p = expectedPreambles("rfile", "RFILE_5", "");
  EXPECT_EQ(readFile("rfile.h"), p.header);
  EXPECT_EQ(readFile("rfileClient.cpp"), p.classSource);

  // Switched off, it stays off for a version whose template file exists
  // (which is then left as it is), and comes back for one that has none.
  writeFile("kept_impl_tmp.c", "the programmer's code\n");
  openOutputFiles(namesOf("kept", "KEPT_1"));
  closeOutputFiles();
  EXPECT_EQ(generateImplTemplate, 0);
  EXPECT_EQ(readFile("kept_impl_tmp.c"), "the programmer's code\n");

  openOutputFiles(namesOf("fresh", "FRESH_1"));
  closeOutputFiles();
  EXPECT_EQ(generateImplTemplate, 1);
  EXPECT_EQ(readFile("fresh_impl_tmp.c"), "#include \"fresh.h\"\n");
}

TEST_F(OutputFiles, FileThatCannotBeCreatedEndsTheRunWithStatus255) {
  fs::create_directory("rfile_cln.c");
  EXPECT_EXIT(openOutputFiles(namesOf("rfile", "RFILE_5")), testing::ExitedWithCode(255),
              "^rfile_cln.c: Is a directory\n"
              "Error: could not create file rfile_cln.c for output.\n$");
}

TEST_F(OutputFiles, GenerationSectionsHoldOnlyTheCurrentVersionsText) {
  for (int v : {1, 2}) {
    const std::string tag = "v" + std::to_string(v);
    openOutputFiles(namesOf("rfile" + std::to_string(v), "RFILE_" + std::to_string(v)));
    argRecordSection.stream() << tag << " record\n";
    xdrProtoSection.stream() << tag << " xdr prototype\n";
    clientProtoSection.stream() << tag << " client prototype\n";
    serverProtoSection.stream() << tag << " server prototype\n";
    serverCodeStream << tag << " server code\n";
    emitSectionBlocks();
    spliceSection(serverOut, serverCodeSection);
    closeOutputFiles();
  }
  const std::string header = readFile("rfile2.h");
  const std::string blocks =
      "\n#ifdef VELORIN_XDR\n\nv2 record\nv2 xdr prototype\n\n#endif\n\n"
      "\n#ifdef VELORIN_CLIENT\n\nv2 client prototype\n\n#endif\n\n"
      "\n#ifdef VELORIN_SERVER\n\nv2 server prototype\n\n#endif\n\n";
  ASSERT_GE(header.size(), blocks.size());
  EXPECT_EQ(header.substr(header.size() - blocks.size()), blocks);
  const std::string server = readFile("rfile2_svc.c");
  EXPECT_EQ(server, expectedPreambles("rfile2", "RFILE_2", "").server + "v2 server code\n");
  EXPECT_EQ(errorCount.generation, 0);
}

// ----------------------------------------------------------- header blocks

using HeaderBlocks = OutputDir;

TEST_F(HeaderBlocks, ConditionalBlocksHoldTheirSectionsByteForByte) {
  struct Case {
    const char* what;
    std::string argRecords, xdrProtos, clientProtos, serverProtos, expected;
  };
  const Case cases[] = {
      {"one procedure with both records",
       "typedef struct {\n\tint a;\n} getQuote_in_t;\n",
       "bool_t xdr_getQuote_in_t(XDR* xdrp, getQuote_in_t* pgetQuote_in_t);\n",
       "enum clnt_stat getQuote_wrap(CLIENT* clnt);\n#define QUOTE_1_HANDLE QUOTE_1_handle\n",
       "void* getQuote_call(getQuote_in_t* in, getQuote_out_t* out);\n",
       "\n#ifdef VELORIN_XDR\n\n"
       "typedef struct {\n\tint a;\n} getQuote_in_t;\n"
       "bool_t xdr_getQuote_in_t(XDR* xdrp, getQuote_in_t* pgetQuote_in_t);\n"
       "\n#endif\n\n"
       "\n#ifdef VELORIN_CLIENT\n\n"
       "enum clnt_stat getQuote_wrap(CLIENT* clnt);\n#define QUOTE_1_HANDLE QUOTE_1_handle\n"
       "\n#endif\n\n"
       "\n#ifdef VELORIN_SERVER\n\n"
       "void* getQuote_call(getQuote_in_t* in, getQuote_out_t* out);\n"
       "\n#endif\n\n"},
      {"no records at all", "", "", "", "",
       "\n#ifdef VELORIN_XDR\n\n\n#endif\n\n"
       "\n#ifdef VELORIN_CLIENT\n\n\n#endif\n\n"
       "\n#ifdef VELORIN_SERVER\n\n\n#endif\n\n"},
      {"text without a final newline and unusual bytes", "a\tb", "\r", "\xc3\xa9", "\xff",
       "\n#ifdef VELORIN_XDR\n\na\tb\r\n#endif\n\n"
       "\n#ifdef VELORIN_CLIENT\n\n\xc3\xa9\n#endif\n\n"
       "\n#ifdef VELORIN_SERVER\n\n\xff\n#endif\n\n"},
  };
  for (const Case& c : cases) {
    resetGenerationSections();
    headerOut.open("blocks.h", std::ios::binary);
    argRecordSection.stream() << c.argRecords;
    xdrProtoSection.stream() << c.xdrProtos;
    clientProtoSection.stream() << c.clientProtos;
    serverProtoSection.stream() << c.serverProtos;
    emitSectionBlocks();
    headerOut.close();
    EXPECT_EQ(readFile("blocks.h"), c.expected) << c.what;
  }
}

TEST_F(HeaderBlocks, CommonBlockIsGuardedAndFlushedLineByLine) {
  headerOut.open("common.h", std::ios::binary);
  writeDefine("A_NAME", "a value");
  // Each definition reaches the file at once.
  EXPECT_EQ(readFile("common.h"), "#define A_NAME a value\n");
  headerOut.close();

  headerOut.open("common.h", std::ios::binary);
  emitCommonMacros();
  headerOut.close();
  EXPECT_EQ(readFile("common.h"),
            "#ifndef VELORIN_COMMON_H\n"
            "#define VELORIN_COMMON_H\n"
            "#define ERR_NULL_CLNT -125\n"
            "#define server_err(x) vlrpc_report_event(x)\n"
            "#define MEM_ASSERT(P) {if(P==0){server_err(\"Memory exhausted!\"); return 0;}}\n"
            "#define server_msg(x) vlrpc_report_event(x)\n"
            "#define server_exit(x) exit(x)\n"
            "#endif\n\n");
}

// ------------------------------------------------------------------ splice

using Splice = OutputDir;

TEST_F(Splice, CopiesEveryByteAndCanBeRepeated) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  outFile section("section", 1);
  section.stream() << everyByte << everyByte;
  std::ostringstream first, second;
  spliceSection(first, section);
  spliceSection(second, section);
  EXPECT_EQ(first.str(), everyByte + everyByte);
  EXPECT_EQ(second.str(), first.str());
  EXPECT_TRUE(exists("section"));
  EXPECT_EQ(errorCount.generation, 0);
}

TEST_F(Splice, UnreadableSectionIsACountedErrorAndCopiesNothing) {
  outFile neverCreated("no/such/dir/section", 1);
  outFile removed("removed", 1);
  removed.stream() << "lost text\n";
  std::remove("removed");
  for (outFile* section : {&neverCreated, &removed}) {
    std::ostringstream target;
    const int before = errorCount.generation;
    testing::internal::CaptureStderr();
    spliceSection(target, *section);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error:  fail to open file " + section->name() + ".\n");
    EXPECT_EQ(errorCount.generation, before + 1);
    EXPECT_EQ(target.str(), "");
  }
}

// ------------------------------------------------- files and error reports

using Files = OutputDir;

TEST_F(Files, OutFileEmptiesItsFileAndRemovesItOnlyWhenAsked) {
  for (int removeFlag : {0, 1}) {
    writeFile("f", "old contents\n");
    {
      outFile f("f", removeFlag);
      EXPECT_EQ(f.name(), "f");
      EXPECT_EQ(readFile("f"), "");
      f.stream() << "new";
    }
    EXPECT_EQ(exists("f"), removeFlag == 0) << removeFlag;
    if (!removeFlag) {
      EXPECT_EQ(readFile("f"), "new");
    }
  }
}

TEST_F(Files, StreamOfAFileThatDidNotOpenEndsTheProcess) {
  EXPECT_EXIT(
      {
        outFile f("no/such/dir/f", 1);
        f.stream() << "x";
      },
      testing::ExitedWithCode(1), "^Fatal error: fail open file no/such/dir/f\n$");
}

TEST_F(Files, ReportErrorCountsAndLeavesTheMessageToTheCaller) {
  testing::internal::CaptureStderr();
  for (int i = 1; i <= 3; ++i) reportError() << "number " << i << "\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: number 1\nError: number 2\nError: number 3\n");
  EXPECT_EQ(errorCount.generation, 3);
}

TEST_F(Files, CannotCreateFileEndsWithStatus255) {
  EXPECT_EXIT(cannotCreateFile("rfile.h"), testing::ExitedWithCode(255),
              "^Error: could not create file rfile.h for output.\n$");
}

// The section files exist from start-up on: private, distinct, in the
// temporary directory.
TEST(SectionFiles, CreatedAtStartUpPrivateAndDistinct) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path where = fs::absolute((tmp && *tmp) ? tmp : "/tmp");
  std::set<std::string> names;
  for (outFile* s : {&argRecordSection, &xdrProtoSection, &clientProtoSection,
                     &serverProtoSection, &serverCodeSection, &leadingTextSection,
                     &trailingTextSection}) {
    const std::string name = s->name();
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name))) << name;
    EXPECT_EQ(modeOf(name), 0600u) << name;
    EXPECT_EQ(fs::absolute(name).parent_path(), where) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 7u);
}

TEST_F(Files, TemporaryFilesAreNewPrivateFilesInTmpdir) {
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved ? saved : "";
  const std::string mine = (dir / "tmp").string();
  fs::create_directory(mine);

  setenv("TMPDIR", mine.c_str(), 1);
  const std::string a = createTemporaryFile();
  const std::string b = createTemporaryFile();
  EXPECT_NE(a, b);
  for (const std::string& name : {a, b}) {
    EXPECT_EQ(fs::path(name).parent_path(), fs::path(mine)) << name;
    EXPECT_EQ(modeOf(name), 0600u) << name;
    EXPECT_EQ(readFile(name), "") << name;
  }

  // A TMPDIR that takes no file gives way to the system's directory, quietly.
  const std::string missing = (dir / "missing").string();
  setenv("TMPDIR", missing.c_str(), 1);
  testing::internal::CaptureStderr();
  const std::string fallback = createTemporaryFile();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(fs::path(fallback).parent_path(), fs::path(P_tmpdir)) << fallback;
  EXPECT_EQ(modeOf(fallback), 0600u);
  fs::remove(fallback);

  // Where no directory takes one, every directory tried is named.
  testing::internal::CaptureStderr();
  EXPECT_EQ(createTemporaryFileIn({missing, missing + "/deeper/"}), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            missing + "/velorinXXXXXX: No such file or directory\n" + missing +
                "/deeper/velorinXXXXXX: No such file or directory\n");

  if (saved)
    setenv("TMPDIR", savedValue.c_str(), 1);
  else
    unsetenv("TMPDIR");
}
