// The helpers that generated XDR code, stubs and server code call, at the
// edges of each: saturating sizes, checked values, count checks, decoding
// and release of element arrays, terminators.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A generated header declares the interface's types before it includes
// velorin.h: names of those types that equal a helper's parameter names
// must not break or warn (this file builds with -Wshadow -Werror).
typedef int count;
typedef int size;
typedef int array;

#include "velorin.h"

namespace {

const unsigned long long kMax = ~0ULL;
const unsigned long long k32 = 0x100000000ULL;  // 2^32: one more than any wire count

// Ints on the wire, big-endian.
std::vector<char> wireInts(const std::vector<int>& values)
{
    std::vector<char> bytes;
    for (int v : values)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<char>((static_cast<unsigned>(v) >> shift) & 0xff));
    return bytes;
}

class Decoder {
public:
    explicit Decoder(std::vector<char> bytes) : bytes_(std::move(bytes))
    {
        xdrmem_create(&xdrs_, bytes_.data(), static_cast<u_int>(bytes_.size()), XDR_DECODE);
    }
    ~Decoder() { xdr_destroy(&xdrs_); }
    XDR* xdr() { return &xdrs_; }

private:
    std::vector<char> bytes_;
    XDR xdrs_;
};

// An int filter that counts the elements it is asked to release.
int releasedInts = 0;
extern "C" bool_t countingInt(XDR* xdrs, int* p)
{
    if (xdrs->x_op == XDR_FREE) {
        ++releasedInts;
        return TRUE;
    }
    return xdr_int(xdrs, p);
}
const xdrproc_t kCountingInt = reinterpret_cast<xdrproc_t>(countingInt);
const xdrproc_t kString = reinterpret_cast<xdrproc_t>(xdr_wrapstring);

template <typename T>
char** bytesOf(T** p)
{
    return reinterpret_cast<char**>(p);
}

struct SizeCase {
    const char* what;
    unsigned long long (*op)(unsigned long long, unsigned long long);
    unsigned long long a, b, expected;
};

