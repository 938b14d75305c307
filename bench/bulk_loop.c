/*
 * The benchmark's bulk client loop: calls echo of a bulk server with n
 * bytes through the Velorin-generated C stub for a number of seconds (or
 * exactly a number of calls) and prints the calls per second. It serves
 * both servers, as they share the wire format.
 *
 *   bulk_loop host program-number bytes seconds [calls]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "bulk.h"

static double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv)
{
    double start, elapsed, seconds;
    long calls = 0, count = 0;
    char* data;
    int n;

    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: %s host program-number bytes seconds [calls]\n", argv[0]);
        return 2;
    }
    n = atoi(argv[3]);
    seconds = atof(argv[4]);
    if (argc == 6)
        count = atol(argv[5]);
    data = malloc((size_t)n);
    if (data == NULL || bulk_bind(argv[1], strtoul(argv[2], 0, 0), 1, "tcp") == 0) {
        clnt_pcreateerror(argv[1]);
        return 1;
    }
    start = now();
    do {
        /* Checks every reply, so that a loop of failing calls is no result. */
        memset(data, (int)(calls & 0x7f), (size_t)n);
        echo(data, n);
        if (bulk_errno(0) != RPC_SUCCESS || data[n - 1] != (char)(calls & 0x7f)) {
            fprintf(stderr, "call %ld failed\n", calls);
            return 1;
        }
        calls++;
        elapsed = now() - start;
    } while (count > 0 ? calls < count : elapsed < seconds);
    printf("%.0f\n", calls / elapsed);
    bulk_unbind(0);
    return 0;
}
