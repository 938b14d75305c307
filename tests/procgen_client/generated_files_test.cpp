// A whole version generated from a model, as the compile flow generates it:
// the client file, the XDR file and the class files compiled with the
// system's C and C++ compilers against libtirpc and the runtime headers, and
// then a generated client talking to a small server over TCP and UDP on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client_models.h"
#include "diagnostics/error_report.h"
#include "driver/compile_run.h"
#include "driver/configuration.h"
#include "generate/generate_version.h"
#include "output/output_files.h"
#include "../support/server_process.hpp"
#include "../support/test_files.hpp"

using namespace build;

namespace {

using testsupport::freeServerPort;
using testsupport::serverProcess;

using testsupport::readFile;
using testsupport::writeFile;

// Runs a shell command; its exit status, and what it wrote on both streams.
int run(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        text.append(chunk, n);
    const int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The warnings of a compiler run, one per line.
std::vector<std::string> warnings(const std::string& output)
{
    std::vector<std::string> found;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.find("warning:") != std::string::npos)
            found.push_back(line);
    return found;
}

const std::string kCompilerFlags = std::string("-Wall -fno-diagnostics-show-caret -I") +
                                   VELORIN_INCLUDE_DIR + " -I/usr/include/tirpc " +
                                   VELORIN_TEST_CC_FLAGS;
const std::string kLinkFlags = std::string(VLRPC_LIBRARY) + " -ltirpc";

// Generates one version into a fresh directory, as the compile flow does:
// from that directory, with the default configured header names.
class GeneratedVersion : public ::testing::Test {
protected:
    testsupport::ScratchDir scratch{"procgen_client"};
    const std::string dir = scratch.path();

    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    void TearDown() override
    {
        if (HasFailure())
            scratch.keep();
    }

    void generate(rpcVersion* version)
    {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        startRun();
        oncRpcHeader = "rpc/rpc.h";
        pmapClntHeader = "rpc/pmap_clnt.h";
        generateVersion(version);
        ASSERT_EQ(chdir(here), 0);
        ASSERT_EQ(errorCount.generation, 0);
    }

    std::string file(const std::string& name) const { return dir + "/" + name; }

    // Compiles one generated or test source. Strict: -Werror, and no warning
    // at all. The XDR file's text belongs to the type generators and only has
    // to compile here.
    void compile(const std::string& compiler, const std::string& source, int strict = 1)
    {
        std::string output;
        const int status = run("cd '" + dir + "' && " + compiler + " " + kCompilerFlags +
                                   (strict ? " -Werror" : "") + " -c " + source,
                               &output);
        EXPECT_EQ(status, 0) << compiler << " " << source << ":\n" << output;
        if (strict) {
            EXPECT_TRUE(warnings(output).empty()) << compiler << " " << source << ":\n" << output;
        }
    }