TEST(SizeArithmetic, SaturatesInsteadOfWrapping)
{
    const SizeCase cases[] = {
        {"0 + 0", vlrpc_size_add, 0, 0, 0},
        {"(2^32 - 1) + 1", vlrpc_size_add, k32 - 1, 1, k32},
        {"max - 1 + 1", vlrpc_size_add, kMax - 1, 1, kMax},
        {"max + 1", vlrpc_size_add, kMax, 1, kMax},
        {"max + max", vlrpc_size_add, kMax, kMax, kMax},
        {"1 - 1", vlrpc_size_sub, 1, 1, 0},
        {"2^32 - 1", vlrpc_size_sub, k32, 1, k32 - 1},
        {"0 - 1", vlrpc_size_sub, 0, 1, kMax},
        {"0 * max", vlrpc_size_mul, 0, kMax, kMax},
        {"2^62 * 2", vlrpc_size_mul, 1ULL << 62, 2, 1ULL << 63},
        {"max * 1", vlrpc_size_mul, kMax, 1, kMax},
        {"2^32 * (2^32 - 1)", vlrpc_size_mul, k32, k32 - 1, kMax - (k32 - 1)},
        {"2^32 * 2^32", vlrpc_size_mul, k32, k32, kMax},
        {"7 / 2", vlrpc_size_div, 7, 2, 3},
        {"0 / 1", vlrpc_size_div, 0, 1, 0},
        {"1 / 0", vlrpc_size_div, 1, 0, kMax},
        {"7 % 2", vlrpc_size_mod, 7, 2, 1},
        {"max % max", vlrpc_size_mod, kMax, kMax, kMax},
        {"-4 / -2, converted", vlrpc_size_div, static_cast<unsigned long long>(-4LL),
         static_cast<unsigned long long>(-2LL), kMax},
        {"2^63 - max", vlrpc_size_sub, 1ULL << 63, kMax, kMax},
        {"1 % 0", vlrpc_size_mod, 1, 0, kMax},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(c.op(c.a, c.b), c.expected) << c.what;
}

TEST(SizeArithmetic, ShiftsSaturate)
{
    const SizeCase cases[] = {
        {"1 << 0", vlrpc_size_shl, 1, 0, 1},
        {"1 << 32", vlrpc_size_shl, 1, 32, k32},
        {"1 << 63", vlrpc_size_shl, 1, 63, 1ULL << 63},
        {"1 << 64", vlrpc_size_shl, 1, 64, kMax},
        {"3 << 63", vlrpc_size_shl, 3, 63, kMax},
        {"2^32 >> 32", vlrpc_size_shr, k32, 32, 1},
        {"max >> 63", vlrpc_size_shr, kMax, 63, kMax},
        {"(2^63 - 1) >> 62", vlrpc_size_shr, kMax >> 1, 62, 1},
        {"1 >> 64", vlrpc_size_shr, 1, 64, kMax},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(c.op(c.a, c.b), c.expected) << c.what;
}

// Values over decoded data: an int result or none, which stays none.
TEST(ValueArithmetic, IntResultsOrNone)
{
    const long long none = vlrpc_value_none();
    const long long intMax = 0x7fffffffLL, intMin = -0x80000000LL, u32 = 0xffffffffLL;
    EXPECT_TRUE(vlrpc_value_unknown(none));
    EXPECT_FALSE(vlrpc_value_unknown(intMin));
    EXPECT_TRUE(vlrpc_value_operand(u32));
    EXPECT_TRUE(vlrpc_value_operand(-u32));
    EXPECT_FALSE(vlrpc_value_operand(u32 + 1));
    EXPECT_FALSE(vlrpc_value_operand(none));
    EXPECT_EQ(vlrpc_value_int(intMax), intMax);
    EXPECT_EQ(vlrpc_value_int(intMax + 1), none);
    EXPECT_EQ(vlrpc_value_int(intMin - 1), none);
    struct {
        const char* what;
        long long (*op)(long long, long long);
        long long a, b, expected;
    } cases[] = {
        {"max + 0", vlrpc_value_add, intMax, 0, intMax},
        {"max + 1", vlrpc_value_add, intMax, 1, none},
        {"min - 1", vlrpc_value_sub, intMin, 1, none},
        {"u32 - u32", vlrpc_value_sub, u32, u32, 0},
        {"none + 0", vlrpc_value_add, none, 0, none},
        {"0 * none", vlrpc_value_mul, 0, none, none},
        {"0 * u32", vlrpc_value_mul, 0, u32, 0},
        {"65536 * 32768", vlrpc_value_mul, 65536, 32768, none},
        {"65536 * -32768", vlrpc_value_mul, 65536, -32768, intMin},
        {"u32 * u32", vlrpc_value_mul, u32, u32, none},
        {"7 / 0", vlrpc_value_div, 7, 0, none},
        {"min / -1", vlrpc_value_div, intMin, -1, none},
        {"-7 / 2", vlrpc_value_div, -7, 2, -3},
        {"7 % 0", vlrpc_value_mod, 7, 0, none},
        {"min % -1", vlrpc_value_mod, intMin, -1, none},
        {"-7 % 2", vlrpc_value_mod, -7, 2, -1},
        {"1 << 30", vlrpc_value_shl, 1, 30, 1LL << 30},
        {"1 << 31", vlrpc_value_shl, 1, 31, none},
        {"-1 << 1", vlrpc_value_shl, -1, 1, none},
        {"1 << 32", vlrpc_value_shl, 1, 32, none},
        {"1 << -1", vlrpc_value_shl, 1, -1, none},
        {"-8 >> 1", vlrpc_value_shr, -8, 1, -4},
        {"-1 >> 31", vlrpc_value_shr, -1, 31, -1},
        {"8 >> 32", vlrpc_value_shr, 8, 32, none},
        {"6 & 3", vlrpc_value_bitand, 6, 3, 2},
        {"6 | 3", vlrpc_value_bitor, 6, 3, 7},
        {"6 ^ 3", vlrpc_value_bitxor, 6, 3, 5},
        {"none & 0", vlrpc_value_bitand, none, 0, none},
        {"1 < 2", vlrpc_value_lt, 1, 2, 1},
        {"2 > 2", vlrpc_value_gt, 2, 2, 0},
        {"2 <= 2", vlrpc_value_le, 2, 2, 1},
        {"1 >= 2", vlrpc_value_ge, 1, 2, 0},
        {"u32 == u32", vlrpc_value_eq, u32, u32, 1},
        {"1 != 1", vlrpc_value_ne, 1, 1, 0},
        {"none == none", vlrpc_value_eq, none, none, none},
        {"2 && 3", vlrpc_value_and, 2, 3, 1},
        {"0 || 0", vlrpc_value_or, 0, 0, 0},
        {"0 && none", vlrpc_value_and, 0, none, none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.op(c.a, c.b), c.expected) << c.what;
    EXPECT_EQ(vlrpc_value_neg(intMin), none);
    EXPECT_EQ(vlrpc_value_neg(intMax), -intMax);
    EXPECT_EQ(vlrpc_value_neg(none), none);
    EXPECT_EQ(vlrpc_value_not(0), -1);
    EXPECT_EQ(vlrpc_value_not(none), none);
    EXPECT_EQ(vlrpc_value_size(none), kMax);
    EXPECT_EQ(vlrpc_value_size(0), 0ULL);
    EXPECT_EQ(vlrpc_value_size(u32), static_cast<unsigned long long>(u32));
}

TEST(CountChecks, ClampKeepsWithinLimitAndWireCount)
{
    struct {
        unsigned long long n, limit;
        u_int expected;
    } cases[] = {
        {0, 0, 0},
        {0, 9, 0},
        {8, 9, 8},
        {9, 9, 9},
        {10, 9, 9},
        {k32 - 1, kMax, 0xffffffffU},
        {k32, kMax, 0xffffffffU},
        {kMax, kMax, 0xffffffffU},
        {kMax, k32 + 1, 0xffffffffU},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vlrpc_clamp(c.n, c.limit), c.expected) << c.n << " limit " << c.limit;
}

TEST(CountChecks, FitsOnlyWithinBoundAndWireCount)
{
    struct {
        unsigned long long n, bound;
        bool fits;
    } cases[] = {
        {0, 0, true},          {1, 0, false},      {0, 9, true},
        {8, 9, true},          {9, 9, true},       {10, 9, false},
        {k32 - 1, kMax, true}, {k32, kMax, false}, {kMax, kMax, false},
    };
    for (const auto& c : cases) {
        u_int sent = 12345;
        EXPECT_EQ(vlrpc_count_fits(c.n, c.bound, &sent) != 0, c.fits)
            << c.n << " bound " << c.bound;
        EXPECT_EQ(sent, c.fits ? static_cast<u_int>(c.n) : 12345u) << c.n;
    }
}

TEST(ResultAllocation, ZeroedStorageOnlyForWireCounts)
{
    for (unsigned long long n : {0ULL, 1ULL, 3ULL}) {
        int* p = static_cast<int*>(vlrpc_alloc(n, sizeof(int)));
        ASSERT_NE(p, nullptr) << n;
        for (unsigned long long i = 0; i < (n ? n : 1); i++)
            EXPECT_EQ(p[i], 0) << n;
        std::free(p);
    }
    EXPECT_EQ(vlrpc_alloc(k32, 1), nullptr);
    EXPECT_EQ(vlrpc_alloc(kMax, 1), nullptr);
}

// A block that vlrpc_free kept comes back from vlrpc_alloc cleared over the
// size asked for, whatever the previous user wrote where (page edges, the
// last byte, pages far apart); a room from vlrpc_alloc_room keeps what
// decoding wrote and is cleared behind it by vlrpc_clear_room.
TEST(KeptStorage, ClearedWhereThePreviousUserWrote)
{
    const size_t page = 4096;
    for (size_t bytes : {size_t(100), size_t(8192), size_t(4 * 1024 * 1024)}) {
        const std::vector<size_t> written = {0, 1, bytes / 2, bytes - 1, bytes / 3 + page - 1};
        unsigned char* block = static_cast<unsigned char*>(vlrpc_alloc(bytes, 1));
        ASSERT_NE(block, nullptr);
        for (size_t at : written)
            block[at] = 0x5a;
        vlrpc_free(block);
        unsigned char* again = static_cast<unsigned char*>(vlrpc_alloc(bytes, 1));
        ASSERT_EQ(again, block);
        for (size_t i = 0; i < bytes; i++)
            ASSERT_EQ(again[i], 0) << bytes << " at " << i;

        std::memset(again, 0x77, bytes);
        vlrpc_free(again);
        unsigned char* room = static_cast<unsigned char*>(vlrpc_alloc_room(bytes, 1));
        ASSERT_NE(room, nullptr);
        const size_t decoded = bytes / 3 + 1;
        std::memset(room, 0x11, decoded);
        vlrpc_clear_room(room, decoded, bytes, 1);
        for (size_t i = 0; i < bytes; i++)
            ASSERT_EQ(room[i], i < decoded ? 0x11 : 0) << bytes << " at " << i;
        vlrpc_clear_room(room, bytes, bytes, 1);
        vlrpc_clear_room(nullptr, 0, bytes, 1);
        EXPECT_EQ(room[0], 0x11);
        vlrpc_free(room);
    }
}

TEST(ElementDecoding, OwnStorageHasAZeroedElementBehind)
{
    // Counts around the first allocation (1024) and its doubling.
    for (u_int n : {0u, 1u, 1023u, 1024u, 1025u, 2049u, 5000u}) {
        std::vector<int> values(n);
        for (u_int i = 0; i < n; i++)
            values[i] = static_cast<int>(i) - 7;
        Decoder d(wireInts(values));
        int* a = nullptr;
        ASSERT_TRUE(vlrpc_decode_elements(d.xdr(), bytesOf(&a), n, sizeof(int), kCountingInt)) << n;
        ASSERT_NE(a, nullptr) << n;
        EXPECT_EQ(std::vector<int>(a, a + n), values) << n;
        EXPECT_EQ(a[n], 0) << n;
        releasedInts = 0;
        vlrpc_release(bytesOf(&a), n, sizeof(int), kCountingInt);
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(releasedInts, static_cast<int>(n));
    }
}

TEST(ElementDecoding, RawBytesGetTheirTerminator)
{
    for (u_int n : {0u, 1u, 3u, 1024u, 3000u}) {
        std::vector<char> bytes(n, 'x');
        bytes.resize((n + 3) & ~3u, 0);  // padded to a multiple of 4
        Decoder d(bytes);
        char* s = nullptr;
        ASSERT_TRUE(vlrpc_decode_elements(d.xdr(), &s, n, 1, nullptr)) << n;
        EXPECT_EQ(std::string(s), std::string(n, 'x'));
        vlrpc_release(&s, n, 1, nullptr);
        EXPECT_EQ(s, nullptr);
    }
}

TEST(ElementDecoding, CallerStorageIsFilledInPlace)
{
    Decoder d(wireInts({4, 5}));
    int storage[3] = {9, 9, 9};
    int* a = storage;
    ASSERT_TRUE(vlrpc_decode_elements(d.xdr(), bytesOf(&a), 2, sizeof(int), kCountingInt));
    EXPECT_EQ(a, storage);
    EXPECT_EQ(storage[0], 4);
    EXPECT_EQ(storage[1], 5);
    EXPECT_EQ(storage[2], 9) << "nothing is written behind the caller's elements";
}

TEST(ElementDecoding, FailureReleasesOnlyOwnStorage)
{
    // A count far beyond the data that came: own storage grows only with
    // what arrived, and what was decoded is released (the sanitizer build
    // reports a leak otherwise).
    {
        Decoder d(wireInts(std::vector<int>(2000, 1)));
        int* a = nullptr;
        releasedInts = 0;
        EXPECT_FALSE(
            vlrpc_decode_elements(d.xdr(), bytesOf(&a), 0xffffffffU, sizeof(int), kCountingInt));
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(releasedInts, 2001) << "the elements decoded and the one that failed";
    }
    // Elements that own memory: two strings decode, the third is cut short.
    {
        std::vector<char> bytes = {0, 0, 0,   2, 'a', 'b', 0, 0, 0, 0,
                                   0, 1, 'c', 0, 0,   0,   0, 0, 0, 9};
        Decoder d(bytes);
        char** strings = nullptr;
        EXPECT_FALSE(vlrpc_decode_elements(d.xdr(), bytesOf(&strings), 3, sizeof(char*), kString));
        EXPECT_EQ(strings, nullptr);
    }
    // Raw bytes cut short.
    {
        Decoder d(std::vector<char>(8, 'x'));
        char* s = nullptr;
        EXPECT_FALSE(vlrpc_decode_elements(d.xdr(), &s, 9, 1, nullptr));
        EXPECT_EQ(s, nullptr);
    }
    // The caller's storage stays the caller's.
    {
        Decoder d(wireInts({4}));
        int storage[2] = {9, 9};
        int* a = storage;
        EXPECT_FALSE(vlrpc_decode_elements(d.xdr(), bytesOf(&a), 2, sizeof(int), kCountingInt));
        EXPECT_EQ(a, storage);
        EXPECT_EQ(storage[0], 4);
    }
}

TEST(ElementRelease, WithoutFilterFreesOnlyTheStorage)
{
    char* p = static_cast<char*>(std::malloc(16));
    vlrpc_release(&p, 4, 4, nullptr);
    EXPECT_EQ(p, nullptr);
    char* none = nullptr;
    vlrpc_release(&none, 0, 4, kCountingInt);
    EXPECT_EQ(none, nullptr);
}

TEST(Terminator, FoundWrittenOrForced)
{
    struct {
        const char* what;
        std::string bytes;
        u_int decoded, room;
        bool terminated;
        std::string after;
    } cases[] = {
        {"room behind the bytes", "abcX", 3, 4, true, std::string("abc\0", 4)},
        {"no byte, room for one", "X", 0, 1, true, std::string("\0", 1)},
        {"no byte, no room", "X", 0, 0, false, "X"},
        {"full, terminator last", std::string("abc\0", 4), 4, 4, true, std::string("abc\0", 4)},
        {"full, terminator inside", std::string("a\0cd", 4), 4, 4, true, std::string("a\0cd", 4)},
        {"full, none: last byte forced", "abcd", 4, 4, false, std::string("abc\0", 4)},
        {"one byte, none", "a", 1, 1, false, std::string("\0", 1)},
    };
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        EXPECT_EQ(vlrpc_terminated(&bytes[0], c.decoded, c.room) != 0, c.terminated) << c.what;
        EXPECT_EQ(bytes, c.after) << c.what;
    }
}

TEST(CallerStorage, BlankAndClear)
{
    char zeros[8] = {0};
    EXPECT_EQ(vlrpc_blank(nullptr, 2, 4), 0);
    EXPECT_EQ(vlrpc_blank(zeros, 0, 4), 1);
    EXPECT_EQ(vlrpc_blank(zeros, 2, 4), 1);
    char last[8] = {0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(vlrpc_blank(last, 2, 4), 0);
    EXPECT_EQ(vlrpc_blank(last, 1, 4), 1) << "only n elements are looked at";

    // Elements that own strings: released, then zeroed.
    char* strings[3] = {strdup("a"), strdup("bc"), nullptr};
    vlrpc_clear(reinterpret_cast<char*>(strings), 2, sizeof(char*), kString);
    EXPECT_EQ(strings[0], nullptr);
    EXPECT_EQ(strings[1], nullptr);
    EXPECT_EQ(vlrpc_blank(reinterpret_cast<char*>(strings), 3, sizeof(char*)), 1);
}

}  // namespace
