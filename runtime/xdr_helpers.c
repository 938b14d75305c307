/* Helpers that the generated XDR routines, stubs and server code call: size
 * arithmetic that saturates instead of wrapping, the count checks of
 * bounded arrays, decoding and release of element arrays, and the
 * terminator checks of strings. One copy here serves every interface a
 * program links. */
#include <fcntl.h>
#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "velorin.h"

/* Sizes of the XDR code in 64 bits: an overflow, a negative value or a
 * division by zero gives a value that no 32-bit count reaches. Such a value
 * has its top bit set (a negative int converted, or the saturated value),
 * and every operation keeps it: a quotient, a difference or a shift of
 * such values would otherwise come out small. */
unsigned long long vlrpc_size_add(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || a + b < a ? ~0ULL : a + b;
}

unsigned long long vlrpc_size_sub(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || a < b ? ~0ULL : a - b;
}

unsigned long long vlrpc_size_mul(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || (a != 0 && b > ~0ULL / a) ? ~0ULL : a * b;
}

unsigned long long vlrpc_size_div(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || b == 0 ? ~0ULL : a / b;
}

unsigned long long vlrpc_size_mod(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || b == 0 ? ~0ULL : a % b;
}

unsigned long long vlrpc_size_shl(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || b >= 64 || a > ~0ULL >> b ? ~0ULL : a << b;
}

unsigned long long vlrpc_size_shr(unsigned long long a, unsigned long long b)
{
    return (a | b) >> 63 || b >= 64 ? ~0ULL : a >> b;
}

/* Values of expressions over decoded data, as ints in 64 bits: what cannot
 * be computed gives the one value that no int takes, which every later
 * operation keeps. */
long long vlrpc_value_none(void) { return -0x7fffffffffffffffLL - 1; }

int vlrpc_value_unknown(long long v) { return v == vlrpc_value_none(); }

int vlrpc_value_operand(long long v) { return v >= -0xffffffffLL && v <= 0xffffffffLL; }

long long vlrpc_value_int(long long v)
{
    return v < -0x80000000LL || v > 0x7fffffffLL ? vlrpc_value_none() : v;
}

long long vlrpc_value_add(long long a, long long b)
{
    return vlrpc_value_operand(a) && vlrpc_value_operand(b) ? vlrpc_value_int(a + b)
                                                            : vlrpc_value_none();
}

long long vlrpc_value_sub(long long a, long long b)
{
    return vlrpc_value_operand(a) && vlrpc_value_operand(b) ? vlrpc_value_int(a - b)
                                                            : vlrpc_value_none();
}

long long vlrpc_value_mul(long long a, long long b)
{
    if (!vlrpc_value_operand(a) || !vlrpc_value_operand(b))
        return vlrpc_value_none();
    if (a == 0 || b == 0)
        return 0;
    if (a < -0x80000000LL || a > 0x80000000LL || b < -0x80000000LL || b > 0x80000000LL)
        return vlrpc_value_none();
    return vlrpc_value_int(a * b);
}

long long vlrpc_value_div(long long a, long long b)
{
    return vlrpc_value_operand(a) && vlrpc_value_operand(b) && b != 0 ? vlrpc_value_int(a / b)
                                                                      : vlrpc_value_none();
}

long long vlrpc_value_mod(long long a, long long b)
{
    return vlrpc_value_unknown(vlrpc_value_div(a, b)) ? vlrpc_value_none() : a % b;
}

long long vlrpc_value_shl(long long a, long long b)
{
    return vlrpc_value_operand(a) && a >= 0 && b >= 0 && b < 32 ? vlrpc_value_int(a << b)
                                                                : vlrpc_value_none();
}

long long vlrpc_value_shr(long long a, long long b)
{
    if (!vlrpc_value_operand(a) || b < 0 || b >= 32)
        return vlrpc_value_none();
    return a < 0 ? ~(~a >> b) : a >> b;
}

long long vlrpc_value_neg(long long a)
{
    return vlrpc_value_operand(a) ? vlrpc_value_int(-a) : vlrpc_value_none();
}

