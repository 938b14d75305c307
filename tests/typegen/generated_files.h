// Runs the version generator on a model inside a directory of the test's
// own, and compiles and runs C programs against what it wrote.
#ifndef VELORIN_TESTS_TYPEGEN_GENERATED_FILES_H
#define VELORIN_TESTS_TYPEGEN_GENERATED_FILES_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "generate/generate_version.h"
#include "model/rpc_program.h"
#include "output/output_files.h"

#include "../support/test_files.hpp"

namespace generated {

using testsupport::readFile;
using testsupport::writeFile;

inline bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// A directory named after the running test, emptied first.
inline std::string testDirectory()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string dir =
        std::string(TYPEGEN_WORK_DIR) + "/" + info->test_suite_name() + "." + info->name();
    const std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir;
}

// Runs `function` with the working directory set to `dir`.
template <typename Function>
void inDirectory(const std::string& dir, Function function)
{
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    function();
    ASSERT_EQ(chdir(previous), 0);
}

// Generates one version in `dir`; the file base is the version's. Returns
// the files the version's report concerns.
inline versionFileSet generate(const std::string& dir, rpcVersion* version)
{
    if (oncRpcHeader.empty())
        oncRpcHeader = "rpc/rpc.h";
    if (pmapClntHeader.empty())
        pmapClntHeader = "rpc/pmap_clnt.h";
    versionFileSet files;
    inDirectory(dir, [&] { files = generateVersion(version); });
    return files;
}

