// Lists in generated code: a struct linked to itself through its last
// member is coded node after node, so that a list of a million nodes
// encodes, decodes and frees with a 1 MiB stack; the bytes stay those of a
// chain of optional pointers, which rpcgen's code for the same type reads
// and writes alike.
#include <gtest/gtest.h>

#include "generated_files.h"
#include "interface_models.h"

using namespace generated;
using namespace build;

namespace {

// struct node { int value; struct node* next; };  typedef struct node* list;
// struct tail { struct tail* next; int value; } (the link not last).
rpcVersion* listVersion()
{
    classType* node = structType("node", {sym("value", prim(CODE_INT))});
    node->addMember(sym("next", ptr(node)));
    typedefType* list = alias("list", ptr(node));
    classType* tail = structType("tail", {});
    tail->addMember(sym("next", ptr(tail)));
    tail->addMember(sym("value", prim(CODE_INT)));
    rpcVersion* v = version(1, {procedure("walk", list, {arg("t", ptr(tail))})});
    program("lists", 0x20000789, {v});
    return v;
}

}  // namespace

TEST(ListCode, MillionNodesRoundTripAndFreeOnASmallStack)
{
    const std::string dir = generateAndCompile(listVersion(), "lists");
    expectProgramPasses(dir, "lists", R"C(
#define NODES 1000000

static u_int code(xdrproc_t filter, void* value, char* bytes, u_int size, enum xdr_op op) {
	XDR xdrs;
	u_int length;
	xdrmem_create(&xdrs, bytes, size, op);
	length = filter(&xdrs, value) ? xdr_getpos(&xdrs) : 0;
	xdr_destroy(&xdrs);
	return length;
}

int main(void) {
	/* Each node: its value, then the flag of the next one. */
	const u_int size = 8u * NODES;
	char* bytes = (char*)malloc(size);
	char* again = (char*)malloc(size);
	struct node head, back, *at;
	list whole = 0;
	u_int n, i;
	int ok;

	memset(&head, 0, sizeof head);
	at = &head;
	for(i = 0; i < NODES; i++) {
		at->value = (int)i;
		if(i + 1 < NODES) {
			at->next = (struct node*)calloc(1, sizeof *at);
			at = at->next;
		}
	}
	n = code((xdrproc_t)xdr_node, &head, bytes, size, XDR_ENCODE);
	CHECK(n == size);
	CHECK(memcmp(bytes, "\0\0\0\0" "\0\0\0\1" "\0\0\0\1" "\0\0\0\1", 16) == 0);
	CHECK(memcmp(bytes + size - 8, "\0\17\102\77" "\0\0\0\0", 8) == 0);

	memset(&back, 0, sizeof back);
	CHECK(code((xdrproc_t)xdr_node, &back, bytes, n, XDR_DECODE) == n);
	for(i = 0, at = &back, ok = 1; at; at = at->next, i++)
		ok = ok && at->value == (int)i;
	CHECK(ok && i == NODES);
	CHECK(code((xdrproc_t)xdr_node, &back, again, size, XDR_ENCODE) == n && memcmp(bytes, again, n) == 0);
	/* Frees every node below the caller's first one. */
	xdr_free((xdrproc_t)xdr_node, (char*)&back);
	CHECK(back.next == 0);

	/* Through the pointer typedef the first node is decoding's too. */
	{
		char* flagged = (char*)malloc(size + 4);
		memcpy(flagged, "\0\0\0\1", 4);
		memcpy(flagged + 4, bytes, size);
		CHECK(code((xdrproc_t)xdr_list, &whole, flagged, size + 4, XDR_DECODE) == size + 4);
		CHECK(whole && whole->value == 0 && whole->next && whole->next->value == 1);
		xdr_free((xdrproc_t)xdr_list, (char*)&whole);
		CHECK(whole == 0);
		free(flagged);
	}

	/* A stream that ends inside the list: refused, and what was decoded
	   up to there is freed. */
	memset(&back, 0, sizeof back);
	CHECK(code((xdrproc_t)xdr_node, &back, bytes, n - 12, XDR_DECODE) == 0);
	xdr_free((xdrproc_t)xdr_node, (char*)&back);

	xdr_free((xdrproc_t)xdr_node, (char*)&head);
	free(bytes);
	free(again);
)C",
                        "ulimit -s 1024 && ");
}

// Short lists keep the bytes of a chain of optional pointers, also when the
// link is not the last member (that list is coded by recursion, as
// before); rpcgen's routine for the same list reads what Velorin's writes
// and writes the same bytes.
TEST(ListCode, ShortListsKeepTheirBytesAndAgreeWithRpcgen)
{
    const std::string dir = generateAndCompile(listVersion(), "lists");
    if (!writeRpcgenPeer(dir, "struct rnode {\n\tint value;\n\trnode *next;\n};\n"))
        GTEST_SKIP() << "rpcgen is not installed";
    expectProgramPasses(dir, "lists", R"C(
/* rpcgen's routine declares a variable it does not use. */
#pragma GCC diagnostic ignored "-Wunused-variable"
#include "peer_xdr.c"

int main(void) {
	struct tail inner = { 0, 2 }, outer = { &inner, 1 }, tailBack;
	struct node c = { 3, 0 }, b = { 2, &c }, a = { 1, &b };
	rnode peer, *at;
	u_int n;

	/* The link ahead of the value: the next node comes before the value. */
	n = encode((xdrproc_t)xdr_tail, &outer);
	CHECK(wire_is(n, "00000001" "00000000" "00000002" "00000001"));
	memset(&tailBack, 0, sizeof tailBack);
	CHECK(decode((xdrproc_t)xdr_tail, &tailBack, wire, n));
	CHECK(tailBack.value == 1 && tailBack.next && tailBack.next->value == 2 && !tailBack.next->next);
	xdr_free((xdrproc_t)xdr_tail, (char*)&tailBack);

	/* Velorin writes, rpcgen reads. */
	n = encode((xdrproc_t)xdr_node, &a);
	CHECK(wire_is(n, "00000001" "00000001" "00000002" "00000001" "00000003" "00000000"));
	memset(&peer, 0, sizeof peer);
	CHECK(decode((xdrproc_t)xdr_rnode, &peer, wire, n));
	at = &peer;
	CHECK(at->value == 1 && (at = at->next) && at->value == 2 && (at = at->next) && at->value == 3 && !at->next);
	/* rpcgen writes the same bytes, Velorin reads them. */
	CHECK(encode((xdrproc_t)xdr_rnode, &peer) == n);
	CHECK(wire_is(n, "00000001" "00000001" "00000002" "00000001" "00000003" "00000000"));
	{
		struct node back;
		memset(&back, 0, sizeof back);
		CHECK(decode((xdrproc_t)xdr_node, &back, wire, n));
		CHECK(back.value == 1 && back.next && back.next->next && back.next->next->value == 3);
		xdr_free((xdrproc_t)xdr_node, (char*)&back);
	}
	xdr_free((xdrproc_t)xdr_rnode, (char*)&peer);
)C");
}