long long vlrpc_value_not(long long a) { return vlrpc_value_operand(a) ? ~a : vlrpc_value_none(); }

/* The operators that C cannot trap on: only an operand that could not be
 * computed is kept. */
#define VLRPC_NEUTRAL_VALUE(name, op)                                                              \
    long long name(long long a, long long b)                                                       \
    {                                                                                              \
        return vlrpc_value_operand(a) && vlrpc_value_operand(b) ? (long long)(a op b)              \
                                                                : vlrpc_value_none();              \
    }
VLRPC_NEUTRAL_VALUE(vlrpc_value_bitand, &)
VLRPC_NEUTRAL_VALUE(vlrpc_value_bitor, |)
VLRPC_NEUTRAL_VALUE(vlrpc_value_bitxor, ^)
VLRPC_NEUTRAL_VALUE(vlrpc_value_lt, <)
VLRPC_NEUTRAL_VALUE(vlrpc_value_gt, >)
VLRPC_NEUTRAL_VALUE(vlrpc_value_le, <=)
VLRPC_NEUTRAL_VALUE(vlrpc_value_ge, >=)
VLRPC_NEUTRAL_VALUE(vlrpc_value_eq, ==)
VLRPC_NEUTRAL_VALUE(vlrpc_value_ne, !=)
VLRPC_NEUTRAL_VALUE(vlrpc_value_and, &&)
VLRPC_NEUTRAL_VALUE(vlrpc_value_or, ||)

