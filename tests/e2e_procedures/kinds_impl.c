/*
 * Server procedures of the kinds interface, written the way a programmer
 * fills in the implementation template.
 */
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "kinds.h"

static int calls_counted;

int add(int a, int b) { return a + b; }

double scale(double d, short s, u_char c, long l) { return d * s + c + l; }

void twice(int* v) { *v *= 2; }

void split(int n, int* half, int* rest)
{
    *half = n / 2;
    *rest = n - n / 2;
}

int length(str256 s) { return s ? (int)strlen(s) : -1; }

/* A client may send a null string. */
void upper(str256 s, str256 r)
{
    size_t i;
    for (i = 0; s && s[i]; i++)
        r[i] = toupper((unsigned char)s[i]);
    r[i] = 0;
}

struct point movept(struct point p, int dx)
{
    p.x += dx;
    return p;
}

void mirror(struct point* p)
{
    int x = p->x;
    p->x = p->y;
    p->y = x;
}

int sum(int* vals, int n)
{
    int total = 0, i;
    for (i = 0; i < n; i++)
        total += vals[i];
    return total;
}

void fill(int* vals, int n)
{
    int i;
    for (i = 0; i < n; i++)
        vals[i] = i * i;
}

void reverse(int* vals, int n)
{
    int i;
    for (i = 0; i < n / 2; i++) {
        int v = vals[i];
        vals[i] = vals[n - 1 - i];
        vals[n - 1 - i] = v;
    }
}

int fixedsum(int v[8]) { return sum(v, 8); }

void fixedsquare(int v[4])
{
    int i;
    for (i = 0; i < 4; i++)
        v[i] *= v[i];
}

void fixedcount(int v[4])
{
    int i;
    for (i = 0; i < 4; i++)
        v[i] = i + 1;
}

int bytesum(void* data, int n)
{
    const unsigned char* bytes = data;
    int total = 0, i;
    for (i = 0; i < n; i++)
        total += bytes[i];
    return total;
}

int tagsum(char tag[16], int n) { return bytesum(tag, n); }

int listsum(NODE* head)
{
    int total = 0;
    for (; head; head = head->next)
        total += head->value;
    return total;
}

/* The head is the reply's own storage; the nodes behind it are allocated
 * here and released with the reply by the generated release code. */
void listmake(int n, NODE* head)
{
    NODE* last = head;
    int i;
    head->value = n > 0 ? 1 : 0;
    for (i = 2; i <= n; i++) {
        last->next = calloc(1, sizeof *last->next);
        last = last->next;
        last->value = i;
    }
}

int counter() { return ++calls_counted; }

void reset() { calls_counted = 0; }
