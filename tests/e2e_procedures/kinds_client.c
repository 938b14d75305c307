/*
 * C client of the kinds interface: calls every procedure through the
 * generated stubs and prints one line per result, for the test to compare.
 *
 *   kinds_client <host> <protocol> [program number]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define VELORIN_XDR
#define VELORIN_CLIENT
#include "kinds.h"

static void print_ints(const char* what, const int* v, int n)
{
    int i;
    printf("%s", what);
    for (i = 0; i < n; i++)
        printf(" %d", v[i]);
    printf("\n");
}

/* Before a handle is bound, every stub returns its zeroed result and leaves
 * the caller's storage alone; the call function reports the null handle. */
static void before_bind(void)
{
    struct point p = {7, 8};
    struct point moved;
    int v = 21;
    struct add_in_t in = {1, 2};
    struct add_out_t out = {99};
    struct timeval tv = {1, 0};

    printf("unbound add %d\n", add(2, 3));
    moved = movept(p, 1);
    printf("unbound movept %d %d\n", moved.x, moved.y);
    twice(&v);
    printf("unbound twice %d\n", v);
    printf("unbound counter %d\n", counter());
    reset();
    printf("unbound add_wrap %d\n", add_wrap(0, &tv, &in, &out));
}

static void every_procedure(void)
{
    int v = 21, half = -1, rest = -1, vals[100], fixed8[8], fixed4[4], i;
    char shouted[256];
    unsigned char bytes[300];
    char tag[16];
    struct point p = {3, 4}, moved;
    NODE third = {30, 0}, second = {20, &third}, first = {10, &second};
    NODE made;

    printf("add %d\n", add(-50, 8));
    printf("scale %.2f\n", scale(1.5, -4, 200, 1000000L));
    twice(&v);
    printf("twice %d\n", v);
    split(9, &half, &rest);
    printf("split %d %d\n", half, rest);
    printf("length %d\n", length("hello, world"));
    printf("length of a null string %d\n", length(0));
    memset(shouted, 'x', sizeof shouted);
    upper("velorin rpc", shouted);
    printf("upper %s\n", shouted);
    moved = movept(p, 10);
    printf("movept %d %d\n", moved.x, moved.y);
    mirror(&p);
    printf("mirror %d %d\n", p.x, p.y);

    for (i = 0; i < 100; i++)
        vals[i] = i + 1;
    printf("sum %d\n", sum(vals, 100));
    printf("sum of none %d\n", sum(vals, 0));
    memset(vals, 0, sizeof vals);
    fill(vals, 6);
    print_ints("fill", vals, 7);
    for (i = 0; i < 5; i++)
        vals[i] = i + 1;
    reverse(vals, 5);
    print_ints("reverse", vals, 5);
    for (i = 0; i < 8; i++)
        fixed8[i] = 1 << i;
    printf("fixedsum %d\n", fixedsum(fixed8));
    for (i = 0; i < 4; i++)
        fixed4[i] = i + 2;
    fixedsquare(fixed4);
    print_ints("fixedsquare", fixed4, 4);
    memset(fixed4, 0, sizeof fixed4);
    fixedcount(fixed4);
    print_ints("fixedcount", fixed4, 4);
    for (i = 0; i < 300; i++)
        bytes[i] = (unsigned char)(i % 256);
    printf("bytesum %d\n", bytesum(bytes, 300));
    memcpy(tag, "ABCDEFGHIJKLMNOP", 16);
    printf("tagsum %d\n", tagsum(tag, 3));
    printf("listsum %d\n", listsum(&first));
    printf("listsum of none %d\n", listsum(0));

    memset(&made, 0, sizeof made);
    listmake(4, &made);
    printf("listmake");
    {
        NODE* n;
        for (n = &made; n; n = n->next)
            printf(" %d", n->value);
    }
    printf("\n");
    /* The nodes behind the head were allocated while the reply was decoded. */
    {
        NODE* list = &made;
        NODE_freeres(list);
    }

    reset();
    counter();
    counter();
    printf("counter %d\n", counter());
    printf("status %d\n", (int)kinds_errno(0));
}

int main(int argc, char** argv)
{
    unsigned long prog = argc > 3 ? strtoul(argv[3], 0, 0) : 0;

    if (argc < 3) {
        fprintf(stderr, "usage: %s host protocol [program]\n", argv[0]);
        return 2;
    }
    before_bind();
    if (!kinds_bind(argv[1], prog, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    every_procedure();
    kinds_unbind(0);
    return 0;
}
