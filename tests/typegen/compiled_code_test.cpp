// The real road for the type generators: a model is generated into files,
// the header and the XDR file are compiled with cc -Wall -Werror against
// libtirpc, and small C programs encode and decode values through xdrmem,
// compare the wire bytes with hand-computed XDR and release what decoding
// allocated (leak-checked in the sanitizer build).
#include <gtest/gtest.h>

#include "generated_files.h"
#include "interface_models.h"

using namespace generated;

TEST(CompiledCode, QuoteRecordOnTheWire)
{
    const std::string dir = generateAndCompile(models::quote(), "quote");
    // Five bytes of fixed opaque padded to eight, then three doubles.
    expectProgramPasses(dir, "quote", R"C(
int main(void) {
	stkQuote q, back;
	u_int n;
	memset(&q, 0, sizeof q);
	memset(&back, 0, sizeof back);
	memcpy(q.Ticker, "IBM", 3);
	q.Low = 1.5;
	q.High = 2.25;
	q.Close = -0.5;
	n = encode((xdrproc_t)xdr_stkQuote, &q);
	CHECK(n == 32);
	CHECK(wire_is(n, "49424d0000000000" "3ff8000000000000" "4002000000000000" "bfe0000000000000"));
	CHECK(decode((xdrproc_t)xdr_stkQuote, &back, wire, n));
	CHECK(memcmp(back.Ticker, "IBM\0\0", 5) == 0);
	CHECK(back.Low == 1.5 && back.High == 2.25 && back.Close == -0.5);
	stkQuote_freeres(&back);
)C");
}

TEST(CompiledCode, RemoteFileTypesOnTheWire)
{
    models::RemoteFileTypes types = models::remoteFileTypes();
    const std::string dir = generateAndCompile(models::remoteFile(types), "rfile");
    expectProgramPasses(dir, "rfile",
                        R"C(
int main(void) {
	str1024 s = "hi", back = 0;
	DENTRY first, second, list;
	rFILE handle = { 7 }, handleBack = { 0 };
	size_T size = 4000000000UL, sizeBack = 0;
	u_int n;

	/* A string: its length with the NUL, the bytes, padding. */
	n = encode((xdrproc_t)xdr_str1024, &s);
	CHECK(wire_is(n, "00000003" "68690000"));
	CHECK(decode((xdrproc_t)xdr_str1024, &back, wire, n));
	CHECK(back != 0 && strcmp(back, "hi") == 0);
	str1024_freeres(&back);

	/* A linked list of two entries, each name sent with its own count. */
	memset(&first, 0, sizeof first);
	memset(&second, 0, sizeof second);
	strcpy(first.name, "a");
	strcpy(second.name, "bc");
	first.next = &second;
	n = encode((xdrproc_t)xdr_DENTRY, &first);
	CHECK(wire_is(n, "00000002" "61000000" "00000001" "00000003" "62630000" "00000000"));
	memset(&list, 0, sizeof list);
	CHECK(decode((xdrproc_t)xdr_DENTRY, &list, wire, n));
	CHECK(strcmp(list.name, "a") == 0);
	CHECK(list.next != 0 && strcmp(list.next->name, "bc") == 0 && list.next->next == 0);
	/* Releases the entries decoding linked below the local one. */
	DENTRY_freeres(&list);

	n = encode((xdrproc_t)xdr_rFILE, &handle);
	CHECK(wire_is(n, "00000007"));
	CHECK(decode((xdrproc_t)xdr_rFILE, &handleBack, wire, n) && handleBack.fd == 7);
	n = encode((xdrproc_t)xdr_size_T, &size);
	CHECK(wire_is(n, "ee6b2800"));
	CHECK(decode((xdrproc_t)xdr_size_T, &sizeBack, wire, n) && sizeBack == size);
)C"
                        R"C(
	/* A name count above the 1024 bytes of the array is refused. */
	{
		static unsigned char bad[8 + 1028];
		DENTRY entry;
		memset(bad, 'x', sizeof bad);
		from_hex("00000401", bad);
		memset(&entry, 0, sizeof entry);
		CHECK(!decode((xdrproc_t)xdr_DENTRY, &entry, bad, sizeof bad));
		DENTRY_freeres(&entry);
	}
	/* A string longer than its bound is refused too. */
	{
		static unsigned char bad[4 + 1028];
		str1024 text = 0;
		memset(bad, 'x', sizeof bad);
		from_hex("00000401", bad);
		CHECK(!decode((xdrproc_t)xdr_str1024, &text, bad, sizeof bad));
		str1024_freeres(&text);
	}
	/* A string that fills its bound without a NUL is no string of at
	   most 1024 bytes with its NUL: refused, and nothing is kept. */
	{
		static unsigned char full[4 + 1024];
		str1024 text = 0;
		memset(full, 'y', sizeof full);
		from_hex("00000400", full);
		CHECK(!decode((xdrproc_t)xdr_str1024, &text, full, sizeof full));
		CHECK(text == 0);
	}
	/* A record whose string and array were never set is freed without
	   touching them, and encodes them as empty whatever its count says. */
	{
		struct named empty;
		memset(&empty, 0, sizeof empty);
		named_freeres(&empty);
		CHECK(empty.text == 0);
		empty.count = 3;
		n = encode((xdrproc_t)xdr_named, &empty);
		CHECK(wire_is(n, "00000000" "00000000" "00000003"));
	}
)C");
}

TEST(CompiledCode, EveryTypeFormRoundTrips)
{
    models::EveryForm types = models::everyForm();
    const std::string dir = generateAndCompile(models::everyFormVersion(types), "forms");
    expectProgramPasses(dir, "forms",
                        R"C(
static int same_prims(const struct prims* a, const struct prims* b) {
	return a->c == b->c && a->uc == b->uc && a->s == b->s && a->us == b->us && a->i == b->i &&
	       a->ui == b->ui && a->l == b->l && a->ul == b->ul && a->f == b->f && a->d == b->d &&
	       a->e == b->e && a->n == b->n && a->n2 == b->n2 && a->ct == b->ct &&
	       a->pe && b->pe && *a->pe == *b->pe;
}

static void primitives(void) {
	/* l stays positive: libtirpc's memory stream decodes a negative long
	   zero-extended on 64-bit machines, which is the library's matter. */
	enum_t shade = 4;
	struct prims p = { 'a', 200, -3, 60000, -70000, 4000000000U, 5, 6, 0.5f, -2.0, 3, 9, 10, 1, &shade }, back;
	u_int n = encode((xdrproc_t)xdr_prims, &p);
	CHECK(n == 16 * 4 + 4);
	/* The signed char and short travel sign-extended in four bytes. */
	CHECK(memcmp(wire, "\0\0\0a" "\0\0\0\310" "\377\377\377\375", 12) == 0);
	memset(&back, 0, sizeof back);
	CHECK(decode((xdrproc_t)xdr_prims, &back, wire, n));
	CHECK(same_prims(&p, &back));
	prims_freeres(&back);
}

static void arrays(void) {
	struct arrays a, back;
	u_int n, i;
	char* hello = "hello";
	u_char ubytes[3] = { 255, 0, 1 };
	memset(&a, 0, sizeof a);
	memcpy(a.tag, "abcdefgh", 8);
	a.ub[0] = 1; a.ub[1] = 2; a.ub[2] = 255;
	memcpy(a.raw, "12345", 5);
	for(i = 0; i < 4; i++) a.grid[i] = (int)i - 2;
	a.len = 3;
	memcpy(a.name, "xyz", 3);
	a.n = 2;
	a.vals = (int*)malloc(2 * sizeof(int));
	a.vals[0] = 5; a.vals[1] = -1;
	a.bn = 3;
	a.blob = "\1\2\3";
	a.bytes = "ABC";
	a.ubytes = ubytes; /* xdr_u_char writes its value back, even when encoding */
	a.ns = 2;
	a.names = (str64*)malloc(2 * sizeof(str64));
	a.names[0] = hello;
	a.names[1] = "";
	a.np = 1;
	a.points = (point*)malloc(sizeof(point));
	a.points[0].x = 4; a.points[0].y = -4;
	a.pair = (int*)malloc(2 * sizeof(int));
	a.pair[0] = 11; a.pair[1] = 12;
	strcpy(a.fixedname, "fixed");
	for(i = 0; i < 4; i++) a.q[i] = (int)(i * i);
	a.pts[1].x = 8;
	a.colors = (enum_t*)malloc(2 * sizeof(enum_t));
	a.colors[0] = 2; a.colors[1] = 0;
	a.m[1][2] = 42;

	n = encode((xdrproc_t)xdr_arrays, &a);
	CHECK(n > 0);
	/* tag: 8 bytes; ub: three u_chars as ints; raw: 5 bytes padded; grid:
	   four ints; len; name: its count, then 3 bytes padded; n; vals: the
	   count from the filter, then the ints. */
	CHECK(wire_is(72, "6162636465666768" "00000001" "00000002" "000000ff" "3132333435000000"
	                  "fffffffe" "ffffffff" "00000000" "00000001" "00000003" "00000003" "78797a00"
	                  "00000002" "00000002" "00000005" "ffffffff"));
	memset(&back, 0, sizeof back);
	CHECK(decode((xdrproc_t)xdr_arrays, &back, wire, n));
	CHECK(memcmp(back.tag, "abcdefgh", 8) == 0 && back.ub[2] == 255 && memcmp(back.raw, "12345", 5) == 0);
	CHECK(back.grid[0] == -2 && back.grid[3] == 1 && back.len == 3 && memcmp(back.name, "xyz", 4) == 0);
	CHECK(back.n == 2 && back.vals && back.vals[0] == 5 && back.vals[1] == -1);
	CHECK(back.bn == 3 && back.blob && memcmp(back.blob, "\1\2\3", 3) == 0);
	CHECK(back.bytes && memcmp(back.bytes, "ABC", 3) == 0);
	CHECK(back.ubytes && back.ubytes[0] == 255 && back.ubytes[2] == 1);
	CHECK(back.ns == 2 && back.names && strcmp(back.names[0], "hello") == 0 && strcmp(back.names[1], "") == 0);
	CHECK(back.np == 1 && back.points && back.points[0].x == 4 && back.points[0].y == -4);
	CHECK(back.pair && back.pair[0] == 11 && back.pair[1] == 12);
	CHECK(strcmp(back.fixedname, "fixed") == 0 && back.q[3] == 9 && back.pts[1].x == 8);
	CHECK(back.colors && back.colors[0] == 2 && back.m[1][2] == 42);
	arrays_freeres(&back);
	free(a.vals); free(a.names); free(a.points); free(a.pair); free(a.colors);
}
)C"
                        R"C(
static void holders(void) {
	struct holder h, back;
	struct node second = { 2, 0 }, first = { 1, &second };
	int target = 99, *inner = &target;
	int kinds[] = { 1, 2, 3, 4, 5, 6 };
	u_int n, k;
	for(k = 0; k < sizeof kinds / sizeof kinds[0]; k++) {
		memset(&h, 0, sizeof h);
		h.in.s = -7; h.in.us = 7;
		h.p.x = 1; h.p.y = 2;
		h.numv.i = 0x01020304;
		h.ip = &target;
		h.ipp = &inner;
		h.l = &first;
		h.s = "str";
		h.head = &second;
		h.kind = kinds[k];
		if(h.kind == 1) h.u.code = -9;
		if(h.kind == 2) h.u.val = 0.25;
		if(h.kind == 3) h.u.text = "arm";
		if(h.kind == 4) h.u.where.y = 5;
		if(h.kind == 5) h.link.value = 77;
		h.anon.a = 31;
		h.anon.label = "in place";
		h.raw.i = -1;
		n = encode((xdrproc_t)xdr_holder, &h);
		CHECK(n > 0);
		memset(&back, 0, sizeof back);
		CHECK(decode((xdrproc_t)xdr_holder, &back, wire, n));
		CHECK(back.in.s == -7 && back.in.us == 7 && back.p.y == 2 && back.numv.i == 0x01020304);
		CHECK(back.ip && *back.ip == 99 && back.ipp && *back.ipp && **back.ipp == 99);
		CHECK(back.l && back.l->value == 1 && back.l->next && back.l->next->value == 2 && !back.l->next->next);
		CHECK(back.s && strcmp(back.s, "str") == 0 && back.head && back.head->value == 2);
		CHECK(back.kind == h.kind);
		CHECK(back.anon.a == 31 && back.anon.label && strcmp(back.anon.label, "in place") == 0);
		CHECK(back.raw.i == -1);
		if(h.kind == 1) CHECK(back.u.code == -9);
		if(h.kind == 2) CHECK(back.u.val == 0.25);
		if(h.kind == 3) CHECK(back.u.text && strcmp(back.u.text, "arm") == 0);
		if(h.kind == 4) CHECK(back.u.where.y == 5);
		if(h.kind == 5) CHECK(back.link.value == 77);
		holder_freeres(&back);
	}
	/* A discriminated union on the wire: the discriminant, then one arm. */
	memset(&h, 0, sizeof h);
	h.s = "";
	h.kind = 2;
	h.u.val = 1.0;
	h.anon.label = "";
	n = encode((xdrproc_t)xdr_holder, &h);
	/* ... kind, val, then anon (a, label "" as count 1 and a padded NUL), raw. */
	CHECK(n >= 32 && memcmp(wire + n - 28, "\0\0\0\2" "\77\360\0\0\0\0\0\0" "\0\0\0\0" "\0\0\0\1" "\0\0\0\0" "\0\0\0\0", 28) == 0);
}

static void lists(void) {
	struct node c = { 3, 0 }, b = { 2, &c }, a = { 1, &b };
	list l = &a, back = 0;
	u_int n = encode((xdrproc_t)xdr_list, &l);
	CHECK(wire_is(n, "00000001" "00000001" "00000001" "00000002" "00000001" "00000003" "00000000"));
	CHECK(decode((xdrproc_t)xdr_list, &back, wire, n));
	CHECK(back && back->value == 1 && back->next->next->value == 3);
	xdr_free((xdrproc_t)xdr_list, (char*)&back);
}

int main(void) {
	primitives();
	arrays();
	holders();
	lists();
)C");
}

TEST(CompiledCode, CountsFromTheWireStayInsideTheBuffers)
{
    models::EveryForm types = models::everyForm();
    const std::string dir = generateAndCompile(models::everyFormVersion(types), "forms");
    // Wire prefixes of struct arrays up to and past the member under test.
    expectProgramPasses(dir, "forms", R"C(
/* The fields of struct arrays ahead of `name` (tag, ub, raw, grid, len). */
#define HEAD "6162636465666768" "00000001" "00000002" "00000003" "3132333435000000" \
             "00000000" "00000000" "00000000" "00000000" "00000001"

static unsigned char bytes[4096];

int main(void) {
	struct arrays a;
	u_int n;

	/* name[16, size = len]: a count of 17 is refused before a byte lands
	   past the array (in the member n that follows it). */
	n = from_hex(HEAD "00000011" "7878787878787878787878787878787878000000", bytes);
	memset(&a, 0, sizeof a);
	CHECK(!decode((xdrproc_t)xdr_arrays, &a, bytes, n));
	CHECK(a.n == 0);
	arrays_freeres(&a);

	/* vals[size = n, maxsize = 10]: a count of 11 is refused. */
	n = from_hex(HEAD "00000001" "61000000" "0000000b" "0000000b"
	             "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000", bytes);
	memset(&a, 0, sizeof a);
	CHECK(!decode((xdrproc_t)xdr_arrays, &a, bytes, n));
	arrays_freeres(&a);

	/* names[size = ns, maxsize = 3]: the member ns says 3 while the array
	   carries one string: refused, and the string decoded is released. */
	n = from_hex(HEAD "00000001" "61000000" "00000000" "00000000" "00000000" "00000000" "00000000"
	             "00000000" "00000003" "00000001" "00000002" "41000000", bytes);
	memset(&a, 0, sizeof a);
	CHECK(decode((xdrproc_t)xdr_arrays, &a, bytes, n) == 0);
	CHECK(a.ns == 3 && a.names == 0);
	arrays_freeres(&a);

	/* A zeroed record (null strings and arrays) is freed without a crash. */
	memset(&a, 0, sizeof a);
	a.ns = 3;
	a.n = 5;
	arrays_freeres(&a);
)C");
}

// The allocation and release functions of a result record and the copies
// of the server wrapper, compiled and run: counts from the wire cannot make
// the copies overrun, the release function frees what the server linked
// below its out members, and inout elements are not freed twice.
TEST(CompiledCode, ResultRecordHelpersAndCopies)
{
    using namespace build;
    typedefType* str64 = alias("str64", varArray(prim(CODE_CHAR), models::stringLength(), num(64)));
    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    node->addMember(sym("next", ptr(node)));
    classType* carrier = structType("carrier", {sym("s", str64), sym("l", ptr(node))});
    rpcVersion* v = version(1, {procedure("carry", prim(CODE_VOID), {arg("c", ptr(carrier))})});
    program("helpers", 0x20000456, {v});
    const std::string dir = generateAndCompile(v, "helpers");

    // A record as the argument-record construction makes it.
    Symbol* n = arg("n", prim(CODE_INT), DIR_INOUT);
    Symbol* k = arg("k", prim(CODE_INT), DIR_INOUT);
    Symbol* vals = arg("vals", varArray(prim(CODE_INT), var("n"), num(4)), DIR_INOUT);
    Symbol* name = arg("name", fixedArray(prim(CODE_CHAR), num(8), var("n")), DIR_INOUT);
    Symbol* names = arg("names", varArray(str64, var("k"), num(3)), DIR_INOUT);
    Symbol* outNames = arg("outnames", varArray(str64, var("k"), num(3)), DIR_OUT);
    Symbol* head = arg("head", ptr(node), DIR_OUT);
    Symbol* result = sym("_vlrpc_return_", prim(CODE_INT));
    result->setDirection(DIR_OUT);
    classType* record =
        structType("serve_out_t", {n, k, vals, name, names, outNames, head, result});
    record->setTypedefName("serve_out_t");
    record->markArgRecord();

    std::ostringstream texts;
    record->emitDeclaration(texts);
    texts << record->xdrPrototype() << ";\n";
    record->emitXdrRoutine(texts);
    texts << "static ";
    record->emitMallocHelper(texts);
    texts << "static ";
    record->emitFreeHelper(texts);
    texts << "static void copy_sizes(struct serve_out_t* pOut, struct serve_out_t* pIn){\n"
          << n->copySizeCode("pOut->", "pIn->") << k->copySizeCode("pOut->", "pIn->") << "}\n"
          << "static void copy_inout(struct serve_out_t* pOut, struct serve_out_t* pIn){\n"
          << vals->copyCode("pOut->", "pIn->") << name->copyCode("pOut->", "pIn->")
          << names->copyCode("pOut->", "pIn->") << "}\n";
    writeFile(dir + "/records.h", texts.str());

    expectProgramPasses(dir, "helpers", R"C(
#include "records.h"

int main(void) {
	struct serve_out_t in, out;
	struct node* second;
	unsigned char bytes[256];
	/* n = 1000 while vals carries 2 elements: refused, vals released. */
	u_int length = from_hex("000003e8" "00000001" "00000002" "00000001" "00000002", bytes);
	memset(&in, 0, sizeof in);
	CHECK(!decode((xdrproc_t)xdr_serve_out_t, &in, bytes, length));
	CHECK(in.vals == 0);
	xdr_free((xdrproc_t)xdr_serve_out_t, (char*)&in);

	/* n = 2 with vals and name of 2; k = 1 with names and outnames of one
	   string each; no head, the result. */
	length = from_hex("00000002" "00000001" "00000002" "00000001" "00000002"
	                  "00000002" "61620000" "00000001" "00000002" "41000000"
	                  "00000001" "00000002" "42000000" "00000000" "00000000", bytes);
	memset(&in, 0, sizeof in);
	CHECK(decode((xdrproc_t)xdr_serve_out_t, &in, bytes, length));
	CHECK(in.n == 2 && in.k == 1 && in.vals[1] == 2 && strcmp(in.names[0], "A") == 0);

	/* What the server wrapper does before the call. */
	memset(&out, 0, sizeof out);
	copy_sizes(&out, &in);
	CHECK(malloc_serve_out_t(&out) == 1);
	copy_inout(&out, &in);
	CHECK(out.vals[0] == 1 && out.vals[1] == 2 && memcmp(out.name, "ab", 2) == 0);
	CHECK(out.names[0] == in.names[0]);

	/* The server procedure links storage below its out members. */
	out.outnames[0] = strdup("x");
	out.outnames[1] = strdup("yy");
	out.head->value = 1;
	second = (struct node*)calloc(1, sizeof *second);
	second->value = 2;
	out.head->next = second;

	/* The reply, with counts the server set. */
	out.n = 2;
	out.k = 1;
	CHECK(encode((xdrproc_t)xdr_serve_out_t, &out) > 0);

	mfree_serve_out_t(&out);
	xdr_free((xdrproc_t)xdr_serve_out_t, (char*)&in);
)C");
}
