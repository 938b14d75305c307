// long and unsigned long in generated code: XDR gives them 32 bits. Every
// value that fits has the bytes rpcgen's code writes for the same type, in
// both directions, at and around the bounds; a value beyond them is not
// encoded, where the library's filter would send its low 32 bits.
#include <gtest/gtest.h>

#include "generated_files.h"
#include "interface_models.h"

using namespace generated;
using namespace build;

namespace {

// struct pair { long l; unsigned long u; }, and an array of four longs.
rpcVersion* longVersion()
{
    classType* pair =
        structType("pair", {sym("l", prim(CODE_LONG)), sym("u", prim(CODE_LONG, CODE_UNSIGNED))});
    typedefType* four = alias("four", fixedArray(prim(CODE_LONG), num(4)));
    rpcVersion* v = version(1, {procedure("swap", pair, {arg("p", pair)}),
                                procedure("sum", prim(CODE_LONG), {arg("v", four)})});
    program("longs", 0x2000078a, {v});
    return v;
}

}  // namespace

TEST(LongCode, BoundsAgreeWithRpcgenAndWiderValuesAreNotEncoded)
{
    const std::string dir = generateAndCompile(longVersion(), "longs");
    if (!writeRpcgenPeer(dir, "struct rpair {\n\tlong l;\n\tunsigned long u;\n};\n"))
        GTEST_SKIP() << "rpcgen is not installed";
    expectProgramPasses(dir, "longs", R"C(
#pragma GCC diagnostic ignored "-Wunused-variable"
#include "peer_xdr.c"

int main(void) {
	const long fits[] = { -2147483647L - 1, -2147483647L, -1, 0, 1, 2147483646L, 2147483647L };
	const unsigned long ufits[] = { 0, 1, 2147483648UL, 4294967294UL, 4294967295UL, 4294967295UL, 7 };
	unsigned char mine[8];
	u_int i, n;

	for(i = 0; i < sizeof fits / sizeof fits[0]; i++) {
		struct pair p = { fits[i], ufits[i] }, back;
		rpair peer = { fits[i], ufits[i] }, peerBack;
		/* Velorin writes what rpcgen writes. */
		n = encode((xdrproc_t)xdr_pair, &p);
		CHECK(n == 8);
		memcpy(mine, wire, 8);
		CHECK(encode((xdrproc_t)xdr_rpair, &peer) == 8 && memcmp(mine, wire, 8) == 0);
		/* Velorin reads rpcgen's bytes as they were sent, negative ones too. */
		memset(&back, 0, sizeof back);
		CHECK(decode((xdrproc_t)xdr_pair, &back, wire, 8));
		CHECK(back.l == fits[i] && back.u == ufits[i]);
		/* rpcgen reads Velorin's bytes: the same 32 bits. */
		memset(&peerBack, 0, sizeof peerBack);
		CHECK(decode((xdrproc_t)xdr_rpair, &peerBack, mine, 8));
		CHECK((int)peerBack.l == (int)fits[i] && peerBack.u == ufits[i]);
	}
	CHECK(encode((xdrproc_t)xdr_pair, &(struct pair){ -2147483647L - 1, 4294967295UL }) == 8);
	CHECK(wire_is(8, "80000000" "ffffffff"));

	/* One past each bound: Velorin refuses, rpcgen's filter sends the low bits. */
	{
		struct pair wide[] = { { 2147483648L, 0 }, { -2147483647L - 2, 0 }, { (1L << 33) + 5, 0 },
		                       { 0, 4294967296UL } };
		rpair peer = { (1L << 33) + 5, 0 };
		for(i = 0; i < 4; i++)
			CHECK(encode((xdrproc_t)xdr_pair, &wide[i]) == 0);
		CHECK(encode((xdrproc_t)xdr_rpair, &peer) == 8 && wire_is(8, "00000005" "00000000"));
	}
	/* In an array, one element too wide fails the whole array. */
	{
		four ok = { 1, -1, 2147483647L, -2147483647L - 1 };
		four bad = { 1, 2, 2147483648L, 4 };
		CHECK(encode((xdrproc_t)xdr_four, ok) == 16);
		CHECK(wire_is(16, "00000001" "ffffffff" "7fffffff" "80000000"));
		CHECK(encode((xdrproc_t)xdr_four, bad) == 0);
	}
)C");
}
