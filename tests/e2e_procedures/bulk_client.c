/*
 * Client of the bulk interface: one call of n ints over TCP, through the
 * generated stub, or straight through the RPC library (a handle from
 * clnt_create with its default buffers, or one with 256 KiB buffers), with
 * the generated XDR routines. Prints "ok" and the procedure when the
 * result is right, else what went wrong.
 *
 *   bulk_client <host> <stub|plain|wide> <sum|forked_sum|negate> <n>
 *   bulk_client <host> stub <[forked_]out_blank|inout_blank|string_blank> <n>
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <netdb.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>

#define VELORIN_XDR
#define VELORIN_CLIENT
#include "bulk.h"

static struct timeval patience = {60, 0};

/* A handle of the RPC library's own, not made by the generated code. */
static CLIENT* library_handle(const char* host, int wide)
{
    struct sockaddr_in addr;
    struct hostent* entry;
    int sock = RPC_ANYSOCK;
    u_short port;

    if (!wide)
        return clnt_create(host, BULK, BULK_1, "tcp");
    entry = gethostbyname(host);
    if (entry == NULL)
        return NULL;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    memcpy(&addr.sin_addr, entry->h_addr_list[0], sizeof addr.sin_addr);
    port = pmap_getport(&addr, BULK, BULK_1, IPPROTO_TCP);
    if (port == 0)
        return NULL;
    addr.sin_port = htons(port);
    return clnttcp_create(&addr, BULK, BULK_1, &sock, 256 * 1024, 256 * 1024);
}

/* The total through the stubs or the library; status receives the call's. */
static int call_sum(CLIENT* cl, int forked, int* v, int n, enum clnt_stat* status)
{
    struct sum_in_t in;
    struct sum_out_t out = {0};

    if (cl == NULL) {
        int total = forked ? forked_sum(v, n) : sum(v, n);
        *status = bulk_errno(0);
        return total;
    }
    in.n = n;
    in.v = v;
    *status = clnt_call(cl, forked ? FORKED_SUM : SUM, (xdrproc_t)xdr_sum_in_t, (caddr_t)&in,
                        (xdrproc_t)xdr_sum_out_t, (caddr_t)&out, patience);
    return out._vlrpc_return_;
}

static void call_negate(CLIENT* cl, int* v, int n, enum clnt_stat* status)
{
    struct negate_in_t in;
    struct negate_out_t out;

    if (cl == NULL) {
        negate(v, n);
        *status = bulk_errno(0);
        return;
    }
    in.n = n;
    in.v = v;
    out.n = n;
    out.v = v;
    *status = clnt_call(cl, NEGATE, (xdrproc_t)xdr_negate_in_t, (caddr_t)&in,
                        (xdrproc_t)xdr_negate_out_t, (caddr_t)&out, patience);
}

/* Two calls of one of the _blank procedures through the stub, the second
 * after the first filled its storage: each must find it zeroed and send
 * back what it left. Prints "ok" and the procedure, or what went wrong. */
static int blank_calls(const char* procedure, int n)
{
    int round, found = 0, wrong = 0, i;
    int* v = calloc(300000, sizeof *v);
    char s[257];

    for (round = 0; round < 2 && v != NULL; round++) {
        if (strstr(procedure, "string_blank") != NULL) {
            strcpy(s, round == 0 ? "blank" : "storage");
            found +=
                strcmp(procedure, "string_blank") == 0 ? string_blank(s) : forked_string_blank(s);
            wrong += strcmp(s, round == 0 ? "BLANK" : "STORAGE") != 0;
            continue;
        }
        for (i = 0; i < n; i++)
            v[i] = i + 1;
        if (strcmp(procedure, "out_blank") == 0)
            found += out_blank(n, v);
        else if (strcmp(procedure, "forked_out_blank") == 0)
            found += forked_out_blank(n, v);
        else if (strcmp(procedure, "inout_blank") == 0)
            found += inout_blank(v, n);
        else
            found += forked_inout_blank(v, n);
        for (i = 0; i < n; i++)
            wrong += v[i] != (strstr(procedure, "inout") != NULL ? -(i + 1) : i + 1);
    }
    free(v);
    if (bulk_errno(0) != RPC_SUCCESS || found != 0 || wrong != 0) {
        printf("%s %d: %s, %d bytes found not zero, %d values wrong\n", procedure, n,
               clnt_sperrno(bulk_errno(0)), found, wrong);
        return 1;
    }
    printf("ok %s\n", procedure);
    return 0;
}

int main(int argc, char** argv)
{
    CLIENT* cl = NULL;
    enum clnt_stat status;
    int n, i, total = 0, expected = 0, wrong = 0;
    int* v;

    if (argc != 5) {
        fprintf(stderr, "usage: bulk_client <host> <stub|plain|wide> <procedure> <n>\n");
        return 2;
    }
    n = atoi(argv[4]);
    v = malloc(sizeof *v * (size_t)(n > 0 ? n : 1));
    for (i = 0; i < n; i++) {
        v[i] = i % 1000;
        expected += v[i];
    }
    if (strcmp(argv[2], "stub") == 0) {
        if (bulk_bind(argv[1], BULK, BULK_1, "tcp") == NULL) {
            printf("cannot bind\n");
            free(v);
            return 1;
        }
    } else {
        cl = library_handle(argv[1], strcmp(argv[2], "wide") == 0);
        if (cl == NULL) {
            printf("cannot create a handle\n");
            free(v);
            return 1;
        }
    }
    if (strstr(argv[3], "_blank") != NULL) {
        free(v);
        n = blank_calls(argv[3], n);
        bulk_unbind(0);
        return n;
    }
    if (strcmp(argv[3], "negate") == 0) {
        call_negate(cl, v, n, &status);
        for (i = 0; i < n; i++)
            wrong += v[i] != -(i % 1000);
    } else {
        total = call_sum(cl, strcmp(argv[3], "forked_sum") == 0, v, n, &status);
        wrong = total != expected;
    }
    if (status == RPC_SUCCESS && wrong == 0)
        printf("ok %s %d\n", argv[3], n);
    else if (strcmp(argv[3], "negate") == 0)
        printf("%s %d: %s, %d values wrong\n", argv[3], n, clnt_sperrno(status), wrong);
    else
        printf("%s %d: %s, total %d instead of %d\n", argv[3], n, clnt_sperrno(status), total,
               expected);
    free(v);
    if (cl != NULL)
        clnt_destroy(cl);
    else
        bulk_unbind(0);
    return status == RPC_SUCCESS && wrong == 0 ? 0 : 1;
}
