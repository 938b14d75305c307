// A discriminated union decoded into storage that holds another arm's
// bytes: the caller's own value behind an inout argument, or a value the
// program filled itself. The generated files are compiled with
// cc -Wall -Werror and run (in the sanitizer build with AddressSanitizer
// and leak checking).
#include <gtest/gtest.h>

#include "generated_files.h"
#include "interface_models.h"

using namespace generated;

// The holder of the every-form model: `kind` selects code (1), val (2),
// the string text (3) or where (4) in u, and link (5, a node with a next
// pointer) in the unnamed union.
TEST(UnionArms, ArmSwitchedByThePeerIsDecodedIntoZeroedStorage)
{
    models::EveryForm types = models::everyForm();
    const std::string dir = generateAndCompile(models::everyFormVersion(types), "forms");
    expectProgramPasses(dir, "forms", R"C(
static unsigned char sent[4096];

/* The bytes of a holder whose kind is `kind`; their number. */
static u_int holder_bytes(int kind) {
	static struct node tail = { 8, 0 };
	struct holder h;
	u_int n;
	memset(&h, 0, sizeof h);
	h.s = "";
	h.anon.label = "";
	h.kind = kind;
	if(kind == 1) h.u.code = 6;
	if(kind == 3) h.u.text = "hi";
	if(kind == 5) { h.link.value = 7; h.link.next = &tail; }
	n = encode((xdrproc_t)xdr_holder, &h);
	memcpy(sent, wire, n);
	return n;
}

/* The caller's value before the reply: the int arm holding 5, and the
   storage of the unselected unnamed union left as the caller found it. */
static void caller_value(struct holder* h) {
	memset(h, 0, sizeof *h);
	memset(&h->link, 5, sizeof h->link);
	h->kind = 1;
	h->u.code = 5;
}

/* The decoded value encodes as the bytes it came from. */
static int encodes_as_sent(struct holder* h, u_int n) {
	return encode((xdrproc_t)xdr_holder, h) == n && memcmp(wire, sent, n) == 0;
}

int main(void) {
	struct holder h;
	char mine[64] = "mine";
	u_int n;

	/* From the int arm to the string arm: the 5 is no string's address. */
	n = holder_bytes(3);
	caller_value(&h);
	CHECK(decode((xdrproc_t)xdr_holder, &h, sent, n));
	CHECK(h.kind == 3 && h.u.text && strcmp(h.u.text, "hi") == 0);
	CHECK(encodes_as_sent(&h, n));
	holder_freeres(&h);

	/* To the arm of the unnamed union, a node whose next pointer shares
	   its storage with bytes of 5. */
	n = holder_bytes(5);
	caller_value(&h);
	CHECK(decode((xdrproc_t)xdr_holder, &h, sent, n));
	CHECK(h.kind == 5 && h.link.value == 7 && h.link.next && h.link.next->value == 8 && !h.link.next->next);
	CHECK(encodes_as_sent(&h, n));
	holder_freeres(&h);

	/* The same string arm: the reply gets storage of its own, and the
	   caller's buffer, which decoding cannot measure, is left as it was. */
	n = holder_bytes(3);
	caller_value(&h);
	h.kind = 3;
	h.u.text = mine;
	CHECK(decode((xdrproc_t)xdr_holder, &h, sent, n));
	CHECK(h.u.text != mine && strcmp(h.u.text, "hi") == 0 && strcmp(mine, "mine") == 0);
	holder_freeres(&h);

	/* A string arm cut short: refused, and the value still frees. */
	n = holder_bytes(3);
	caller_value(&h);
	CHECK(!decode((xdrproc_t)xdr_holder, &h, sent, n - 20));
	CHECK(h.kind == 3 && h.u.text == 0);
	holder_freeres(&h);
)C");
}
