// The real road: the stock interface generated whole, its server built from
// the generated server file, the runtime and a small implementation of the
// server functions, its client from the generated client stubs; the client
// calls every procedure over TCP and over UDP on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>

#include "diagnostics/error_report.h"
#include "generate/generate_version.h"
#include "generation_fixture.h"
#include "stock_model.h"
#include "../support/server_process.hpp"

using namespace build;

namespace {

using testsupport::freeServerPort;
using testsupport::serverProcess;

// The programmer's server functions. The server announces on its standard
// output, from its INIT_AFTER_REGISTER function, that it serves. Its result
// buffers are allocated through test_malloc, test_calloc and test_alloc (in
// place of the runtime's vlrpc_alloc), which fail in a server started with
// ROAD_EXHAUSTED set.
const char* const implementation = R"c(
#define VELORIN_XDR
#define VELORIN_SERVER
#include "stock.h"
#include <stdlib.h>
#include <unistd.h>

void* test_malloc(size_t size) { return getenv("ROAD_EXHAUSTED") ? 0 : malloc(size); }
void* test_calloc(size_t n, size_t size) { return getenv("ROAD_EXHAUSTED") ? 0 : calloc(n, size); }
void* test_alloc(unsigned long long n, size_t size) { return getenv("ROAD_EXHAUSTED") ? 0 : vlrpc_alloc(n, size); }

void announce(int argc, char** argv) {
    (void)argc; (void)argv;
    if (write(1, "ready\n", 6) != 6) _exit(3);
}
int getQuote(stkQuote* quote) { quote->low *= 2; quote->high *= 2; quote->close *= 2; return 1; }
void reset() {}
int now() { return 1234; }
int fetch(int n, char* buf) { memset(buf, 'f', n < 64 ? n : 64); return n; }
void scale(int count, int* vals) { int i; for (i = 0; i < count && i < 16; i++) vals[i] *= 3; }
)c";

// The client: every failed check prints its line; the exit status is the
// number of failed checks.
const char* const client = R"c(
#define VELORIN_XDR
#define VELORIN_CLIENT
#include "stock.h"

extern CLIENT* STOCK_1_handle;
static int failures = 0;
#define CHECK(c) do { if (!(c)) { printf("failed: %s (line %d)\n", #c, __LINE__); failures++; } } while (0)

/* scale's argument record as a client that lies about its count sends it:
 * the count says 1000, the array brings two elements. */
static bool_t lyingScaleArguments(XDR* xdrs, void* unused) {
    int count = 1000;
    int vals[2] = {1, 2};
    int* p = vals;
    u_int n = 2;
    (void)unused;
    return xdr_int(xdrs, &count) && xdr_array(xdrs, (char**)&p, &n, 16, sizeof(int), (xdrproc_t)xdr_int);
}

int main(int argc, char** argv) {
    stkQuote q = {1.0, 2.0, 3.0};
    char buf[64];
    int vals[3] = {1, 2, 3};
    struct timeval tv = {5, 0};

    CHECK(stock_bind("127.0.0.1", 0, 0, argv[1]) != 0);

    if (argc > 2) {
        /* The server cannot allocate fetch's buffer: a system error, and
         * nothing written into the caller's buffer. */
        memset(buf, 0, sizeof buf);
        CHECK(fetch(5, buf) == 0);
        CHECK(stock_errno(0) == RPC_SYSTEMERROR);
        CHECK(buf[0] == 0);
        CHECK(now() == 1234);
        stock_unbind(0);
        return failures;
    }

    /* inout pointer */
    CHECK(getQuote(&q) == 1);
    CHECK(q.low == 2.0 && q.high == 4.0 && q.close == 6.0);
    /* no argument record: the result still reaches the result record */
    CHECK(now() == 1234);
    CHECK(stock_errno(0) == RPC_SUCCESS);
    /* out array in a forked call, its buffer allocated for the call */
    memset(buf, 0, sizeof buf);
    CHECK(fetch(5, buf) == 5);
    CHECK(memcmp(buf, "fffff", 5) == 0 && buf[5] == 0);
    /* inout array */
    scale(3, vals);
    CHECK(stock_errno(0) == RPC_SUCCESS);
    CHECK(vals[0] == 3 && vals[1] == 6 && vals[2] == 9);
    /* early reply with the zeroed result record */
    reset();
    CHECK(stock_errno(0) == RPC_SUCCESS);
    /* arguments whose array brings fewer elements than its count */
    CHECK(clnt_call(STOCK_1_handle, SCALE, (xdrproc_t)lyingScaleArguments, 0,
                    (xdrproc_t)xdr_void, 0, tv) == RPC_CANTDECODEARGS);
    /* the server serves on */
    CHECK(now() == 1234);
    stock_unbind(0);
    return failures;
}
)c";

// The tests' ports, apart from those of the other tests.
const int kFirstPort = 31100;
const int kLastPort = 31149;

class RoadTest : public GenerationTest {
protected:
    void build(const std::string& command)
    {
        SCOPED_TRACE(command);
        EXPECT_EQ(std::system((std::string(PROCGEN_CC) + " " + command + " 2>&1").c_str()), 0);
    }

    // Generates the version, builds its server and client, and runs the
    // client against the server over both transports; `exhausted` servers
    // cannot allocate result buffers.
    void generateBuildAndCall(rpcVersion* v, std::initializer_list<bool> exhaustedServers)
    {
        v->program()->addProperty(stock::flag("INIT_AFTER_REGISTER", "announce"));
        generateVersion(v);
        ASSERT_EQ(errorCount.generation, 0);

        std::ofstream("impl.c") << implementation;
        std::ofstream("client.c") << client;
        build(
            "-Werror -Dmalloc=test_malloc -Dcalloc=test_calloc -Dvlrpc_alloc=test_alloc -c stock_svc.c");
        build("-Werror -c stock_xdr.c");
        build("-Werror -c stock_cln.c");
        build("-c impl.c");
        build("-c client.c");
        build("stock_svc.o stock_xdr.o impl.o " PROCGEN_LIBS " -o server");
        build("client.o stock_cln.o stock_xdr.o " PROCGEN_LIBS " -o client");
        ASSERT_FALSE(HasFailure());

        for (const bool exhausted : exhaustedServers) {
            SCOPED_TRACE(exhausted ? "allocations fail" : "allocations succeed");
            serverProcess::environment variables;
            if (exhausted)
                variables.emplace_back("ROAD_EXHAUSTED", "1");
            serverProcess server("./server", {}, variables);
            ASSERT_TRUE(server.ready());
            for (const char* protocol : {"tcp", "udp"}) {
                SCOPED_TRACE(protocol);
                const std::string command =
                    std::string("./client ") + protocol + (exhausted ? " exhausted" : "") + " 2>&1";
                EXPECT_EQ(std::system(command.c_str()), 0);
            }
        }
    }
};

}  // namespace

TEST_F(RoadTest, GeneratedServerAnswersGeneratedClientOverTcpAndUdp)
{
    const int port = freeServerPort(kFirstPort, kLastPort);
    ASSERT_NE(port, 0);
    rpcVersion* v = stock::version(0x20000260);
    // A fixed port instead of the portmapper, on which the client binds too.
    v->program()->addProperty(prop("SERVER_PORT", num(port)));
    v->program()->addProperty(stock::flag("NO_PMAP_REGISTER"));
    generateBuildAndCall(v, {false, true});
}

TEST_F(RoadTest, ThroughThePortmapper)
{
    // The server unregisters the program, registers both transports with the
    // portmapper; the client finds them there.
    generateBuildAndCall(stock::version(0x20000261), {false});
}
