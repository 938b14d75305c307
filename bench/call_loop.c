/*
 * The benchmark's client loop: calls getQuote of a quote server through the
 * Velorin-generated C stub for a number of seconds and prints the calls per
 * second. The same loop serves both servers, as they share the wire format.
 * With a count of calls it makes exactly that many, however long they take.
 *
 *   call_loop host program-number tcp|udp seconds [calls]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "quote.h"

static double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv)
{
    stkQuote quote;
    double start, elapsed, seconds;
    long calls = 0, count = 0;

    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: %s host program-number tcp|udp seconds [calls]\n", argv[0]);
        return 2;
    }
    seconds = atof(argv[4]);
    if (argc == 6)
        count = atol(argv[5]);
    if (quote_bind(argv[1], strtoul(argv[2], 0, 0), 1, argv[3]) == 0) {
        clnt_pcreateerror(argv[1]);
        return 1;
    }
    start = now();
    do {
        /* Checks every reply, so that a loop of failing calls is no result. */
        int i;
        for (i = 0; i < 100 && (count == 0 || calls + i < count); i++) {
            memset(&quote, 0, sizeof(quote));
            strcpy(quote.Ticker, "QRVX");
            if (getQuote(&quote) != 0 || quote_errno(0) != RPC_SUCCESS || quote.Close != 45.0) {
                fprintf(stderr, "call %ld failed\n", calls);
                return 1;
            }
        }
        calls += i;
        elapsed = now() - start;
    } while (count > 0 ? calls < count : elapsed < seconds);
    printf("%.0f\n", calls / elapsed);
    quote_unbind(0);
    return 0;
}