// Runs a shell command in `dir`; its output (both streams) goes to *output.
inline int run(const std::string& dir, const std::string& command, std::string* output)
{
    const std::string log = dir + "/command.log";
    const std::string full = "cd '" + dir + "' && (" + command + ") >'" + log + "' 2>&1";
    const int status = std::system(full.c_str());
    if (output)
        *output = readFile(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Flags every generated C file is compiled with.
inline std::string cFlags()
{
    return std::string("-Wall -Werror ") + TYPEGEN_CC_FLAGS + " " + TYPEGEN_TIRPC_CFLAGS + " -I" +
           TYPEGEN_REPO_INCLUDE + " -I.";
}

// 0 when the header compiles as C and as C++ with every block selected.
inline int compileHeader(const std::string& dir, const std::string& base, std::string* output)
{
    writeFile(dir + "/header_c.c",
              "#define VELORIN_XDR\n#define VELORIN_CLIENT\n#define VELORIN_SERVER\n"
              "#include \"" +
                  base + ".h\"\nint main(void) { return 0; }\n");
    writeFile(dir + "/header_cxx.cpp",
              "#define VELORIN_XDR\n#define VELORIN_CLIENT\n#define VELORIN_SERVER\n"
              "#include \"" +
                  base + ".h\"\nint main() { return 0; }\n");
    return run(dir,
               std::string(VELORIN_TEST_CC) + " " + cFlags() + " -fsyntax-only header_c.c && " +
                   VELORIN_TEST_CXX + " " + cFlags() + " -fsyntax-only header_cxx.cpp",
               output);
}

// Compiles `program` (the text of a C file that includes the header) with
// the generated XDR file, links it against the runtime and libtirpc and
// runs it. Leak
// checking is on for the program when it is built with the sanitizers.
// `launcher` goes in front of the program's command line (a ulimit, say).
inline int compileAndRun(const std::string& dir, const std::string& base,
                         const std::string& program, std::string* output,
                         const std::string& launcher = "")
{
    writeFile(dir + "/program.c", program);
    std::string compileOutput;
    const int compiled =
        run(dir,
            std::string(VELORIN_TEST_CC) + " " + cFlags() + " -o program program.c " + base +
                "_xdr.c " + TYPEGEN_VLRPC_LIB + " " + TYPEGEN_TIRPC_LIBS,
            &compileOutput);
    if (compiled != 0) {
        if (output)
            *output = "compile failed:\n" + compileOutput;
        return 1000 + compiled;
    }
    return run(dir, launcher + "ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=detect_leaks=1 ./program",
               output);
}

// What every test program starts with: the header, the XDR memory stream
// helpers and a CHECK macro that counts failures.
inline std::string programPrelude(const std::string& base)
{
    return "#include \"" + base + ".h\"\n" + R"C(
#include <stdlib.h>
static int failures = 0;
#define CHECK(c) do { if(!(c)) { printf("FAILED line %d: %s\n", __LINE__, #c); failures++; } } while(0)
static unsigned char wire[65536];

/* Encodes one value; the number of bytes written, or 0 when the filter fails. */
static __attribute__((unused)) u_int encode(xdrproc_t filter, void* value) {
	XDR xdrs;
	u_int length;
	xdrmem_create(&xdrs, (char*)wire, sizeof wire, XDR_ENCODE);
	length = filter(&xdrs, value) ? xdr_getpos(&xdrs) : 0;
	xdr_destroy(&xdrs);
	return length;
}

/* Decodes one value from `length` bytes of `bytes`; the filter's result. */
static __attribute__((unused)) int decode(xdrproc_t filter, void* value, const unsigned char* bytes, u_int length) {
	XDR xdrs;
	int ok;
	xdrmem_create(&xdrs, (char*)bytes, length, XDR_DECODE);
	ok = filter(&xdrs, value);
	xdr_destroy(&xdrs);
	return ok;
}

/* 1 when the first `length` bytes of the wire are the hexadecimal text. */
static __attribute__((unused)) int wire_is(u_int length, const char* hex) {
	char text[2 * sizeof wire + 1];
	u_int i;
	for(i = 0; i < length; i++)
		sprintf(text + 2 * i, "%02x", wire[i]);
	text[2 * length] = 0;
	if(strcmp(text, hex) != 0) {
		printf("wire: %s\nwant: %s\n", text, hex);
		return 0;
	}
	return 1;
}

/* Bytes from hexadecimal text into `bytes`; their number. */
static __attribute__((unused)) u_int from_hex(const char* hex, unsigned char* bytes) {
	u_int n = 0;
	unsigned int byte;
	while(hex[0] && hex[1] && sscanf(hex, "%2x", &byte) == 1) {
		bytes[n++] = (unsigned char)byte;
		hex += 2;
	}
	return n;
}
)C";
}

inline std::string programEnd()
{
    return "\tprintf(\"%d failed\\n\", failures);\n\treturn failures != 0;\n}\n";
}

// Generates the version into the test's directory and compiles the header
// (as C and C++), the XDR file and the other C files; the directory.
inline std::string generateAndCompile(rpcVersion* version, const std::string& base)
{
    const std::string dir = testDirectory();
    startRun();
    generate(dir, version);
    EXPECT_EQ(errorCount.generation, 0);
    std::string output;
    EXPECT_EQ(compileHeader(dir, base, &output), 0) << output;
    EXPECT_EQ(
        run(dir, std::string(VELORIN_TEST_CC) + " " + cFlags() + " -c " + base + "_xdr.c", &output),
        0)
        << output;
    // The other C files of the version include the same header.
    EXPECT_EQ(run(dir,
                  std::string(VELORIN_TEST_CC) + " " + cFlags() + " -fsyntax-only " + base +
                      "_svc.c " + base + "_cln.c",
                  &output),
              0)
        << output;
    return dir;
}

inline void expectProgramPasses(const std::string& dir, const std::string& base,
                                const std::string& body, const std::string& launcher = "")
{
    std::string output;
    EXPECT_EQ(
        compileAndRun(dir, base, programPrelude(base) + body + programEnd(), &output, launcher), 0)
        << output;
    output = "\n" + output;
    EXPECT_NE(output.find("\n0 failed"), std::string::npos) << output;
}

// rpcgen's header and XDR routines (peer.h, peer_xdr.c) for the .x text,
// in the test's directory: 1 when written, 0 when rpcgen is not installed.
// A failing rpcgen fails the test.
inline int writeRpcgenPeer(const std::string& dir, const std::string& text)
{
    std::string output;
    if (run(dir, "command -v rpcgen", &output) != 0)
        return 0;
    writeFile(dir + "/peer.x", text);
    EXPECT_EQ(run(dir, "rpcgen -h -o peer.h peer.x && rpcgen -c -o peer_xdr.c peer.x", &output), 0)
        << output;
    return 1;
}

}  // namespace generated

#endif
