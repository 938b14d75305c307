/* One round trip of a long list through xdrmem: builds NODES nodes of
 * struct node { int value; struct node* next; }, encodes them, decodes the
 * bytes into a fresh list, checks it and frees it with xdr_free. Built
 * against the XDR code of either compiler (both name the type node and its
 * routine xdr_node); prints the milliseconds of each step and the peak
 * resident memory. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include LIST_HEADER

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv)
{
    const unsigned nodes = argc > 1 ? (unsigned)strtoul(argv[1], NULL, 10) : 1000000u;
    const unsigned size = 8u * nodes;
    char* bytes = malloc(size);
    struct node head, back, *at;
    struct rusage usage;
    double t0, t1, t2, t3;
    unsigned i, length;
    XDR xdrs;

    memset(&head, 0, sizeof head);
    for (i = 0, at = &head; i < nodes; i++) {
        at->value = (int)i;
        if (i + 1 < nodes) {
            at->next = calloc(1, sizeof *at);
            at = at->next;
        }
    }
    t0 = now_ms();
    xdrmem_create(&xdrs, bytes, size, XDR_ENCODE);
    if (!xdr_node(&xdrs, &head)) {
        printf("encoding failed\n");
        return 1;
    }
    length = xdr_getpos(&xdrs);
    t1 = now_ms();
    memset(&back, 0, sizeof back);
    xdrmem_create(&xdrs, bytes, length, XDR_DECODE);
    if (!xdr_node(&xdrs, &back)) {
        printf("decoding failed\n");
        return 1;
    }
    t2 = now_ms();
    for (i = 0, at = &back; at; at = at->next, i++)
        if (at->value != (int)i)
            break;
    if (i != nodes || at) {
        printf("decoded list differs\n");
        return 1;
    }
    t3 = now_ms();
    xdr_free((xdrproc_t)xdr_node, (char*)&back);
    xdr_free((xdrproc_t)xdr_node, (char*)&head);
    t3 = now_ms() - t3;
    getrusage(RUSAGE_SELF, &usage);
    printf("%u %u %.1f %.1f %.1f %ld\n", nodes, length, t1 - t0, t2 - t1, t3, usage.ru_maxrss);
    return 0;
}
