// Count-less codecs, record freeing, serialisation and the report function.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "velorin.h"

// The out-of-memory tests shrink the address space of a child process; the
// sanitizer allocator must then answer with a null pointer, as malloc does.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

const u_int kNoLimit = ~0u;

// An XDR memory stream over a buffer of its own.
class MemStream {
public:
    MemStream(enum xdr_op op,
              std::vector<unsigned char> bytes = std::vector<unsigned char>(64, 0xAA))
        : buf_(std::move(bytes))
    {
        xdrmem_create(&xdrs_, reinterpret_cast<char*>(buf_.data()), buf_.size(), op);
    }
    ~MemStream() { xdr_destroy(&xdrs_); }
    XDR* xdr() { return &xdrs_; }
    std::vector<unsigned char> written()
    {
        return std::vector<unsigned char>(buf_.begin(), buf_.begin() + xdr_getpos(&xdrs_));
    }

private:
    std::vector<unsigned char> buf_;
    XDR xdrs_;
};

XDR freeHandle()
{
    XDR x;
    std::memset(&x, 0, sizeof x);
    x.x_op = XDR_FREE;
    return x;
}

bool_t encodeArrayVl(XDR* x, int* a, u_int n, u_int max = kNoLimit)
{
    caddr_t p = reinterpret_cast<caddr_t>(a);
    return xdr_array_vl(x, &p, &n, max, sizeof(int), (xdrproc_t)xdr_int);
}

const std::vector<unsigned char> kThreeInts = {0, 0, 0, 1, 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFD};

TEST(ArrayVl, EncodesElementsWithoutCount)
{
    int a[] = {1, 2, -3};
    MemStream s(XDR_ENCODE);
    ASSERT_TRUE(encodeArrayVl(s.xdr(), a, 3));
    EXPECT_EQ(s.written(), kThreeInts);

    // The library's own codec puts the count word in front: 16 bytes.
    MemStream counted(XDR_ENCODE);
    caddr_t p = reinterpret_cast<caddr_t>(a);
    u_int n = 3;
    ASSERT_TRUE(xdr_array(counted.xdr(), &p, &n, kNoLimit, sizeof(int), (xdrproc_t)xdr_int));
    std::vector<unsigned char> expected = {0, 0, 0, 3};
    expected.insert(expected.end(), kThreeInts.begin(), kThreeInts.end());
    EXPECT_EQ(counted.written(), expected);
}

TEST(ArrayVl, DecodeAllocatesAndFreeReleases)
{
    MemStream s(XDR_DECODE, kThreeInts);
    caddr_t p = nullptr;
    u_int n = 3;
    ASSERT_TRUE(xdr_array_vl(s.xdr(), &p, &n, 3, sizeof(int), (xdrproc_t)xdr_int));
    ASSERT_NE(p, nullptr);
    int* a = reinterpret_cast<int*>(p);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 2);
    EXPECT_EQ(a[2], -3);
    EXPECT_EQ(n, 3u) << "the count is read, never written";
    EXPECT_EQ(xdr_getpos(s.xdr()), 12u);

    // Freeing with a count above maxsize still frees (the sanitizer build
    // reports the block as leaked otherwise).
    XDR f = freeHandle();
    ASSERT_TRUE(xdr_array_vl(&f, &p, &n, 1, sizeof(int), (xdrproc_t)xdr_int));
    EXPECT_EQ(p, nullptr);
}

TEST(ArrayVl, DecodeIntoCallerArrayKeepsTheRest)
{
    MemStream s(XDR_DECODE, kThreeInts);
    int a[4] = {7, 7, 7, 7};
    caddr_t p = reinterpret_cast<caddr_t>(a);
    u_int n = 3;
    ASSERT_TRUE(xdr_array_vl(s.xdr(), &p, &n, 4, sizeof(int), (xdrproc_t)xdr_int));
    EXPECT_EQ(p, reinterpret_cast<caddr_t>(a));
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[2], -3);
    EXPECT_EQ(a[3], 7) << "the caller's array is neither reallocated nor zeroed";
}