    void link(const std::string& linker, const std::string& objects, const std::string& program)
    {
        std::string output;
        EXPECT_EQ(run("cd '" + dir + "' && " + linker + " " + VELORIN_TEST_CC_FLAGS + " -o " +
                          program + " " + objects + " " + kLinkFlags,
                      &output),
                  0)
            << output;
    }
};

// Offsets of the parts in `text`, which must all be there in this order.
void expectInOrder(const std::string& text, const std::vector<std::string>& parts)
{
    size_t at = 0;
    for (const std::string& part : parts) {
        const size_t found = text.find(part, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << part;
        at = found + part.size();
    }
}

// The road model: program rfile (a number of the test range), version 5,
// fixed port, with the read procedure, the quote procedure, and a slow one
// whose stub waits 1 second.
struct roadModel {
    rpcProgram* program;
    rpcVersion* version;

    explicit roadModel(int port)
    {
        readModel read(0x20000290, 5);
        quoteModel quote;
        rpcProcedure* rfread = procedure("rfread", read.rfread->returnType(), {}, 1);
        rfread->arguments = read.rfread->arguments;
        rpcProcedure* getQuote = procedure("getQuote", quote.getQuote->returnType(), {}, 2);
        getQuote->arguments = quote.getQuote->arguments;
        rpcProcedure* slow = procedure("slow", prim(CODE_INT), {}, 3);
        slow->addProperty(prop("TIMEOUT_VALUE", num(1)));
        version = build::version(5, {rfread, getQuote, slow});
        program = build::program("rfile", 0x20000290, {version});
        version->addProperty(prop("SERVER_PORT", num(port)));
    }
};

}  // namespace

TEST_F(GeneratedVersion, ClientFilesInOrderAndCompiled)
{
    roadModel model(41150);
    generate(model.version);

    expectInOrder(readFile(file("rfile_cln.c")),
                  {"#define VELORIN_XDR\n#define VELORIN_CLIENT\n#include \"rfile.h\"\n",
                   "CLIENT* RFILE_5_handle = 0;\nstruct timeval RFILE_5_timeout = {60, 0};\n",
                   "static bool_t xdr_rfread_out_t_bounded(", "\nint rfread_wrap(", "\nint rfread(",
                   "\nint getQuote_wrap(", "\nint getQuote(", "\nint slow_wrap(", "\nint slow(",
                   "\ttimeOut.tv_usec = 0;\n\ttimeOut.tv_sec = 1;\n", "CLIENT*\trfile_bind(",
                   "void\trfile_bind_handle(", "void\trfile_unbind(",
                   "enum clnt_stat\trfile_errno("});
    expectInOrder(
        readFile(file("rfile.h")),
        {"#ifdef VELORIN_CLIENT\n\n",
         "int rfread_wrap(CLIENT* pclnt, struct timeval* ptimeout, struct rfread_in_t* pIn, "
         "struct rfread_out_t* pOut);\n",
         "int slow_wrap(CLIENT* pclnt, struct timeval* ptimeout, struct slow_out_t* pOut);\n",
         "#define RFILE_5_HANDLE RFILE_5_handle\n",
         "#define RFILE_5_SET_HANDLE rfile_bind_handle\n",
         "#define RFILE_5_TIMEOUT RFILE_5_timeout\n", "#endif",
         " int rfread(void* ptr, size_T size, size_T nm, int stream);\n",
         " int getQuote(stkQuote* quote);\n", " int slow();\n",
         " CLIENT*\trfile_bind(const char* host, u_long prog, u_long ver,const char* proto);\n",
         " void\trfile_unbind(CLIENT* pclnt);\n", " void\trfile_bind_handle(CLIENT* pclnt);\n",
         " enum clnt_stat\trfile_errno(CLIENT* pclnt);\n\n"});
    expectInOrder(readFile(file("rfileClient.hpp")),
                  {"#define VELORIN_CLIENT\n#include \"rfile.h\"\n\n#include <rpcclient.hpp>\n",
                   "\n\nclass Crfile_5 : public RPCClient {\n", "\tCLIENT* bind(",
                   "\tint rfread(void* ptr, size_T size, size_T nm, int stream);\n",
                   "\tint getQuote(stkQuote* quote);\n", "\tint slow();\n", "\n\n};\n",
                   "\n\n#endif\n"});
    expectInOrder(readFile(file("rfileClient.cpp")),
                  {"#include \"rfileClient.hpp\"\n\n", "int Crfile_5::rfread(",
                   "int Crfile_5::getQuote(", "int Crfile_5::slow(", "CLIENT* Crfile_5::bind("});

    compile(VELORIN_TEST_CC, "rfile_cln.c");
    compile(VELORIN_TEST_CC, "rfile_xdr.c", 0);
    compile(VELORIN_TEST_CXX, "rfileClient.cpp");
}

TEST_F(GeneratedVersion, VersionWithoutProceduresStillCompiles)
{
    rpcVersion* version = build::version(2, {});
    program("empty", 0x20000291, {version});
    generate(version);
    const std::string classHeader = readFile(file("emptyClient.hpp"));
    expectInOrder(classHeader,
                  {"class Cempty_2 : public RPCClient {\n", "\tCempty_2(){}\n\n",
                   "\t\t:RPCClient(host, proto, prog,ver){ }\n\n",
                   "\tCLIENT* bind(const char* host, const char*proto=0, u_long prog=EMPTY, "
                   "u_long ver=EMPTY_2);\n\n\n};\n"});
    compile(VELORIN_TEST_CC, "empty_cln.c");
    compile(VELORIN_TEST_CXX, "emptyClient.cpp");
}

namespace {

// A server of the road model in C, on the generated XDR routines: rfread
// answers stream 0 with "hello" and stream 1 with a reply that claims a
// bound of 1000 x 1000 bytes and carries 64; getQuote doubles the quote;
// slow answers after 6 seconds, far beyond its client's 1-second timeout.
const char* const kServerSource = R"(#define VELORIN_XDR
#include "rfile.h"
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

static void dispatch(struct svc_req* rq, SVCXPRT* xprt) {
	char data[64];
	switch (rq->rq_proc) {
	case RFREAD: {
		rfread_in_t in;
		rfread_out_t out;
		memset(&in, 0, sizeof in);
		memset(&out, 0, sizeof out);
		if (!svc_getargs(xprt, (xdrproc_t)xdr_rfread_in_t, (caddr_t)&in)) {
			svcerr_decode(xprt);
			return;
		}
		memset(data, 'x', sizeof data);
		out.ptr = data;
		if (in.stream == 0) {
			memcpy(data, "hello", 5);
			out.size = in.size;
			out.nm = in.nm;
			out._vlrpc_return_ = 5;
		} else {
			out.size = 1000;
			out.nm = 1000;
			out._vlrpc_return_ = 64;
		}
		svc_sendreply(xprt, (xdrproc_t)xdr_rfread_out_t, (caddr_t)&out);
		svc_freeargs(xprt, (xdrproc_t)xdr_rfread_in_t, (caddr_t)&in);
		return;
	}
	case GETQUOTE: {
		getQuote_in_t in;
		getQuote_out_t out;
		memset(&in, 0, sizeof in);
		if (!svc_getargs(xprt, (xdrproc_t)xdr_getQuote_in_t, (caddr_t)&in) || !in.quote) {
			svcerr_decode(xprt);
			return;
		}
		in.quote->low *= 2;
		in.quote->high *= 2;
		in.quote->close *= 2;
		out.quote = in.quote;
		out._vlrpc_return_ = 1;
		svc_sendreply(xprt, (xdrproc_t)xdr_getQuote_out_t, (caddr_t)&out);
		svc_freeargs(xprt, (xdrproc_t)xdr_getQuote_in_t, (caddr_t)&in);
		return;
	}
	case SLOW: {
		slow_out_t out;
		sleep(6);
		out._vlrpc_return_ = 7;
		svc_sendreply(xprt, (xdrproc_t)xdr_slow_out_t, (caddr_t)&out);
		return;
	}
	default:
		svcerr_noproc(xprt);
	}
}

static int loopback(int type, int port) {
	struct sockaddr_in addr;
	int one = 1;
	int fd = socket(AF_INET, type, 0);
	setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
	memset(&addr, 0, sizeof addr);
	addr.sin_family = AF_INET;
	addr.sin_port = htons(port);
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	if (fd < 0 || bind(fd, (struct sockaddr*)&addr, sizeof addr) != 0)
		exit(2);
	if (type == SOCK_STREAM && listen(fd, 16) != 0)
		exit(2);
	return fd;
}

int main(int argc, char** argv) {
	int port = atoi(argv[1]);
	SVCXPRT* tcp = svctcp_create(loopback(SOCK_STREAM, port), 0, 0);
	SVCXPRT* udp = svcudp_create(loopback(SOCK_DGRAM, port));
	if (!tcp || !udp || !svc_register(tcp, RFILE, RFILE_5, dispatch, 0) ||
	    !svc_register(udp, RFILE, RFILE_5, dispatch, 0))
		return 3;
	printf("ready\n");
	fflush(stdout);
	svc_run();
	return 4;
}
)";

// The C client: every check that fails prints its line; the exit status is
// the number of failed checks.
const char* const kClientSource = R"(#define VELORIN_XDR
#define VELORIN_CLIENT
#include "rfile.h"
#include <sys/time.h>

extern CLIENT* RFILE_5_handle;
static int failures = 0;
#define CHECK(c) do { if (!(c)) { printf("failed: %s (line %d)\n", #c, __LINE__); failures++; } } while (0)

/* The caller's 8-byte buffer, with a guard behind it that no reply may touch. */
struct guarded { char buf[8]; char guard[64]; };

static int guardIntact(const struct guarded* g) {
	int i;
	for (i = 0; i < 64; i++)
		if (g->guard[i] != 'G')
			return 0;
	return 1;
}

int main(int argc, char** argv) {
	struct guarded g;
	stkQuote q = {1.0, 2.0, 3.0};
	struct timeval tv = {1, 0}, start, end;

	/* Nothing bound yet: the null handle stops in the call function. */
	CHECK(rfread_wrap(0, &tv, 0, 0) == ERR_NULL_CLNT);
	CHECK(rfread(g.buf, 4, 2, 0) == 0);
	CHECK(getQuote(&q) == 0);
	CHECK(rfile_errno(0) != RPC_SUCCESS);

	CHECK(rfile_bind("127.0.0.1", 0, 0, argv[1]) != 0);
	CHECK(RFILE_5_handle != 0);

	memset(&g, 'G', sizeof g);
	CHECK(rfread(g.buf, 4, 2, 0) == 5);
	CHECK(rfile_errno(0) == RPC_SUCCESS);
	CHECK(memcmp(g.buf, "hello", 5) == 0);

	/* The reply claims 1000 x 1000 bytes of room and sends 64 for 4 x 2. */
	memset(&g, 'G', sizeof g);
	CHECK(rfread(g.buf, 4, 2, 1) == 0);
	CHECK(rfile_errno(0) == RPC_CANTDECODERES);
	CHECK(guardIntact(&g));

	CHECK(getQuote(&q) == 1);
	CHECK(q.low == 2.0 && q.high == 4.0 && q.close == 6.0);

	/* The stub installs its own 1-second timeout. */
	gettimeofday(&start, 0);
	CHECK(slow() == 0);
	gettimeofday(&end, 0);
	CHECK(rfile_errno(0) == RPC_TIMEDOUT);
	/* Well before the server's 6-second answer, whatever the load. */
	CHECK((end.tv_sec - start.tv_sec) * 1000 + (end.tv_usec - start.tv_usec) / 1000 < 5000);

	/* Unbinding the global handle clears it: no call uses it afterwards. */
	rfile_unbind(0);
	CHECK(RFILE_5_handle == 0);
	CHECK(getQuote(&q) == 0);
	CHECK(rfile_errno(0) != RPC_SUCCESS);
	rfile_unbind(0);
	return failures;
}
)";

