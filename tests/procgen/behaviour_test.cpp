// The generated server code at work: a version generated from a model, its
// server and XDR files compiled with a small C program that calls the
// wrappers as the runtime does (local(pover, pback)) and codes the records
// as the ONC RPC library does, on memory streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "diagnostics/error_report.h"
#include "generate/generate_version.h"
#include "generation_fixture.h"
#include "model_builder.h"

using namespace build;

namespace {

//   program behave {
//     int  now() = 1;
//     void scale(in int count, inout int [.. size = count, maxsize = 4] vals) = 2;
//     int  fetch(in int n, out char [.. size = n, maxsize = 8] buf) = 3;
//     void label(out char [.. 32] name) = 4;          NON_BLOCKING = true
//   } = 0x20000230;                                   GEN_MAIN_FUNC = false
rpcVersion* behaveVersion()
{
    rpcProcedure* label =
        procedure("label", prim(CODE_VOID),
                  {arg("name", varArray(prim(CODE_CHAR), nullptr, num(32)), DIR_OUT)}, 4);
    label->addProperty(prop("NON_BLOCKING", var("true")));
    rpcVersion* v = version(
        1, {procedure("now", prim(CODE_INT), {}, 1),
            procedure("scale", prim(CODE_VOID),
                      {arg("count", prim(CODE_INT)),
                       arg("vals", varArray(prim(CODE_INT), var("count"), num(4)), DIR_INOUT)},
                      2),
            procedure("fetch", prim(CODE_INT),
                      {arg("n", prim(CODE_INT)),
                       arg("buf", varArray(prim(CODE_CHAR), var("n"), num(8)), DIR_OUT)},
                      3),
            label});
    rpcProgram* p = program("behave", 0x20000230, {v});
    p->addProperty(prop("GEN_MAIN_FUNC", var("false")));
    return v;
}

// The server functions and the checks. Every check that fails prints its
// line and makes the program end with status 1.
const char* const harness = R"c(
#define VELORIN_XDR
#define VELORIN_SERVER
#include "behave.h"
#include <stdlib.h>
#include <string.h>

static int failures = 0;
#define CHECK(c) do { if (!(c)) { fprintf(stderr, "check failed: %s (line %d)\n", #c, __LINE__); failures++; } } while (0)

int failAllocations = 0;
void* failing_malloc(size_t size) { return failAllocations ? 0 : malloc(size); }
void* failing_calloc(size_t n, size_t size) { return failAllocations ? 0 : calloc(n, size); }
void* failing_alloc(unsigned long long n, size_t size) { return failAllocations ? 0 : vlrpc_alloc(n, size); }

int fetchCalls = 0;
int now(void) { return 42; }
void scale(int count, int* vals) { int i; for (i = 0; i < count && i < 4; i++) vals[i] *= 2; }
int fetch(int n, char* buf) { fetchCalls++; memset(buf, 'x', n < 8 ? n : 8); return n; }
void label(char* name) { strcpy(name, "early"); }

/* The runtime's way of running a wrapper. */
static void* run(void* wrapper, void* pover, void* pback) {
    local_call_t local = (local_call_t)wrapper;
    return local(pover, pback);
}

/* count, then an array of `elements` ints: what a client puts on the wire
 * for scale's argument record, consistent or not. */
static u_int encodeScaleArguments(char* wire, u_int size, int count, int* vals, u_int elements) {
    XDR x;
    xdrmem_create(&x, wire, size, XDR_ENCODE);
    CHECK(xdr_int(&x, &count));
    CHECK(xdr_array(&x, (char**)&vals, &elements, 100, sizeof(int), (xdrproc_t)xdr_int));
    return xdr_getpos(&x);
}

/* Decoded as the dispatcher has it: into zeroed storage of the bound. */
static int decodeScaleArguments(char* wire, u_int length, scale_in_t* in) {
    XDR x;
    memset(in, 0, sizeof(*in));
    in->vals = (int*)vlrpc_alloc(4, sizeof(int));
    xdrmem_create(&x, wire, length, XDR_DECODE);
    return xdr_scale_in_t(&x, in);
}

int main(void) {
    char wire[1024];

    /* A procedure without argument record still finds its result record
     * in the second address. */
    {
        char over[64], back[64];
        memset(over, 0x5a, sizeof over);
        memset(back, 0, sizeof back);
        CHECK(run(now_call, over, back) == 0);
        CHECK(((now_out_t*)back)->_vlrpc_return_ == 42);
        CHECK(over[0] == 0x5a && over[sizeof over - 1] == 0x5a);
    }

    /* An inout array that brings fewer elements than its count is refused
     * when decoded; a consistent one is doubled in the storage it was
     * decoded into, which the result record takes over. */
    {
        int few[2] = {7, 8};
        int four[4] = {1, 2, 3, 4};
        scale_in_t in;
        scale_out_t out;
        u_int length = encodeScaleArguments(wire, sizeof wire, 1000, few, 2);
        CHECK(!decodeScaleArguments(wire, length, &in));
        xdr_free((xdrproc_t)xdr_scale_in_t, (char*)&in);

        length = encodeScaleArguments(wire, sizeof wire, 3, few, 2);
        CHECK(!decodeScaleArguments(wire, length, &in));
        xdr_free((xdrproc_t)xdr_scale_in_t, (char*)&in);

        length = encodeScaleArguments(wire, sizeof wire, 2, four, 2);
        CHECK(decodeScaleArguments(wire, length, &in));
        {
            int* storage = in.vals;
            CHECK(run(scale_call, &in, &out) == 0);
            CHECK(out.vals == storage && in.vals == 0);
        }
        CHECK(out.count == 2 && out.vals[0] == 2 && out.vals[1] == 4 && out.vals[2] == 0 &&
              out.vals[3] == 0);
        mfree_scale_out_t(&out);
        xdr_free((xdrproc_t)xdr_scale_in_t, (char*)&in);
    }

    /* A failed allocation of the result buffers: the server function is
     * not called, the record is zeroed, and the wrapper says so. */
    {
        fetch_in_t in;
        fetch_out_t out;
        in.n = 5;
        failAllocations = 1;
        CHECK(run(fetch_call, &in, &out) != 0);
        failAllocations = 0;
        CHECK(fetchCalls == 0);
        CHECK(out.buf == 0 && out.n == 0 && out._vlrpc_return_ == 0);
        CHECK(run(fetch_call, &in, &out) == 0);
        CHECK(fetchCalls == 1 && out._vlrpc_return_ == 5 && out.buf[4] == 'x');
        mfree_fetch_out_t(&out);
    }

    /* An early reply encodes the zeroed result record: its null buffer
     * codes as an empty array, and the client decodes the reply. */
    {
        label_out_t out, received;
        XDR x;
        memset(&out, 0, sizeof out);
        xdrmem_create(&x, wire, sizeof wire, XDR_ENCODE);
        CHECK(xdr_label_out_t(&x, &out));
        memset(&received, 0, sizeof received);
        xdrmem_create(&x, wire, xdr_getpos(&x), XDR_DECODE);
        CHECK(xdr_label_out_t(&x, &received));
        xdr_free((xdrproc_t)xdr_label_out_t, (char*)&received);
    }

    return failures ? 1 : 0;
}
)c";

