// Generated XDR code against values a peer or the program itself may hand
// it: counts sent without their data, strings without their terminator,
// sizes that overflow 32 bits, and values the program built and frees
// itself. The generated files are compiled with cc -Wall -Werror and run
// (in the sanitizer build with AddressSanitizer and leak checking).
#include <gtest/gtest.h>

#include <sstream>

#include "generate/server_wrapper.h"
#include "generated_files.h"
#include "interface_models.h"

using namespace generated;

namespace {

using namespace build;

//   typedef char [size = strlen(*this)+1, maxsize = 16] str16;
//   typedef char c16[16, size = strlen(*this)+1];
//   typedef char [size = strlen(*this), maxsize = 16] nm16;
//   typedef char c9[9, size = strlen(*this)];
//   typedef unsigned long size_T;
//   struct bag { int ns; str16 [size = ns, maxsize = 4] strs; };
//   struct wide { int n; int m; int [size = n, maxsize = m] v; };
//   struct blob { int n; int m; char [size = n, maxsize = m] bytes; };
//   struct later { int [size = count, maxsize = 4] values; int count; };
//   struct laterNames { str16 [size = count, maxsize = 4] names; int count; };
//   struct pairs { int [maxsize = 2] pair; str16 [maxsize = 2] names; };
//   interface bounds {
//     int rfread(out void [size = return < 0 ? 0 : return, maxsize = size*nm] ptr,
//                in size_T size, in size_T nm);
//     int rfwrite(in void [size = nm*size, maxsize = size*nm] ptr, in size_T size, in size_T nm);
//     void echo(inout str16 s, inout c16 c);
//     void name(in nm16 s, in c9 c, inout nm16 t);
//     void put(in struct bag* b, in struct wide* w, in struct blob* x, in struct later* l,
//              in struct laterNames* ln, in struct pairs* pp);
//   };
struct BoundsModel {
    rpcVersion* version;
    rpcProcedure* rfread;
    rpcProcedure* echo;
    rpcProcedure* name;
};

BoundsModel boundsModel()
{
    typedefType* str16 = alias("str16", varArray(prim(CODE_CHAR), models::stringLength(), num(16)));
    typedefType* c16 = alias("c16", fixedArray(prim(CODE_CHAR), num(16), models::stringLength()));
    expressionList* ownText = new expressionList();
    ownText->add(new unaryExp('*', thisExpression));
    expression* ownLength = new funcExp("strlen", ownText);
    typedefType* nm16 = alias("nm16", varArray(prim(CODE_CHAR), ownLength, num(16)));
    typedefType* c9 = alias("c9", fixedArray(prim(CODE_CHAR), num(9), ownLength));
    typedefType* sizeT = alias("size_T", prim(CODE_LONG, CODE_UNSIGNED));
    classType* bag = structType(
        "bag", {sym("ns", prim(CODE_INT)), sym("strs", varArray(str16, var("ns"), num(4)))});
    classType* wide = structType("wide", {sym("n", prim(CODE_INT)), sym("m", prim(CODE_INT)),
                                          sym("v", varArray(prim(CODE_INT), var("n"), var("m")))});
    classType* blob =
        structType("blob", {sym("n", prim(CODE_INT)), sym("m", prim(CODE_INT)),
                            sym("bytes", varArray(prim(CODE_CHAR), var("n"), var("m")))});
    classType* later =
        structType("later", {sym("values", varArray(prim(CODE_INT), var("count"), num(4))),
                             sym("count", prim(CODE_INT))});
    classType* laterNames =
        structType("laterNames", {sym("names", varArray(str16, var("count"), num(4))),
                                  sym("count", prim(CODE_INT))});
    classType* pairs = structType("pairs", {sym("pair", varArray(prim(CODE_INT), nullptr, num(2))),
                                            sym("names", varArray(str16, nullptr, num(2)))});
    expression* result = var("_vlrpc_return_");
    expression* clamped = new condExp(new binaryExp(result, '<', num(0)), num(0), result);
    BoundsModel m;
    m.rfread = procedure(
        "rfread", prim(CODE_INT),
        {arg("ptr", varArray(prim(CODE_VOID), clamped, new binaryExp(var("size"), '*', var("nm"))),
             DIR_OUT),
         arg("size", sizeT), arg("nm", sizeT)});
    rpcProcedure* rfwrite =
        procedure("rfwrite", prim(CODE_INT),
                  {arg("ptr", varArray(prim(CODE_VOID), new binaryExp(var("nm"), '*', var("size")),
                                       new binaryExp(var("size"), '*', var("nm")))),
                   arg("size", sizeT), arg("nm", sizeT)});
    m.echo =
        procedure("echo", prim(CODE_VOID), {arg("s", str16, DIR_INOUT), arg("c", c16, DIR_INOUT)});
    rpcProcedure* put =
        procedure("put", prim(CODE_VOID),
                  {arg("b", ptr(bag)), arg("w", ptr(wide)), arg("x", ptr(blob)),
                   arg("l", ptr(later)), arg("ln", ptr(laterNames)), arg("pp", ptr(pairs))});
    m.name = procedure("name", prim(CODE_VOID),
                       {arg("s", nm16), arg("c", c9), arg("t", nm16, DIR_INOUT)});
    rpcProcedure* room = procedure("room", prim(CODE_VOID), {arg("s", str16, DIR_INOUT)});
    m.version = version(1, {m.rfread, rfwrite, m.echo, put, m.name, room});
    program("bounds", 0x20000457, {m.version});
    return m;
}

// The server's handling of three procedures' records, as the server file
// holds it: the allocation and release functions of the result records,
// and the wrapper's preparation of echo's and name's result records.
std::string serverSteps(const BoundsModel& m)
{
    std::ostringstream texts;
    for (rpcProcedure* p : {m.rfread, m.echo, m.name}) {
        texts << "static __attribute__((unused)) ";
        p->outRecord->emitMallocHelper(texts);
        texts << "static __attribute__((unused)) ";
        p->outRecord->emitFreeHelper(texts);
    }
    texts
        << "static __attribute__((unused)) void* prepare_echo(struct echo_in_t* pIn, struct echo_out_t* pOut){\n"
        << prepareOutRecordCode(m.echo, "pIn", "pOut") << "\treturn 0;\n}\n"
        << "static __attribute__((unused)) void* prepare_name(struct name_in_t* pIn, struct name_out_t* pOut){\n"
        << prepareOutRecordCode(m.name, "pIn", "pOut") << "\treturn 0;\n}\n";
    return texts.str();
}

// Generates the model, compiles the XDR file with its allocations counted
// (calloc and realloc of the generated code go through counted_calloc and
// counted_realloc, which the program defines) and runs the program.
void expectProgramPasses(const std::string& body)
{
    BoundsModel model = boundsModel();
    const std::string dir = testDirectory();
    generate(dir, model.version);
    ASSERT_EQ(errorCount.generation, 0);
    writeFile(dir + "/steps.h", serverSteps(model));
    // The argument records are declared for the XDR file and the stubs.
    writeFile(dir + "/program.c",
              "#define VELORIN_XDR\n" + programPrelude("bounds") + R"C(
#include <stdint.h>
#include <unistd.h>
/* The largest single allocation the generated XDR code asked for. */
static size_t largest = 0;
void* counted_calloc(size_t n, size_t size) {
	if(size != 0 && n <= SIZE_MAX / size && n * size > largest)
		largest = n * size;
	return calloc(n, size);
}
void* counted_realloc(void* p, size_t size) {
	if(size > largest)
		largest = size;
	return realloc(p, size);
}
/* Resident memory of the process, in bytes. */
static __attribute__((unused)) unsigned long resident(void) {
	unsigned long pages = 0, size = 0;
	FILE* f = fopen("/proc/self/statm", "r");
	if(f) {
		if(fscanf(f, "%lu %lu", &size, &pages) != 2)
			pages = 0;
		fclose(f);
	}
	return pages * (unsigned long)sysconf(_SC_PAGESIZE);
}
#include "steps.h"
)C" + body +
                  // The runtime's reports end with no newline of their own.
                  "\tprintf(\"\\n%d failed\\n\", failures);\n\treturn failures != 0;\n}\n");
    std::string output;
    ASSERT_EQ(run(dir,
                  std::string(VELORIN_TEST_CC) + " " + cFlags() +
                      " -Dcalloc=counted_calloc -Drealloc=counted_realloc -c bounds_xdr.c",
                  &output),
              0)
        << output;
    ASSERT_EQ(run(dir,
                  std::string(VELORIN_TEST_CC) + " " + cFlags() +
                      " -o program program.c bounds_xdr.o " + TYPEGEN_VLRPC_LIB + " " +
                      TYPEGEN_TIRPC_LIBS,
                  &output),
              0)
        << output;
    run(dir, "ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=detect_leaks=1 ./program", &output);
    output = "\n" + output;
    EXPECT_NE(output.find("\n0 failed"), std::string::npos) << output;
}

}  // namespace

