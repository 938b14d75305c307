/*
 * Client of the slow interface: one call through the generated C stubs.
 *
 *   slow_client <host> <protocol> <procedure> <key> <milliseconds>
 *
 * Prints the result, what the call saw, the call status and how long the
 * call took (without the program's start and the binding).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>

#include "slow.h"

static long now_ms(void)
{
    struct timeval tv;
    gettimeofday(&tv, 0);
    return tv.tv_sec * 1000L + tv.tv_usec / 1000;
}

int main(int argc, char** argv)
{
    int key, ms, result, seen = -1;
    const char* proc;
    long start;

    if (argc < 6) {
        fprintf(stderr, "usage: %s host protocol procedure key milliseconds\n", argv[0]);
        return 2;
    }
    proc = argv[3];
    key = atoi(argv[4]);
    ms = atoi(argv[5]);
    if (!slow_bind(argv[1], 0, 0, argv[2])) {
        printf("bind failed\n");
        return 1;
    }
    start = now_ms();
    if (strcmp(proc, "nap") == 0)
        result = nap(key, ms, &seen);
    else if (strcmp(proc, "forked_nap") == 0)
        result = forked_nap(key, ms, &seen);
    else if (strcmp(proc, "threaded_nap") == 0)
        result = threaded_nap(key, ms, &seen);
    else if (strcmp(proc, "impatient_nap") == 0)
        result = impatient_nap(key, ms, &seen);
    else if (strcmp(proc, "early") == 0)
        result = early(ms, &seen);
    else {
        fprintf(stderr, "unknown procedure %s\n", proc);
        return 2;
    }
    printf("result %d seen %d status %d\n", result, seen, (int)slow_errno(0));
    printf("elapsed %ld\n", now_ms() - start);
    slow_unbind(0);
    return 0;
}