TEST(ArrayVl, ZeroCountWithNullArray)
{
    for (enum xdr_op op : {XDR_ENCODE, XDR_DECODE}) {
        MemStream s(op);
        caddr_t p = nullptr;
        u_int n = 0;
        EXPECT_TRUE(xdr_array_vl(s.xdr(), &p, &n, 0, sizeof(int), (xdrproc_t)xdr_int)) << op;
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(xdr_getpos(s.xdr()), 0u);
    }
    XDR f = freeHandle();
    caddr_t p = nullptr;
    u_int n = 5;
    EXPECT_TRUE(xdr_array_vl(&f, &p, &n, 0, sizeof(int), (xdrproc_t)xdr_int));
}

TEST(ArrayVl, RefusesBadCounts)
{
    struct Case {
        const char* what;
        enum xdr_op op;
        u_int count, maxsize, elsize;
    };
    const Case cases[] = {
        {"encode above maxsize", XDR_ENCODE, 3, 2, sizeof(int)},
        {"decode above maxsize", XDR_DECODE, 3, 2, sizeof(int)},
        // 0x40000000 * 4 wraps to 0 in 32 bits: refused, never allocated.
        {"decode size wraps", XDR_DECODE, 0x40000000u, kNoLimit, 4},
        {"decode size wraps to a small block", XDR_DECODE, 0x40000001u, kNoLimit, 4},
        {"encode size wraps", XDR_ENCODE, 0x80000000u, kNoLimit, 2},
    };
    for (const Case& c : cases) {
        MemStream s(c.op, kThreeInts);
        int a[3] = {1, 2, 3};
        caddr_t p = c.op == XDR_ENCODE ? reinterpret_cast<caddr_t>(a) : nullptr;
        u_int n = c.count;
        EXPECT_FALSE(xdr_array_vl(s.xdr(), &p, &n, c.maxsize, c.elsize, (xdrproc_t)xdr_int))
            << c.what;
        EXPECT_EQ(xdr_getpos(s.xdr()), 0u) << c.what << ": nothing coded";
        if (c.op == XDR_DECODE) {
            EXPECT_EQ(p, nullptr) << c.what << ": nothing allocated";
        }
    }
}

TEST(ArrayVl, EncodeFromNullArrayWithElementsFails)
{
    MemStream s(XDR_ENCODE);
    caddr_t p = nullptr;
    u_int n = 2;
    EXPECT_FALSE(xdr_array_vl(s.xdr(), &p, &n, kNoLimit, sizeof(int), (xdrproc_t)xdr_int));
}

TEST(ArrayVl, ShortInputFailsAndKeepsDecodedElements)
{
    MemStream s(XDR_DECODE, std::vector<unsigned char>(kThreeInts.begin(), kThreeInts.begin() + 8));
    caddr_t p = nullptr;
    u_int n = 3;
    EXPECT_FALSE(xdr_array_vl(s.xdr(), &p, &n, 3, sizeof(int), (xdrproc_t)xdr_int));
    ASSERT_NE(p, nullptr);
    int* a = reinterpret_cast<int*>(p);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 2);
    EXPECT_EQ(a[2], 0) << "a new block is zeroed";
    XDR f = freeHandle();
    EXPECT_TRUE(xdr_array_vl(&f, &p, &n, 3, sizeof(int), (xdrproc_t)xdr_int));
}

// Arrays of pointers: freeing walks every element through the filter.
bool_t xdrIntRef(XDR* x, int** pp)
{
    return xdr_reference(x, reinterpret_cast<char**>(pp), sizeof(int), (xdrproc_t)xdr_int);
}

TEST(ArrayVl, FreeReleasesElementContents)
{
    MemStream s(XDR_DECODE, kThreeInts);
    caddr_t p = nullptr;
    u_int n = 3;
    ASSERT_TRUE(xdr_array_vl(s.xdr(), &p, &n, 3, sizeof(int*), (xdrproc_t)xdrIntRef));
    int** refs = reinterpret_cast<int**>(p);
    EXPECT_EQ(*refs[2], -3);
    XDR f = freeHandle();
    EXPECT_TRUE(xdr_array_vl(&f, &p, &n, 3, sizeof(int*), (xdrproc_t)xdrIntRef));
    EXPECT_EQ(p, nullptr);
}

const std::vector<unsigned char> kFiveBytes = {'h', 'e', 'l', 'l', 'o', 0, 0, 0};

