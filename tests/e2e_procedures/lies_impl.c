/* Server of the lies interface: each procedure reads and writes exactly what
 * its sizes promise, so that a request decoded against those sizes would
 * make it read or write past a buffer (which the sanitizer build sees). */
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "lies.h"

int fill(int n, int* v)
{
    int i;
    for (i = 0; i < n; i++)
        v[i] = i;
    return n;
}

int fillnamed(int k, struct named* w)
{
    int i;
    for (i = 0; i < k && i < 4; i++) {
        w[i].name = strdup("ab");
        w[i].id = i;
    }
    return k;
}

void name(str16 s) { strcpy(s, "server"); }

void echo(str16 s, c16 c)
{
    size_t i;
    for (i = 0; s[i]; i++)
        s[i] = toupper((unsigned char)s[i]);
    for (i = 0; c[i]; i++)
        c[i] = toupper((unsigned char)c[i]);
}

int put(void* ptr, u_long size, u_long nm)
{
    const unsigned char* bytes = ptr;
    unsigned long i, sum = 0;
    for (i = 0; i < size * nm; i++)
        sum += bytes[i];
    return (int)sum;
}

int get(void* ptr, u_long size, u_long nm)
{
    if (size * nm == 0)
        return 0;
    ((char*)ptr)[0] = 'g';
    return 1;
}

int swapheld(struct held* h) { return h->kind; }

int divided(struct ratio r) { return r.a / r.b; }

int part(int n, int d, int* v)
{
    int i, sum = 0;
    for (i = 0; i < n / d && i < 8; i++)
        sum += v[i];
    return sum;
}

int shifted(int k, void* bits, int m, int* low)
{
    return ((unsigned char*)bits)[(1 << k) - 1] + (m >> k > 0 ? low[(m >> k) - 1] : 0);
}

/* Each string as long as its room allows but for a margin. */
void names(str64 a[3])
{
    int i;
    for (i = 0; i < 3; i++) {
        memset(a[i], 'a' + i, 40);
        a[i][40] = 0;
    }
}