class GeneratedServerCode : public GenerationTest {
protected:
    int run(const std::string& command)
    {
        SCOPED_TRACE(command);
        return std::system((command + " 2>&1").c_str());
    }
};

}  // namespace

TEST_F(GeneratedServerCode, WrappersAndRecordsBehaveAsTheRuntimeNeeds)
{
    generateVersion(behaveVersion());
    ASSERT_EQ(errorCount.generation, 0);
    std::ofstream("harness.c") << harness;
    const std::string cc = PROCGEN_CC;
    // The allocation helpers of the server file allocate through
    // failing_malloc, failing_calloc and failing_alloc (in place of the
    // runtime's vlrpc_alloc), so that the harness can make them fail.
    ASSERT_EQ(run(cc +
                  " -c -Dmalloc=failing_malloc -Dcalloc=failing_calloc "
                  "-Dvlrpc_alloc=failing_alloc " +
                  currentFiles.server + " -o svc.o"),
              0)
        << readFile(currentFiles.server);
    ASSERT_EQ(run(cc + " -c " + currentFiles.xdr + " -o xdr.o"), 0) << readFile(currentFiles.xdr);
    ASSERT_EQ(run(cc + " -c harness.c -o harness.o"), 0);
    ASSERT_EQ(run(cc + " harness.o svc.o xdr.o " PROCGEN_LIBS " -o harness"), 0);
    EXPECT_EQ(run("./harness"), 0);
}