TEST(BytesVl, EncodesPaddedBytesWithoutLength)
{
    char text[] = "hello";
    char* cp = text;
    u_int len = 5;
    MemStream s(XDR_ENCODE);
    ASSERT_TRUE(xdr_bytes_vl(s.xdr(), &cp, &len, 5));
    EXPECT_EQ(s.written(), kFiveBytes);

    MemStream counted(XDR_ENCODE);
    ASSERT_TRUE(xdr_bytes(counted.xdr(), &cp, &len, 5));
    std::vector<unsigned char> expected = {0, 0, 0, 5};
    expected.insert(expected.end(), kFiveBytes.begin(), kFiveBytes.end());
    EXPECT_EQ(counted.written(), expected);
}

TEST(BytesVl, DecodeAllocatesOrFillsCallerBuffer)
{
    {
        MemStream s(XDR_DECODE, kFiveBytes);
        char* cp = nullptr;
        u_int len = 5;
        ASSERT_TRUE(xdr_bytes_vl(s.xdr(), &cp, &len, 8));
        ASSERT_NE(cp, nullptr);
        EXPECT_EQ(std::string(cp, 5), "hello");
        EXPECT_EQ(xdr_getpos(s.xdr()), 8u);
        XDR f = freeHandle();
        EXPECT_TRUE(xdr_bytes_vl(&f, &cp, &len, 1)) << "freeing ignores maxsize";
        EXPECT_EQ(cp, nullptr);
    }
    {
        MemStream s(XDR_DECODE, kFiveBytes);
        char buf[8] = "xxxxxxx";
        char* cp = buf;
        u_int len = 5;
        ASSERT_TRUE(xdr_bytes_vl(s.xdr(), &cp, &len, 8));
        EXPECT_EQ(cp, buf);
        EXPECT_STREQ(buf, "helloxx");
    }
}

TEST(BytesVl, EdgeCases)
{
    {
        MemStream s(XDR_DECODE, kFiveBytes);
        char* cp = nullptr;
        u_int len = 0;
        EXPECT_TRUE(xdr_bytes_vl(s.xdr(), &cp, &len, 0));
        EXPECT_EQ(cp, nullptr);
        EXPECT_EQ(xdr_getpos(s.xdr()), 0u);
    }
    for (enum xdr_op op : {XDR_ENCODE, XDR_DECODE}) {
        MemStream s(op, kFiveBytes);
        char buf[8] = "hello";
        char* cp = buf;
        u_int len = 5;
        EXPECT_FALSE(xdr_bytes_vl(s.xdr(), &cp, &len, 4)) << "length above maxsize, op " << op;
        EXPECT_EQ(xdr_getpos(s.xdr()), 0u);
    }
    {
        MemStream s(XDR_ENCODE);
        char* cp = nullptr;
        u_int len = 3;
        EXPECT_FALSE(xdr_bytes_vl(s.xdr(), &cp, &len, 8)) << "no bytes behind a null buffer";
    }
    {
        XDR f = freeHandle();
        char* cp = nullptr;
        u_int len = 3;
        EXPECT_TRUE(xdr_bytes_vl(&f, &cp, &len, 0));
    }
    {
        MemStream s(XDR_DECODE, kFiveBytes);
        s.xdr()->x_op = static_cast<enum xdr_op>(7);
        char* cp = nullptr;
        u_int len = 5;
        EXPECT_FALSE(xdr_bytes_vl(s.xdr(), &cp, &len, 8)) << "unknown operation";
        EXPECT_EQ(cp, nullptr);
    }
}

// A linked record: a list of numbered nodes with names.
struct Node {
    int number;
    char* name;
    Node* next;
};

bool_t xdrNode(XDR* x, Node* n)
{
    return xdr_int(x, &n->number) && xdr_string(x, &n->name, 64) &&
           xdr_pointer(x, reinterpret_cast<char**>(&n->next), sizeof(Node), (xdrproc_t)xdrNode);
}

std::FILE* tempFile()
{
    std::FILE* fp = std::tmpfile();
    EXPECT_NE(fp, nullptr);
    return fp;
}

