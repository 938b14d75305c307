/* Calls one client stub of the every-form interface (the first byte picks
 * which), with request values from the next bytes and the rest of the
 * input as the server's reply. The caller's storage is exactly what the
 * request promises (arrays of its count, strings of their bound), and
 * whatever came back is used and freed as the header's free macros say. A
 * reply must never reach past the caller's storage. */
#define VELORIN_XDR
#include "forms.h"

#include "fuzz_wire.h"

#include <stdlib.h>
#include <string.h>

static void see_list(list l)
{
    for (; l; l = l->next)
        if (l->label)
            fuzz_see(l->label, strlen(l->label));
}

/* A heap string of the bound, as the decoder may fill in place. */
static char* str64_of(const char* text)
{
    char* s = calloc(1, 64);

    FUZZ_CHECK(s != 0);
    strcpy(s, text);
    return s;
}

/* Exactly n elements: even for none, no element may be written. */
static void* elements(size_t n, size_t size)
{
    void* v = calloc(n, size);

    FUZZ_CHECK(v != 0 || n == 0);
    return v;
}

/* The reply decodes into the caller's holder in place; one that switches
 * the union to another arm must not take the caller's int for a pointer. */
static void call_holder(void)
{
    struct holder h;

    memset(&h, 0, sizeof h);
    h.s = str64_of("holder");
    h.kind = 1;
    h.u.code = 5;
    h.anon.label = str64_of("anon");
    swapHolder(&h);
    see_list(h.l);
    if (h.s)
        fuzz_see(h.s, strlen(h.s));
    if (h.kind == 3 && h.u.text)
        fuzz_see(h.u.text, strlen(h.u.text));
    if (h.anon.label)
        fuzz_see(h.anon.label, strlen(h.anon.label));
    holder_freeres(&h);
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int n;

    if (size == 0)
        return 0;
    forms_bind_handle(fuzz_client());
    switch (fuzz_take(&data, &size, 1) % 13) {
    case 0:
        fuzz_client_reply(data, size);
        call_holder();
        break;
    case 1: {
        name_t name = "first";
        list l;
        fuzz_client_reply(data, size);
        l = firstName(name);
        see_list(l);
        list_freeres(&l);
        break;
    }
    case 2: {
        list head = 0;
        n = (int)(fuzz_take(&data, &size, 1) % 8);
        fuzz_client_reply(data, size);
        listMake(n, &head);
        see_list(head);
        list_freeres(&head);
        break;
    }
    case 3: {
        int* v;
        n = (int)(fuzz_take(&data, &size, 1) % 101);
        v = elements((size_t)n, sizeof(int));
        fuzz_client_reply(data, size);
        fill(n, v);
        fuzz_see(v, (size_t)n * sizeof(int));
        free(v);
        break;
    }
    case 4: {
        int* v;
        n = (int)(fuzz_take(&data, &size, 1) % 101);
        v = elements((size_t)n, sizeof(int));
        fuzz_client_reply(data, size);
        reverse(v, n);
        fuzz_see(v, (size_t)n * sizeof(int));
        free(v);
        break;
    }
    case 5: {
        struct node* w;
        int i;
        n = (int)(fuzz_take(&data, &size, 1) % 5);
        w = elements((size_t)n, sizeof(struct node));
        fuzz_client_reply(data, size);
        names(n, w);
        for (i = 0; i < n; i++) {
            see_list(&w[i]);
            node_freeres(&w[i]);
        }
        free(w);
        break;
    }
    case 6: {
        char* s = str64_of("echo");
        fuzz_client_reply(data, size);
        echo(s);
        fuzz_see(s, strlen(s));
        free(s);
        break;
    }
    case 7: {
        name_t t = "upper";
        fuzz_client_reply(data, size);
        upper(t);
        fuzz_see(t, strlen(t));
        break;
    }
    case 8: {
        u_long item = fuzz_take(&data, &size, 1) % 17, nm = fuzz_take(&data, &size, 1) % 17;
        char* buffer = elements(item * nm, 1);
        int got;
        fuzz_client_reply(data, size);
        got = gather(buffer, item, nm);
        if (got > 0 && (u_long)got <= item * nm)
            fuzz_see(buffer, (size_t)got);
        free(buffer);
        break;
    }
    case 9: {
        int v[4] = {1, 2, 3, 4};
        quad q;
        memset(q, 0, sizeof q);
        fuzz_client_reply(data, size);
        fixed(v, q);
        fuzz_see(v, sizeof v);
        fuzz_see(q, sizeof q);
        break;
    }
    case 10: {
        struct point p = {1, 2};
        fuzz_client_reply(data, size);
        p = move(p, 3);
        fuzz_see(&p, sizeof p);
        union num u;
        u.i = 5;
        u = raw(u);
        fuzz_see(&u, sizeof u);
        break;
    }
    case 11: {
        char* a[3];
        int i;
        for (i = 0; i < 3; i++)
            a[i] = str64_of("label");
        fuzz_client_reply(data, size);
        labels(a);
        for (i = 0; i < 3; i++) {
            fuzz_see(a[i], strlen(a[i]));
            free(a[i]);
        }
        break;
    }
    default: {
        struct prims p;
        struct arrays a;
        int value = 7, *pointer = &value;
        memset(&p, 0, sizeof p);
        p.ip = &value;
        p.ipp = &pointer;
        memset(&a, 0, sizeof a);
        fuzz_client_reply(data, size);
        putPrims(&p);
        fuzz_see(&p, sizeof p);
        putArrays(&a);
        shade(1, 2);
        break;
    }
    }
    return 0;
}