// The C++ client: an unbound object, then one bound with the protocol given.
const char* const kClassClientSource = R"(#include "rfileClient.hpp"
#include <string>

static int failures = 0;
#define CHECK(c) do { if (!(c)) { printf("failed: %s (line %d)\n", #c, __LINE__); failures++; } } while (0)

struct guarded { char buf[8]; char guard[64]; };

int main(int argc, char** argv) {
	guarded g;
	stkQuote q = {1.0, 2.0, 3.0};

	Crfile_5 unbound;
	CHECK(unbound.rfread(g.buf, 4, 2, 0) == 0);
	CHECK(unbound.getQuote(&q) == 0);

	Crfile_5 client;
	CHECK(client.bind("127.0.0.1", argv[1]) != 0);
	memset(&g, 'G', sizeof g);
	CHECK(client.rfread(g.buf, 4, 2, 0) == 5);
	CHECK(memcmp(g.buf, "hello", 5) == 0);
	memset(&g, 'G', sizeof g);
	CHECK(client.rfread(g.buf, 4, 2, 1) == 0);
	CHECK(memcmp(g.guard, std::string(64, 'G').data(), 64) == 0);
	CHECK(client.getQuote(&q) == 1);
	CHECK(q.close == 6.0);
	client.destroy();
	return failures;
}
)";