// The four big-endian bytes of a 32-bit two's complement number, as XDR
// (and every rpcgen peer) writes an int, a long or an unsigned long.
std::vector<unsigned char> wireBytes(std::uint32_t v)
{
    return {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
            static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
}

// Each value encodes to its four bytes, the library's filter (which
// rpcgen's code calls) writes the same, and the codec reads them back.
template <class T>
void expectTravels(bool_t (*codec)(XDR*, T*), bool_t (*library)(XDR*, T*),
                   std::initializer_list<T> values)
{
    for (T v : values) {
        MemStream out(XDR_ENCODE);
        ASSERT_TRUE(codec(out.xdr(), &v)) << v;
        EXPECT_EQ(out.written(), wireBytes(static_cast<std::uint32_t>(v))) << v;
        MemStream theirs(XDR_ENCODE);
        ASSERT_TRUE(library(theirs.xdr(), &v));
        EXPECT_EQ(out.written(), theirs.written()) << v;
        MemStream in(XDR_DECODE, out.written());
        T back = 12345;
        ASSERT_TRUE(codec(in.xdr(), &back)) << v;
        EXPECT_EQ(back, v);
    }
}

TEST(LongVl, ValuesThatFitKeepTheirBytesBothWays)
{
    expectTravels<long>(xdr_long_vl, xdr_long,
                        {-2147483647L - 1, -2147483647L, -1, 0, 1, 2147483646L, 2147483647L});
    expectTravels<u_long>(xdr_u_long_vl, xdr_u_long,
                          {0, 1, 2147483648UL, 4294967294UL, 4294967295UL});
}

TEST(LongVl, ValuesBeyondThirtyTwoBitsAreNotEncoded)
{
    if (sizeof(long) <= 4)
        GTEST_SKIP() << "long holds no value beyond 32 bits here";
    const long longs[] = {2147483648L, -2147483649L, (1L << 33) + 5, LONG_MAX, LONG_MIN};
    for (long v : longs) {
        MemStream out(XDR_ENCODE);
        EXPECT_FALSE(xdr_long_vl(out.xdr(), &v)) << v;
    }
    const u_long unsigneds[] = {4294967296UL, (1UL << 33) + 5, ULONG_MAX};
    for (u_long v : unsigneds) {
        MemStream out(XDR_ENCODE);
        EXPECT_FALSE(xdr_u_long_vl(out.xdr(), &v)) << v;
    }
}

TEST(LongVl, ShortInputFailsAndFreeDoesNothing)
{
    MemStream in(XDR_DECODE, std::vector<unsigned char>{0, 0, 1});
    long l = 7;
    u_long u = 7;
    EXPECT_FALSE(xdr_long_vl(in.xdr(), &l));
    EXPECT_FALSE(xdr_u_long_vl(in.xdr(), &u));
    XDR x = freeHandle();
    EXPECT_TRUE(xdr_long_vl(&x, &l));
    EXPECT_TRUE(xdr_u_long_vl(&x, &u));
    EXPECT_EQ(l, 7);
    EXPECT_EQ(u, 7u);
}

TEST(Serialize, RecordRoundTripThroughFile)
{
    char first[] = "first", second[] = "second %s";
    Node tail = {2, second, nullptr};
    Node head = {1, first, &tail};
    std::FILE* fp = tempFile();
    ASSERT_NE(fp, nullptr);
    ASSERT_TRUE(vl_serialize(fp, (xdrproc_t)xdrNode, &head, XDR_ENCODE));
    // Destroying the stream flushed it: the bytes are in the file.
    EXPECT_EQ(std::ftell(fp), 4 + 4 + 8 + 4 + 4 + 4 + 12 + 4);

    std::rewind(fp);
    Node* back = static_cast<Node*>(std::calloc(1, sizeof(Node)));
    ASSERT_TRUE(vl_serialize(fp, (xdrproc_t)xdrNode, back, XDR_DECODE));
    EXPECT_EQ(back->number, 1);
    EXPECT_STREQ(back->name, "first");
    ASSERT_NE(back->next, nullptr);
    EXPECT_EQ(back->next->number, 2);
    EXPECT_STREQ(back->next->name, "second %s");
    EXPECT_EQ(back->next->next, nullptr);

    // Freeing the decoded list releases every node and string (checked by
    // the leak checker of the sanitizer build).
    vl_free_reference((xdrproc_t)xdrNode, back, sizeof(Node));

    // Decoding past the end fails with the filter's result.
    Node empty = {0, nullptr, nullptr};
    EXPECT_FALSE(vl_serialize(fp, (xdrproc_t)xdrNode, &empty, XDR_DECODE));
    std::fclose(fp);
}

// Counts the nodes that a free pass visits.
int nodesFreed = 0;
bool_t xdrCountedNode(XDR* x, Node* n)
{
    if (x->x_op == XDR_FREE)
        ++nodesFreed;
    return xdr_int(x, &n->number) && xdr_string(x, &n->name, 64) &&
           xdr_pointer(x, reinterpret_cast<char**>(&n->next), sizeof(Node),
                       (xdrproc_t)xdrCountedNode);
}

TEST(FreeReference, LinkedStructure)
{
    // Three nodes, each with its own name, built as a decoder would.
    Node* head = nullptr;
    for (int i = 3; i >= 1; --i) {
        Node* n = static_cast<Node*>(std::malloc(sizeof(Node)));
        n->number = i;
        n->name = strdup(("node " + std::to_string(i)).c_str());
        n->next = head;
        head = n;
    }
    nodesFreed = 0;
    vl_free_reference((xdrproc_t)xdrCountedNode, head, sizeof(Node));
    EXPECT_EQ(nodesFreed, 3)
        << "every node of the list is visited (and, in the sanitizer build, freed)";
}

int filterCalls = 0;
bool_t countingFilter(XDR*, void*)
{
    ++filterCalls;
    return TRUE;
}

TEST(FreeReference, NullPointerCallsNothing)
{
    filterCalls = 0;
    vl_free_reference((xdrproc_t)countingFilter, nullptr, 16);
    EXPECT_EQ(filterCalls, 0);
}

TEST(FreeReference, ObjectWithoutContents)
{
    filterCalls = 0;
    vl_free_reference((xdrproc_t)countingFilter, std::malloc(16), 16);
    EXPECT_EQ(filterCalls, 1);
}

// Reports reach the installed function; the default one is restored after.
std::string reported;
void recordReport(char* text) { reported += text; }

class Reporting : public ::testing::Test {
protected:
    void SetUp() override
    {
        reported.clear();
        vl_set_err_report_func(recordReport);
    }
    void TearDown() override { vl_set_err_report_func(print_stderr); }
};

TEST_F(Reporting, InstalledFunctionReceivesTextUnchanged)
{
    char text[] = "100% sure: %s %n\n";
    vlrpc_report_event(text);
    EXPECT_EQ(reported, "100% sure: %s %n\n");
    vl_set_err_report_func(nullptr);
    char again[] = "again";
    vlrpc_report_event(again);
    EXPECT_EQ(reported, "100% sure: %s %n\nagain") << "a null function is ignored";
}

TEST_F(Reporting, DefaultReporterWritesTextAsIs)
{
    vl_set_err_report_func(print_stderr);
    char text[] = "report %s %d %n\n";
    testing::internal::CaptureStderr();
    vlrpc_report_event(text);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "report %s %d %n\n");
}

