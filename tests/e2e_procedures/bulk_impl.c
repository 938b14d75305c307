/*
 * Server procedures of the bulk interface, and the start of its
 * asynchronous variant: the watcher signals the server, which serves the
 * calls inside the signal handler while its own loop waits. The _blank
 * procedures read all of their storage before they write it.
 */
#include <ctype.h>
#include <string.h>
#include <unistd.h>

#include "bulk.h"

static int total_of(const int* v, int n)
{
    int total = 0, i;

    for (i = 0; i < n; i++)
        total += v[i];
    return total;
}

int sum(int* v, int n) { return total_of(v, n); }

int forked_sum(int* v, int n) { return total_of(v, n); }

void negate(int* v, int n)
{
    int i;

    for (i = 0; i < n; i++)
        v[i] = -v[i];
}

enum { bound = 300000 };

/* The bytes from `from` to `to` that are not zero. */
static int dirty(const void* storage, size_t from, size_t to)
{
    const unsigned char* bytes = storage;
    int found = 0;

    for (; from < to; from++)
        found += bytes[from] != 0;
    return found;
}

/* The n ints sent back count up from 1; the rest of the bound is dirtied
 * for the next call. */
int out_blank(int n, int* v)
{
    int found = dirty(v, 0, sizeof *v * bound), i;

    for (i = 0; i < bound; i++)
        v[i] = i < n ? i + 1 : -1;
    return found;
}

int forked_out_blank(int n, int* v) { return out_blank(n, v); }

/* The n ints that came are negated; the rest of the bound is dirtied. */
int inout_blank(int* v, int n)
{
    int found = dirty(v, sizeof *v * (size_t)n, sizeof *v * bound), i;

    for (i = 0; i < bound; i++)
        v[i] = i < n ? -v[i] : -1;
    return found;
}

int forked_inout_blank(int* v, int n) { return inout_blank(v, n); }

/* The string goes back in capitals; the room behind its terminator, a byte
 * more than the bound, is dirtied. */
int string_blank(str256 s)
{
    size_t length = strlen(s), i;
    int found = dirty(s, length, 256 + 1);

    for (i = 0; i < length; i++)
        s[i] = (char)toupper((unsigned char)s[i]);
    memset(s + length + 1, 'x', 256 - length);
    return found;
}

int forked_string_blank(str256 s) { return string_blank(s); }

void serve_asynchronously(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    if (vl_serv_async_enable() != 0)
        server_exit(1);
    for (;;)
        pause();
}
