// Whole versions generated from models, as the generation driver writes
// them, and the server and XDR files compiled with cc -Wall -Werror: the
// generated C must build without a warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "diagnostics/error_report.h"
#include "generate/generate_version.h"
#include "generation_fixture.h"
#include "stock_model.h"

using namespace build;

namespace {

class CompiledVersion : public GenerationTest {
protected:
    // Compiles one generated C file; the compiler's messages go to the test
    // log, and any of them fails the test.
    void compile(const std::string& file)
    {
        const std::string command =
            std::string(PROCGEN_CC) + " -Werror -c " + file + " -o " + file + ".o 2>&1";
        SCOPED_TRACE(command);
        EXPECT_EQ(std::system(command.c_str()), 0) << readFile(file);
    }
};

}  // namespace

TEST_F(CompiledVersion, ServerAndXdrFilesCompileWithoutWarnings)
{
    generateVersion(stock::version(0x20000220));
    EXPECT_EQ(errorCount.generation, 0);
    compile(currentFiles.server);
    compile(currentFiles.xdr);
}

namespace {

// Two versions that repeat procedure names, as the compiler reads them.
const char* const twoVersions = R"idl(
typedef struct { double low; double high; double close; } stkQuote;

program multi {
	property TRANSPORT_PROTOCOL = tcp;
	version one {
		int getQuote(inout stkQuote* quote);
		int now();
	} = 1;
	version two {
		int getQuote(inout stkQuote* quote);
		int now();
		void scale(in int count, inout int [size = count, maxsize = 16] vals) {
			property THREAD_ON_CALL = true;
		};
	} = 2;
} = 0x20000270;
)idl";

const char* const unknownTransport = R"idl(
interface odd {
	property TRANSPORT_PROTOCOL = TCP;
	int now();
} = 0x20000271;
)idl";

}  // namespace

TEST_F(CompiledVersion, InterfaceFilesThroughTheCompiler)
{
    std::ofstream("multi.x") << twoVersions;
    std::ofstream("odd.x") << unknownTransport;
    ASSERT_EQ(std::system(PROCGEN_VELORIN " multi.x > multi.out 2> multi.err"), 0)
        << readFile("multi.err");
    EXPECT_EQ(readFile("multi.err").find("Error"), std::string::npos) << readFile("multi.err");
    for (const char* file : {"multi1_svc.c", "multi1_xdr.c", "multi2_svc.c", "multi2_xdr.c"})
        compile(file);
    const std::string server = readFile("multi2_svc.c");
    EXPECT_NE(server.find("\t\tcallInfo.mt_on_call = VELORIN_THREADING;\n"), std::string::npos);
    EXPECT_EQ(server.find("IPPROTO_UDP))"), std::string::npos);

    ASSERT_EQ(std::system(PROCGEN_VELORIN " odd.x > odd.out 2> odd.err"), 0) << readFile("odd.err");
    EXPECT_NE(readFile("odd.err").find("Warning: TRANSPORT_PROTOCOL TCP is neither tcp, udp nor "
                                       "tcp_and_udp: the server registers no transport.\n"),
              std::string::npos)
        << readFile("odd.err");
}
