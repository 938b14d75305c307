/*
 * The benchmark's client loop of the pb interface: makes a number of calls
 * of one procedure through the Velorin-generated C stubs and checks every
 * reply. It serves both servers, as they share the wire format.
 *
 *   pb_loop host program-number transport call ints calls
 *
 * where call is ping, echo (a 47-character string), fill or twice (of
 * ints ints).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pb.h"

static const char message[] = "a bounded string of forty-seven characters, ok.";

static int one_call(const char* call, int* v, int n, long round)
{
    int i;
    if (strcmp(call, "ping") == 0) {
        ping();
        return pb_errno(0) == RPC_SUCCESS;
    }
    if (strcmp(call, "echo") == 0) {
        char s[257];
        strcpy(s, message);
        echo(s);
        return pb_errno(0) == RPC_SUCCESS && strcmp(s, message) == 0;
    }
    if (strcmp(call, "fill") == 0) {
        fill(n, v);
        return pb_errno(0) == RPC_SUCCESS && (n == 0 || v[n - 1] == n - 1);
    }
    for (i = 0; i < n; i++)
        v[i] = (int)round + i;
    twice(v, n);
    return pb_errno(0) == RPC_SUCCESS && (n == 0 || v[n - 1] == 2 * ((int)round + n - 1));
}

int main(int argc, char** argv)
{
    long calls, done;
    int n;
    int* v;

    if (argc != 7) {
        fprintf(stderr, "usage: %s host program-number transport call ints calls\n", argv[0]);
        return 2;
    }
    n = atoi(argv[5]);
    calls = atol(argv[6]);
    v = calloc(1000000, sizeof(int));
    if (v == NULL || pb_bind(argv[1], strtoul(argv[2], 0, 0), 1, argv[3]) == 0) {
        clnt_pcreateerror(argv[1]);
        return 1;
    }
    for (done = 0; done < calls; done++)
        if (!one_call(argv[4], v, n, done)) {
            fprintf(stderr, "call %ld of %s failed\n", done, argv[4]);
            return 1;
        }
    pb_unbind(0);
    return 0;
}
