/*
 * Server procedures of the bulk interface, and the start of its
 * asynchronous variant: the watcher signals the server, which serves the
 * calls inside the signal handler while its own loop waits.
 */
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

void serve_asynchronously(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    if (vl_serv_async_enable() != 0)
        server_exit(1);
    for (;;)
        pause();
}
