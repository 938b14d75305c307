/* Helpers that the generated XDR routines, stubs and server code call: size
 * arithmetic that saturates instead of wrapping, the count checks of
 * bounded arrays, decoding and release of element arrays, and the
 * terminator checks of strings. One copy here serves every interface a
 * program links. */
#include <stdlib.h>
#include <string.h>

#include "velorin.h"

/* Sizes of the XDR code in 64 bits: an overflow, a negative value or a
 * division by zero gives a value that no 32-bit count reaches. */
unsigned long long vlrpc_size_add(unsigned long long a, unsigned long long b)
{
    return a + b < a ? ~0ULL : a + b;
}

unsigned long long vlrpc_size_sub(unsigned long long a, unsigned long long b)
{
    return a < b ? ~0ULL : a - b;
}

unsigned long long vlrpc_size_mul(unsigned long long a, unsigned long long b)
{
    return a != 0 && b > ~0ULL / a ? ~0ULL : a * b;
}

unsigned long long vlrpc_size_div(unsigned long long a, unsigned long long b)
{
    return b == 0 ? ~0ULL : a / b;
}

unsigned long long vlrpc_size_mod(unsigned long long a, unsigned long long b)
{
    return b == 0 ? ~0ULL : a % b;
}

u_int vlrpc_clamp(unsigned long long n, unsigned long long limit)
{
    if (n > limit)
        n = limit;
    return n > 0xffffffffULL ? 0xffffffffU : (u_int)n;
}

bool_t vlrpc_count_fits(unsigned long long n, unsigned long long bound, u_int* count)
{
    if (n > bound || n > 0xffffffffULL)
        return FALSE;
    *count = (u_int)n;
    return TRUE;
}

/* calloc checks the product and leaves the pages untouched until the
 * procedure writes them. */
void* vlrpc_alloc(unsigned long long n, size_t size)
{
    if (n > 0xffffffffULL)
        return 0;
    return calloc(n ? (size_t)n : 1, size);
}

void vlrpc_release(char** array, u_int count, u_int size, xdrproc_t element)
{
    u_int i;
    if (element != 0)
        for (i = 0; i < count; i++)
            xdr_free(element, *array + (size_t)i * size);
    free(*array);
    *array = 0;
}

/* Storage of its own grows as the elements arrive, at most doubling, so
 * that a count sent without its data takes no more memory than what came. */
bool_t vlrpc_decode_elements(XDR* xdrs, char** array, u_int count, u_int size, xdrproc_t element)
{
    int own = *array == 0;
    u_int room = count, done = 0;
    bool_t ok = TRUE;
    if (own) {
        room = count < 1024 ? count : 1024;
        if ((*array = (char*)calloc((size_t)room + 1, size)) == 0)
            return FALSE;
    }
    while (ok && done < count) {
        if (done == room) {
            u_int more = count - room < room ? count - room : room;
            char* grown = 0;
            if ((size_t)room + more + 1 <= ((size_t)-1) / size)
                grown = (char*)realloc(*array, ((size_t)room + more + 1) * size);
            ok = grown != 0;
            if (ok) {
                memset(grown + ((size_t)room + 1) * size, 0, (size_t)more * size);
                *array = grown;
                room += more;
            }
        } else if (element == 0) {
            ok = xdr_opaque(xdrs, *array + done, room - done);
            if (ok)
                done = room;
        } else {
            ok = (*element)(xdrs, *array + (size_t)done * size);
            done++;
        }
    }
    if (!ok && own)
        vlrpc_release(array, done, size, element);
    return ok;
}

bool_t vlrpc_terminated(char* bytes, u_int count, u_int room)
{
    if (count < room) {
        bytes[count] = 0;
        return TRUE;
    }
    if (count == 0 || memchr(bytes, 0, count) != 0)
        return count > 0;
    bytes[count - 1] = 0;
    return FALSE;
}

int vlrpc_blank(const char* array, u_int n, u_int size)
{
    size_t i, total = (size_t)n * size;
    if (array == 0)
        return 0;
    for (i = 0; i < total; i++)
        if (array[i] != 0)
            return 0;
    return 1;
}

void vlrpc_clear(char* array, u_int n, u_int size, xdrproc_t element)
{
    u_int i;
    for (i = 0; i < n; i++)
        xdr_free(element, array + (size_t)i * size);
    memset(array, 0, (size_t)n * size);
}