// The test's ports (31151-31199), apart from those of the other tests; the
// generated bind functions connect to one directly.
const int kFirstPort = 31151;
const int kLastPort = 31199;

}  // namespace

TEST_F(GeneratedVersion, ClientsCallAServerOverTcpAndUdp)
{
    const int port = freeServerPort(kFirstPort, kLastPort);
    ASSERT_NE(port, 0);
    roadModel model(port);
    generate(model.version);
    writeFile(file("server.c"), kServerSource);
    writeFile(file("client.c"), kClientSource);
    writeFile(file("classclient.cpp"), kClassClientSource);
    for (const char* source : {"rfile_cln.c", "server.c", "client.c"})
        compile(VELORIN_TEST_CC, source);
    compile(VELORIN_TEST_CC, "rfile_xdr.c", 0);
    compile(VELORIN_TEST_CXX, "rfileClient.cpp");
    compile(VELORIN_TEST_CXX, "classclient.cpp");
    link(VELORIN_TEST_CC, "server.o rfile_xdr.o", "server");
    link(VELORIN_TEST_CC, "client.o rfile_cln.o rfile_xdr.o", "client");
    link(VELORIN_TEST_CXX, "classclient.o rfileClient.o rfile_cln.o rfile_xdr.o", "classclient");
    ASSERT_FALSE(HasFailure());

    serverProcess server(file("server"), {std::to_string(port)});
    ASSERT_TRUE(server.ready());
    for (const char* protocol : {"tcp", "udp"}) {
        SCOPED_TRACE(protocol);
        std::string output;
        EXPECT_EQ(run(file("client") + " " + protocol, &output), 0) << output;
        EXPECT_EQ(run(file("classclient") + " " + protocol, &output), 0) << output;
    }
}