unsigned long long vlrpc_value_size(long long v)
{
    return vlrpc_value_unknown(v) ? ~0ULL : (unsigned long long)v;
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

/* Result storage costs what the call puts into it, not its bound.
 *
 * vlrpc_free keeps a few blocks and vlrpc_alloc hands one of them out
 * again, so no call makes a heap round trip (nor, for a large bound, a
 * round trip of mappings, whose pages the kernel would have to find and
 * clear again on every call). A kept block is cleared over the size asked
 * for before it is handed out: a small one whole; of a large one only the
 * pages that memory holds (present, or swapped out), as the pages of the
 * process's page map say, and of those only the ones that are not zero
 * already; an anonymous page the process never touched reads as zeros.
 * Without a page map the whole size is cleared. Every block is an ordinary
 * malloc block, so free may release it as well. */
enum { vlrpc_kept_limit = 8, vlrpc_small_clear = 8192 };

/* The kept blocks are the first kept_count entries, in no order. */
static void* kept_blocks[vlrpc_kept_limit];
static size_t kept_sizes[vlrpc_kept_limit];
static int kept_count;

/* The descriptor of this process's page map: opened again in a forked
 * child, whose map is its own; -1 when there is none to read. */
static int page_map(void)
{
    static int fd = -1;
    static pid_t owner = 0;
    pid_t self = getpid();
    if (owner != self) {
        if (fd >= 0)
            close(fd);
        fd = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
        owner = self;
    }
    return fd;
}

/* Compared a piece at a time with memcmp, whose vector loop reads a page
 * in a fraction of the instructions of a loop over its words: a block that
 * once held a large call is read over all its pages on every later one. */
static int page_is_zero(const unsigned char* page, size_t size)
{
    static const unsigned char zeros[4096];
    size_t at, piece;
    for (at = 0; at < size; at += piece) {
        piece = size - at < sizeof zeros ? size - at : sizeof zeros;
        if (memcmp(page + at, zeros, piece) != 0)
            return 0;
    }
    return 1;
}

/* Clears the whole pages from first to end that memory holds; 0 when the
 * page map cannot say which. */
static int clear_held_pages(unsigned char* first, unsigned char* end, size_t page)
{
    enum { batch = 512 };
    unsigned long long entries[batch];
    int fd = page_map();
    size_t total = (size_t)(end - first) / page, done = 0, i;
    if (fd < 0)
        return 0;
    while (done < total) {
        size_t count = total - done < batch ? total - done : batch;
        off_t at = (off_t)(((uintptr_t)first / page + done) * sizeof entries[0]);
        if (pread(fd, entries, count * sizeof entries[0], at) != (ssize_t)(count * sizeof entries[0]))
            return 0;
        for (i = 0; i < count; i++) {
            unsigned char* p = first + (done + i) * page;
            /* bit 63: present, bit 62: swapped out */
            if ((entries[i] >> 62) != 0 && !page_is_zero(p, page))
                memset(p, 0, page);
        }
        done += count;
    }
    return 1;
}

/* Out of line: its page-map buffer would otherwise give every small
 * allocation a frame of kilobytes to set up. */
static void __attribute__((noinline)) clear_large_kept(unsigned char* block, size_t bytes)
{
    size_t page;
    unsigned char *first, *end;
    page = (size_t)sysconf(_SC_PAGESIZE);
    first = (unsigned char*)(((uintptr_t)block + page - 1) / page * page);
    end = (unsigned char*)(((uintptr_t)block + bytes) / page * page);
    if (end <= first || !clear_held_pages(first, end, page)) {
        memset(block, 0, bytes);
        return;
    }
    memset(block, 0, (size_t)(first - block));
    memset(end, 0, (size_t)(block + bytes - end));
}

static void clear_kept(unsigned char* block, size_t bytes)
{
    if (bytes <= vlrpc_small_clear)
        memset(block, 0, bytes);
    else
        clear_large_kept(block, bytes);
}

/* Whether a block handed out is cleared at once or by its taker. */
enum { vlrpc_cleared, vlrpc_uncleared };

/* The smallest kept block of at least bytes, taken off the list. */
static void* take_kept_block(size_t bytes, int clearing)
{
    int i, best = -1;
    void* block;
    for (i = 0; i < kept_count; i++)
        if (kept_sizes[i] >= bytes && (best < 0 || kept_sizes[i] < kept_sizes[best]))
            best = i;
    if (best < 0)
        return 0;
    block = kept_blocks[best];
    kept_count--;
    kept_blocks[best] = kept_blocks[kept_count];
    kept_sizes[best] = kept_sizes[kept_count];
    if (clearing == vlrpc_cleared)
        clear_kept((unsigned char*)block, bytes);
    return block;
}

static void* allocate(unsigned long long n, size_t size, int clearing)
{
    void* block;
    if (n > 0xffffffffULL)
        return 0;
    if (n == 0)
        n = 1;
    if (size != 0 && n > ((size_t)-1) / size)
        return 0;
    if ((block = take_kept_block((size_t)n * size, clearing)) != 0)
        return block;
    return calloc((size_t)n, size);
}

void* vlrpc_alloc(unsigned long long n, size_t size) { return allocate(n, size, vlrpc_cleared); }

void* vlrpc_alloc_room(unsigned long long n, size_t size)
{
    return allocate(n, size, vlrpc_uncleared);
}

void vlrpc_clear_room(void* block, unsigned long long from, unsigned long long n, size_t size)
{
    unsigned char* start;
    if (block == 0 || from >= n)
        return;
    start = (unsigned char*)block + (size_t)from * size;
    clear_kept(start, (size_t)(n - from) * size);
}

void vlrpc_free(void* block)
{
    if (block != 0 && kept_count < vlrpc_kept_limit) {
        kept_blocks[kept_count] = block;
        kept_sizes[kept_count] = malloc_usable_size(block);
        kept_count++;
        return;
    }
    free(block);
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
 * that a count sent without its data takes no more memory than what came.
 * Elements decoded by a filter find zeroed storage (a filter takes a
 * pointer it finds for storage of the caller's); raw bytes overwrite all of
 * theirs, so only the terminator behind them is cleared. */
bool_t vlrpc_decode_elements(XDR* xdrs, char** array, u_int count, u_int size, xdrproc_t element)
{
    int own = *array == 0;
    u_int room = count, done = 0;
    bool_t ok = TRUE;
    if (own) {
        room = count < 1024 ? count : 1024;
        if (element == 0 && (*array = (char*)malloc(((size_t)room + 1) * size)) != 0)
            memset(*array + (size_t)room * size, 0, size);
        else if (element != 0)
            *array = (char*)calloc((size_t)room + 1, size);
        if (*array == 0)
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
                if (element == 0)
                    memset(grown + ((size_t)room + more) * size, 0, size);
                else
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
