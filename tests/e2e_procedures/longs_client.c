/*
 * C client of the longs interface: one line per call with its result and
 * the call's status, by name for the statuses the test expects.
 *
 *   longs_client <host> <protocol>
 */
#include <stdio.h>

#define VELORIN_XDR
#define VELORIN_CLIENT
#include "longs.h"

static const char* status_name(enum clnt_stat status)
{
    switch (status) {
    case RPC_SUCCESS:
        return "success";
    case RPC_CANTENCODEARGS:
        return "cantencodeargs";
    default:
        return "failed";
    }
}

static void show(const char* what, long value)
{
    printf("%s %ld %s\n", what, value, status_name(longs_errno(0)));
}

static void show_unsigned(const char* what, unsigned long value)
{
    printf("%s %lu %s\n", what, value, status_name(longs_errno(0)));
}

int main(int argc, char** argv)
{
    struct pair fits = {-2147483647L - 1, 4294967295UL};
    struct pair wide = {(1L << 33) + 5, 1};
    struct pair wide_unsigned = {1, 4294967296UL};
    long four[4] = {2147483647L, -2147483647L - 1, 1, -1};
    long four_wide[4] = {1, 2, 2147483648L, 4};

    if (argc < 3) {
        fprintf(stderr, "usage: %s host protocol\n", argv[0]);
        return 2;
    }
    if (!longs_bind(argv[1], 0, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    show("echo 2^31-1", echo(2147483647L));
    show("echo -2^31", echo(-2147483647L - 1));
    show("echo -1", echo(-1));
    show_unsigned("uecho 2^32-1", uecho(4294967295UL));
    show("sumpair", sumpair(fits));
    show("sumfour", sumfour(four));
    show("echo 2^31", echo(2147483648L));
    show("echo -2^31-1", echo(-2147483647L - 2));
    show("echo 2^33+5", echo((1L << 33) + 5));
    show_unsigned("uecho 2^32", uecho(4294967296UL));
    show("sumpair wide long", sumpair(wide));
    show("sumpair wide unsigned", sumpair(wide_unsigned));
    show("sumfour wide", sumfour(four_wide));
    show("widest", widest(0));
    show("echo after", echo(7));
    longs_unbind(0);
    return 0;
}
