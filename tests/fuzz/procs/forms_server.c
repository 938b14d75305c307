/* Stand-ins for the procedures of the every-form interface: each reads
 * its arguments as far as their sizes promise and fills its results within
 * their bounds, so that the sanitizers see any buffer that holds less than
 * the generated code said it would. */
#include "forms.h"

#include "fuzz_wire.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void see_string(const char* s)
{
    if (s)
        fuzz_see(s, strlen(s) + 1);
}

static size_t at_most(long n, size_t bound)
{
    return n <= 0 ? 0 : (size_t)n < bound ? (size_t)n : bound;
}

/* A heap string a result may hold: what the free pass releases. */
static char* label_of(unsigned n)
{
    char* label = malloc(16);

    if (label)
        snprintf(label, 16, "node %u", n);
    return label;
}

static void see_list(list l)
{
    for (; l; l = l->next) {
        fuzz_see(&l->value, sizeof l->value);
        see_string(l->label);
    }
}

void putPrims(struct prims* p)
{
    if (!p)
        return;
    fuzz_see(p, sizeof *p);
    if (p->ip)
        fuzz_see(p->ip, sizeof *p->ip);
    if (p->ipp && *p->ipp)
        fuzz_see(*p->ipp, sizeof **p->ipp);
}

count2 putArrays(struct arrays* a)
{
    int i;

    if (!a)
        return 0;
    fuzz_see(a->name, at_most(a->len, sizeof a->name));
    if (a->vals)
        fuzz_see(a->vals, (size_t)at_most(a->n, 10) * sizeof(int));
    if (a->blob)
        fuzz_see(a->blob, at_most(a->bn, 32));
    if (a->bytes)
        fuzz_see(a->bytes, at_most(a->bn, 32));
    if (a->ubytes)
        fuzz_see(a->ubytes, at_most(a->bn, 32));
    for (i = 0; a->names && i < (int)at_most(a->ns, 3); i++)
        see_string(a->names[i]);
    if (a->points)
        fuzz_see(a->points, at_most(a->np, 4) * sizeof(struct point));
    if (a->pair)
        fuzz_see(a->pair, 2 * sizeof(int));
    see_string(a->fixedname);
    if (a->colors)
        fuzz_see(a->colors, at_most(a->n, 10) * sizeof(enum_t));
    return fuzz_seen;
}

int swapHolder(struct holder* h)
{
    int x;

    if (!h)
        return -1;
    x = h->p.x;
    h->p.x = h->p.y;
    h->p.y = x;
    see_list(h->l);
    see_string(h->s);
    if (h->kind == 3)
        see_string(h->u.text);
    if (h->kind == 5 && h->u.trio)
        fuzz_see(h->u.trio, 3 * sizeof(int));
    if (h->kind == 6)
        see_string(h->link.label);
    see_string(h->anon.label);
    return h->kind;
}

/* The returned list is the server's own: nobody frees it. */
list firstName(name_t n)
{
    static char labels[4][2];
    static struct node nodes[4];
    size_t i, length = strlen(n);

    for (i = 0; i < 4 && i < length; i++) {
        labels[i][0] = n[i];
        nodes[i].value = (int)i;
        nodes[i].label = labels[i];
        nodes[i].next = i + 1 < 4 && i + 1 < length ? &nodes[i + 1] : 0;
    }
    return length ? nodes : 0;
}

int listSum(list head)
{
    see_list(head);
    return (int)(fuzz_seen & 0x7fff);
}

void listMake(int n, list* head)
{
    unsigned i, count = (unsigned)at_most(n, 64);
    list* link = head;

    for (i = 0; i < count; i++) {
        *link = calloc(1, sizeof(struct node));
        if (!*link)
            return;
        (*link)->value = (int)i;
        (*link)->label = label_of(i);
        link = &(*link)->next;
    }
}

void fill(int n, int* v)
{
    size_t i;

    for (i = 0; i < at_most(n, 100); i++)
        v[i] = (int)i;
}

int sum(int* v, int n)
{
    if (v)
        fuzz_see(v, at_most(n, 100) * sizeof(int));
    return (int)(fuzz_seen & 0x7fff);
}

void reverse(int* v, int n)
{
    size_t i, count = at_most(n, 100);

    for (i = 0; i < count / 2; i++) {
        int t = v[i];
        v[i] = v[count - 1 - i];
        v[count - 1 - i] = t;
    }
}

void names(int k, struct node* w)
{
    size_t i;

    for (i = 0; i < at_most(k, 4); i++) {
        w[i].value = (int)i;
        w[i].label = label_of((unsigned)i);
    }
}

void echo(str64 s)
{
    size_t i;

    for (i = 0; s && s[i]; i++)
        if (s[i] >= 'a' && s[i] <= 'z')
            s[i] = (char)(s[i] - 'a' + 'A');
}

void upper(name_t t) { echo(t); }

int bytesum(void* data, u_int n)
{
    if (data)
        fuzz_see(data, n);
    return (int)(fuzz_seen & 0x7fff);
}

int gather(void* buf, u_long size, u_long nm)
{
    u_long n = size * nm < 64 ? size * nm : 64;

    memset(buf, 'g', n);
    return (int)n;
}

int scatter(void* buf, u_long size, u_long nm)
{
    if (buf)
        fuzz_see(buf, size * nm);
    return (int)(fuzz_seen & 0x7fff);
}

void fixed(int v[4], quad q)
{
    int i;

    for (i = 0; i < 4; i++)
        q[i] = (int)((unsigned)v[i] * 2u);
}

enum_t shade(enum_t c, color_t d) { return (enum_t)((unsigned)c + (unsigned)d); }

union num raw(union num n) { return n; }

struct point move(struct point p, int dx)
{
    p.x = (int)((unsigned)p.x + (unsigned)dx);
    return p;
}

int divide(struct ratio r, int n, int d, int* v)
{
    if (r.a / r.b == 3 && r.u.three)
        fuzz_see(r.u.three, strlen(r.u.three));
    if (v)
        fuzz_see(v, at_most(n / d, 8) * sizeof(int));
    return r.a / r.b;
}

int shift(int k, void* bits, int m, int* low)
{
    if (bits)
        fuzz_see(bits, (size_t)1 << k);
    if (low)
        fuzz_see(low, (size_t)(m >> k) * sizeof(int));
    return k;
}

/* Every string of the array is filled to its bound. */
void labels(str64 a[3])
{
    int i;

    for (i = 0; i < 3; i++) {
        fuzz_see(a[i], strlen(a[i]));
        memset(a[i], 'l', 63);
        a[i][63] = 0;
    }
}