// Runs decode in a child whose address space cannot hold a big block, and
// returns what the child reported and whether the decode failed cleanly.
std::string reportOfFailedAllocation(bool (*decode)())
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1)
            _exit(3);
        std::fclose(statm);
        // Room for small allocations only.
        rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (64u << 20);
        struct rlimit rl = {limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0)
            _exit(4);
        bool failed = decode();
        if (write(fds[1], reported.data(), reported.size()) < 0)
            _exit(5);
        _exit(failed ? 0 : 2);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, n);
    close(fds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the decode must fail (exit 2), setup failed otherwise";
    return out;
}

TEST_F(Reporting, OutOfMemoryWhileDecodingArray)
{
    std::string text = reportOfFailedAllocation([] {
        MemStream s(XDR_DECODE, kThreeInts);
        caddr_t p = nullptr;
        u_int n = 0x3FFFFFFF;  // 4 GiB of ints
        bool failed = !xdr_array_vl(s.xdr(), &p, &n, kNoLimit, sizeof(int), (xdrproc_t)xdr_int);
        return failed && p == nullptr;
    });
    EXPECT_EQ(text, "xdr_array_vl: out of memory\n");
}

TEST_F(Reporting, OutOfMemoryWhileDecodingBytes)
{
    std::string text = reportOfFailedAllocation([] {
        MemStream s(XDR_DECODE, kFiveBytes);
        char* cp = nullptr;
        u_int len = 0xF0000000u;
        bool failed = !xdr_bytes_vl(s.xdr(), &cp, &len, kNoLimit);
        return failed && cp == nullptr;
    });
    EXPECT_EQ(text, "xdr_bytes: out of memory\n");
}

}  // namespace