// A count is read before anything is allocated for it, and storage grows
// with the elements that arrive: a short message announcing a huge count
// (its bound read from the wire too) costs next to nothing.
TEST(HostileValues, DecodingAllocatesWhatArrived)
{
    expectProgramPasses(R"C(
int main(void) {
	static unsigned char bytes[4 * 4096];
	struct { const char* what; const char* hex; int ok; size_t most; } cases[] = {
		/* n, m (the bound) and the count: 2^26 ints announced, none sent. */
		{ "wide, 12 bytes", "04000000" "04000000" "04000000", 0, 65536 },
		{ "blob, 12 bytes", "7fffffff" "7fffffff" "7fffffff", 0, 65536 },
		{ "blob, a bound of -1", "00000010" "ffffffff" "00000010", 0, 65536 },
		{ "wide of 3", "00000003" "00000008" "00000003" "00000001" "00000002" "00000003", 1, 64 },
	};
	u_int i, n;
	for(i = 0; i < sizeof cases / sizeof cases[0]; i++) {
		int isWide = cases[i].what[0] == 'w';
		struct wide w;
		struct blob b;
		memset(&w, 0, sizeof w);
		memset(&b, 0, sizeof b);
		largest = 0;
		n = from_hex(cases[i].hex, bytes);
		if(isWide) {
			CHECK(decode((xdrproc_t)xdr_wide, &w, bytes, n) == cases[i].ok);
			wide_freeres(&w);
		} else {
			CHECK(decode((xdrproc_t)xdr_blob, &b, bytes, n) == cases[i].ok);
			blob_freeres(&b);
		}
		if(largest > cases[i].most)
			printf("%s: %lu bytes allocated at once\n", cases[i].what, (unsigned long)largest);
		CHECK(largest <= cases[i].most);
	}
	/* A count that does arrive is decoded whole, across the steps in which
	   the storage grows. */
	{
		struct blob b;
		u_int k;
		memset(bytes, 0, sizeof bytes);
		from_hex("00002800" "00010000" "00002800", bytes);
		for(k = 0; k < 0x2800; k++)
			bytes[12 + k] = (unsigned char)k;
		memset(&b, 0, sizeof b);
		CHECK(decode((xdrproc_t)xdr_blob, &b, bytes, 12 + 0x2800));
		CHECK(b.n == 0x2800 && b.bytes != 0 && (unsigned char)b.bytes[0x27ff] == 0xff && b.bytes[0x2800] == 0);
		blob_freeres(&b);
	}
)C");
}

// A value the program built itself holds as many elements as its size
// says: freeing it walks those, not the bound.
TEST(HostileValues, FreeingAValueTheProgramBuilt)
{
    expectProgramPasses(R"C(
int main(void) {
	int counts[] = { 0, 1, 3 };
	u_int i;
	int k;
	for(i = 0; i < sizeof counts / sizeof counts[0]; i++) {
		struct bag b;
		b.ns = counts[i];
		b.strs = (str16*)malloc((counts[i] ? counts[i] : 1) * sizeof(str16));
		for(k = 0; k < counts[i]; k++)
			b.strs[k] = strdup("x");
		CHECK(encode((xdrproc_t)xdr_bag, &b) == 8 + 8 * (u_int)counts[i]);
		bag_freeres(&b);
		CHECK(b.strs == 0);
	}
)C");
}

// A string that fills its bound without a terminator, whose length runs
// past what arrived, or whose count is not the length its bytes give, is
// refused at decoding, in a variable-length and in a fixed array, with the
// terminator counted or not; a copy never leaves a string without its
// terminator, and a fixed string without one is not sent.
TEST(HostileValues, StringsHoldTheirTerminator)
{
    expectProgramPasses(R"C(
int main(void) {
	static unsigned char bytes[64];
	/* The form: v str16, f c16 (the terminator counted), m nm16, n c9. */
	struct { char form; const char* hex; int ok; } cases[] = {
		{ 'v', "00000010" "41414141414141414141414141414141", 0 }, /* 16 bytes, no NUL */
		{ 'v', "00000010" "41414141414141414141414141414100", 1 }, /* 15 and its NUL */
		{ 'v', "00000003" "61626300", 0 },                         /* "abc" without NUL */
		{ 'v', "00000003" "61620000", 1 },                         /* "ab" and its NUL */
		{ 'v', "00000005" "6162006364000000", 0 },                 /* "ab", NUL, "cd", NUL */
		{ 'v', "00000000", 1 },                                    /* a null string */
		{ 'v', "00000011" "4141414141414141414141414141414100000000", 0 }, /* above the bound */
		{ 'f', "00000010" "41414141414141414141414141414141", 0 },
		{ 'f', "00000010" "41414141414141414141414141414100", 1 },
		{ 'f', "00000003" "61626300", 0 },
		{ 'f', "00000003" "61620000", 1 },
		{ 'f', "00000005" "6162006364000000", 0 },
		{ 'f', "00000000", 0 },
		{ 'm', "00000010" "41414141414141414141414141414141", 1 }, /* 16 characters */
		{ 'm', "00000010" "41414141414141414141414141414100", 0 }, /* 15 and a NUL */
		{ 'm', "00000003" "61626300", 1 },
		{ 'm', "00000003" "61620000", 0 },
		{ 'm', "00000000", 1 },
		{ 'm', "00000011" "4141414141414141414141414141414141000000", 0 },
		{ 'n', "00000009" "616263006566676869000000", 0 },     /* a NUL at 3 */
		{ 'n', "00000009" "616263646566676869000000", 0 },     /* no room for the NUL */
		{ 'n', "00000008" "6162636465666768", 1 },
		{ 'n', "00000003" "61626300", 1 },
		{ 'n', "00000003" "61620000", 0 },
		{ 'n', "00000000", 1 },
	};
	u_int i, n;
	for(i = 0; i < sizeof cases / sizeof cases[0]; i++) {
		str16 s = 0;
		nm16 m = 0;
		c16 c;
		c9 f;
		int ok;
		memset(c, 'z', sizeof c);
		memset(f, 'z', sizeof f);
		n = from_hex(cases[i].hex, bytes);
		if(cases[i].form == 'v') {
			/* Decoded as an argument into the room the server's dispatcher
			   gives: the same verdict and the same string. */
			struct room_in_t in;
			in.s = (char*)vlrpc_alloc(17, 1);
			ok = decode((xdrproc_t)xdr_str16, &s, bytes, n);
			CHECK(ok ? s != 0 && strlen(s) < 16 : s == 0);
			CHECK(decode((xdrproc_t)xdr_room_in_t, &in, bytes, n) == ok);
			CHECK(!ok || strcmp(in.s, s) == 0);
			xdr_free((xdrproc_t)xdr_room_in_t, (char*)&in);
			CHECK(in.s == 0);
			str16_freeres(&s);
		} else if(cases[i].form == 'f') {
			ok = decode((xdrproc_t)xdr_c16, &c, bytes, n);
			CHECK(!ok || strlen(c) < 16);
		} else if(cases[i].form == 'm') {
			ok = decode((xdrproc_t)xdr_nm16, &m, bytes, n);
			CHECK(ok ? m != 0 && strlen(m) <= 16 : m == 0);
			/* What it took encodes as it came. */
			CHECK(!ok || (encode((xdrproc_t)xdr_nm16, &m) == n && memcmp(wire, bytes, n) == 0));
			nm16_freeres(&m);
		} else {
			ok = decode((xdrproc_t)xdr_c9, &f, bytes, n);
			CHECK(!ok || (encode((xdrproc_t)xdr_c9, &f) == n && memcmp(wire, bytes, n) == 0));
		}
		if(ok != cases[i].ok)
			printf("case %u: decoding gave %d\n", i, ok);
		CHECK(ok == cases[i].ok);
	}
	/* Decoding into the caller's storage of 16 bytes: the same refusal. */
	{
		char mine[16];
		str16 s = mine;
		n = from_hex(cases[0].hex, bytes);
		CHECK(!decode((xdrproc_t)xdr_str16, &s, bytes, n) && s == mine);
		n = from_hex(cases[3].hex, bytes);
		CHECK(decode((xdrproc_t)xdr_str16, &s, bytes, n) && s == mine && strcmp(mine, "ab") == 0);
	}
	/* The wrapper hands the room an inout string was decoded into over to
	   the result as it is; a fixed string is copied, and one the program
	   left without a terminator is not sent. */
	{
		struct echo_in_t in;
		struct echo_out_t out;
		char* room = (char*)vlrpc_alloc(17, 1);
		memset(&in, 0, sizeof in);
		in.s = room;
		n = from_hex("0000000f" "7171717171717171717171717171" "0000", bytes);
		CHECK(decode((xdrproc_t)xdr_str16, &in.s, bytes, n) && in.s == room);
		memset(in.c, 'r', sizeof in.c);
		CHECK(prepare_echo(&in, &out) == 0);
		CHECK(out.s == room && in.s == 0 && strlen(out.s) == 14);
		CHECK(encode((xdrproc_t)xdr_echo_out_t, &out) == 0);
		out.c[3] = 0;
		CHECK(encode((xdrproc_t)xdr_echo_out_t, &out) == 20 + 8);
		mfree_echo_out_t(&out);
	}
	/* A string measured without its terminator keeps every character up
	   to its bound in its room. */
	{
		static const u_int lengths[] = { 0, 3, 16 };
		struct name_in_t in;
		struct name_out_t out;
		char text[17];
		for(i = 0; i < sizeof lengths / sizeof lengths[0]; i++) {
			memset(&in, 0, sizeof in);
			memset(text, 't', lengths[i]);
			text[lengths[i]] = 0;
			in.t = (char*)vlrpc_alloc(17, 1);
			strcpy(in.t, text);
			CHECK(prepare_name(&in, &out) == 0);
			CHECK(out.t != 0 && strcmp(out.t, text) == 0);
			CHECK(encode((xdrproc_t)xdr_name_out_t, &out) == 4 + (lengths[i] + 3) / 4 * 4);
			mfree_name_out_t(&out);
		}
	}
)C");
}

// Sizes are evaluated in their own 64-bit type: a product beyond 32 bits is
// not truncated into a small count that passes, when decoding, encoding or
// allocating a result buffer; a result buffer is zeroed without its pages
// being touched.
TEST(HostileValues, SizesBeyondThirtyTwoBits)
{
    expectProgramPasses(R"C(
int main(void) {
	static unsigned char bytes[64];
	struct { const char* hex; int ok; } requests[] = {
		/* nm, size, then ptr: 2 * 0x80000001 bytes promised, 2 sent. */
		{ "00000002" "80000001" "00000002" "61620000", 0 },
		{ "00000002" "00000002" "00000004" "61626364", 1 },
		{ "ffffffff" "ffffffff" "00000002" "61620000", 0 },
		{ "00000005" "00000000" "00000000", 1 },
		/* More than size*nm bytes. */
		{ "00000002" "00000001" "00000003" "61626300", 0 },
	};
	u_int i, n;
	for(i = 0; i < sizeof requests / sizeof requests[0]; i++) {
		struct rfwrite_in_t in;
		memset(&in, 0, sizeof in);
		n = from_hex(requests[i].hex, bytes);
		CHECK(decode((xdrproc_t)xdr_rfwrite_in_t, &in, bytes, n) == requests[i].ok);
		xdr_free((xdrproc_t)xdr_rfwrite_in_t, (char*)&in);
	}
	/* Sending 2 bytes for a promise of 0x100000002 is refused as well. */
	{
		struct rfwrite_in_t in;
		in.nm = 2;
		in.size = 0x80000001UL;
		in.ptr = "ab";
		CHECK(encode((xdrproc_t)xdr_rfwrite_in_t, &in) == 0);
	}
	/* Result buffers: a product that overflows, or that no count of the
	   wire carries, is no allocation; a large one is not touched. */
	{
		struct rfread_out_t out;
		unsigned long before;
		memset(&out, 0, sizeof out);
		out.size = 1UL << 32;
		out.nm = 1UL << 32;
		CHECK(malloc_rfread_out_t(&out) == 0 && out.ptr == 0);
		out.size = 1UL << 32;
		out.nm = 1;
		CHECK(malloc_rfread_out_t(&out) == 0 && out.ptr == 0);
		out.size = 1;
		out.nm = 1UL << 31;
		before = resident();
		CHECK(malloc_rfread_out_t(&out) == 1 && out.ptr != 0);
		CHECK(resident() < before + (256UL << 20));
		mfree_rfread_out_t(&out);
	}
)C");
}

// A size made of members decoded after its array is checked once the whole
// record is decoded: a value that claims more than arrived (or, where the
// elements own memory, other than what arrived) is refused, and what
// decoding allocated for the array is released; storage the caller gave is
// kept.
TEST(HostileValues, SizesDecodedAfterTheirArray)
{
    expectProgramPasses(R"C(
int main(void) {
	static unsigned char bytes[128];
	struct { char kind; const char* hex; int ok; } cases[] = {
		/* rfread's result record: size, nm, the bytes, then the result that
		   says how many of them there are. */
		{ 'r', "00000001" "00000010" "00000002" "61620000" "00000002", 1 },
		{ 'r', "00000001" "00000010" "00000002" "61620000" "00000001", 1 },
		{ 'r', "00000001" "00000010" "00000002" "61620000" "ffffffff", 1 },
		{ 'r', "00000001" "00000010" "00000002" "61620000" "00000003", 0 },
		{ 'r', "00000001" "00000010" "00000000" "7fffffff", 0 },
		/* later: the values, then their count. */
		{ 'l', "00000002" "00000007" "00000008" "00000002", 1 },
		{ 'l', "00000002" "00000007" "00000008" "00000001", 1 },
		{ 'l', "00000002" "00000007" "00000008" "00000003", 0 },
		{ 'l', "00000001" "00000007" "7fffffff", 0 },
		{ 'l', "00000001" "00000007" "ffffffff", 0 },
		/* laterNames: strings own memory, so the count must be theirs. */
		{ 'n', "00000002" "00000002" "61000000" "00000002" "62000000" "00000002", 1 },
		{ 'n', "00000002" "00000002" "61000000" "00000002" "62000000" "00000001", 0 },
		{ 'n', "00000002" "00000002" "61000000" "00000002" "62000000" "00000004", 0 },
		{ 'n', "00000000" "00000000", 1 },
	};
	u_int i, n;
	for(i = 0; i < sizeof cases / sizeof cases[0]; i++) {
		struct rfread_out_t r;
		struct later l;
		struct laterNames ln;
		int ok;
		memset(&r, 0, sizeof r);
		memset(&l, 0, sizeof l);
		memset(&ln, 0, sizeof ln);
		n = from_hex(cases[i].hex, bytes);
		if(cases[i].kind == 'r') {
			ok = decode((xdrproc_t)xdr_rfread_out_t, &r, bytes, n);
			CHECK(ok || r.ptr == 0);
			xdr_free((xdrproc_t)xdr_rfread_out_t, (char*)&r);
		} else if(cases[i].kind == 'l') {
			ok = decode((xdrproc_t)xdr_later, &l, bytes, n);
			CHECK(ok || l.values == 0);
			later_freeres(&l);
		} else {
			ok = decode((xdrproc_t)xdr_laterNames, &ln, bytes, n);
			CHECK(ok || ln.names == 0);
			laterNames_freeres(&ln);
		}
		if(ok != cases[i].ok)
			printf("case %u: decoding gave %d\n", i, ok);
		CHECK(ok == cases[i].ok);
	}
	/* Into the caller's storage: refused the same way, the storage kept. */
	{
		struct rfread_out_t r;
		char mine[16];
		memset(&r, 0, sizeof r);
		r.ptr = mine;
		n = from_hex(cases[3].hex, bytes);
		CHECK(!decode((xdrproc_t)xdr_rfread_out_t, &r, bytes, n) && r.ptr == mine);
	}
)C");
}

// An array without size holds its bound's worth, which is what encoding
// sends: fewer elements are refused, and an empty one (how its null value
// travels) decodes as null, so that encoding it again sends it empty.
TEST(HostileValues, ArraysWithoutSizeHoldTheirBound)
{
    expectProgramPasses(R"C(
int main(void) {
	static unsigned char bytes[128];
	struct { const char* hex; int ok; } cases[] = {
		{ "00000002" "00000001" "00000002" "00000002" "00000002" "61000000" "00000002" "62000000", 1 },
		{ "00000001" "00000001" "00000002" "00000002" "61000000" "00000002" "62000000", 0 },
		{ "00000002" "00000001" "00000002" "00000001" "00000002" "61000000", 0 },
		{ "00000000" "00000000", 1 },
	};
	u_int i, n;
	for(i = 0; i < sizeof cases / sizeof cases[0]; i++) {
		struct pairs p;
		int ok;
		memset(&p, 0, sizeof p);
		n = from_hex(cases[i].hex, bytes);
		ok = decode((xdrproc_t)xdr_pairs, &p, bytes, n);
		if(ok != cases[i].ok)
			printf("case %u: decoding gave %d\n", i, ok);
		CHECK(ok == cases[i].ok);
		if(ok)
			CHECK(encode((xdrproc_t)xdr_pairs, &p) == n);
		else
			CHECK(p.pair == 0 || p.names == 0);
		pairs_freeres(&p);
	}
)C");
}
