/* Heap taken by decoding (built once against Velorin's XDR code and once,
 * with -DRPCGEN, against rpcgen's for the same bytes):
 *   list  the bytes in use after decoding a list of 20,000 entries with
 *         one-character names (the count 2 and "a", NUL, padding);
 *   wide  the most in use at once while decoding 12 bytes that announce
 *         2^26 ints (n, the bound m, the count) and bring none.
 * Every allocation of the process goes through the counting functions
 * below, the XDR library's own included. Prints "list <bytes> wide <bytes>". */
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef RPCGEN
#include "heap_rpcgen.h"
#else
#include "heap.h"
#endif

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void __libc_free(void*);

static size_t in_use = 0, most = 0;

static void* counted(void* p)
{
    if (p) {
        in_use += malloc_usable_size(p);
        if (in_use > most)
            most = in_use;
    }
    return p;
}

void* malloc(size_t n) { return counted(__libc_malloc(n)); }
void* calloc(size_t n, size_t size) { return counted(__libc_calloc(n, size)); }
void free(void* p)
{
    if (p)
        in_use -= malloc_usable_size(p);
    __libc_free(p);
}
void* realloc(void* p, size_t n)
{
    size_t before = p ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, n);
    if (q || n == 0)
        in_use -= before;
    return counted(q);
}

static void put(unsigned char** at, unsigned int v)
{
    (*at)[0] = v >> 24;
    (*at)[1] = v >> 16;
    (*at)[2] = v >> 8;
    (*at)[3] = v;
    *at += 4;
}

int main(void)
{
    enum { ENTRIES = 20000 };
    static unsigned char bytes[ENTRIES * 12];
    unsigned char* at = bytes;
    struct entry list;
    struct wide w;
    XDR xdrs;
    size_t before, list_bytes, wide_bytes;
    int i, ok;

    for (i = 0; i < ENTRIES; i++) {
        put(&at, 2);
        memcpy(at, "a\0\0\0", 4);
        at += 4;
        put(&at, i + 1 < ENTRIES);
    }
    memset(&list, 0, sizeof list);
    xdrmem_create(&xdrs, (char*)bytes, (u_int)(at - bytes), XDR_DECODE);
    before = in_use;
    ok = xdr_entry(&xdrs, &list);
    list_bytes = in_use - before;
    xdr_destroy(&xdrs);
    if (!ok) {
        printf("the list did not decode\n");
        return 1;
    }
    xdr_free((xdrproc_t)xdr_entry, (char*)&list);

    at = bytes;
    put(&at, 1u << 26);
    put(&at, 1u << 26);
    put(&at, 1u << 26);
    memset(&w, 0, sizeof w);
    xdrmem_create(&xdrs, (char*)bytes, 12, XDR_DECODE);
    before = in_use;
    most = in_use;
    ok = xdr_wide(&xdrs, &w);
    wide_bytes = most - before;
    xdr_destroy(&xdrs);
    xdr_free((xdrproc_t)xdr_wide, (char*)&w);
    printf("list %lu wide %lu%s\n", (unsigned long)list_bytes, (unsigned long)wide_bytes,
           ok ? " (decoded!)" : "");
    return 0;
}
