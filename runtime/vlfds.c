/* The program's descriptor handlers and the walks over descriptor sets
 * that the loop, admission and the process models share. Only the service
 * descriptors and those with handlers are ever set in the loop's sets, so
 * every walk stops above the highest of them (the RPC library keeps the
 * highest service descriptor in svc_maxfd) instead of covering the table. */
#include <stdlib.h>
#include <unistd.h>
#include <sys/resource.h>

#include "vlsrv.h"

/* One entry per descriptor number below VL_FD_CAPACITY; null until
 * vl_serv_init. */
struct vlsrv_io_handlers* vlsrv_handler_table = NULL;
/* No descriptor at or above this one has a handler: the scans of every
 * pass stop here instead of walking the whole table. Raised by every
 * registration, lowered when the highest handlers are removed. */
int vlsrv_handler_limit = 0;
int vlsrv_wait_stale = 1;

void vlsrv_forget_wait(void) { vlsrv_wait_stale = 1; }

int vl_getdtablesize(void)
{
    struct rlimit limit;

    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return VL_FD_CAPACITY;
    /* A higher (or unlimited) soft limit is cut to what the handler table
     * and the descriptor sets can hold. */
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > VL_FD_CAPACITY)
        return VL_FD_CAPACITY;
    return (int)limit.rlim_cur;
}

/* The handler entry of fd, or null when fd is outside the table or the
 * table does not exist yet. */
static struct vlsrv_io_handlers* handlers_of(int fd)
{
    if (vlsrv_handler_table == NULL || !vlsrv_fd_in_capacity(fd))
        return NULL;
    return &vlsrv_handler_table[fd];
}

/* Keeps the handler limit just above the highest descriptor with a
 * handler after the entry of fd has changed. */
static void note_handler_change(int fd)
{
    vlsrv_forget_wait();
    if (vlsrv_has_handler(&vlsrv_handler_table[fd])) {
        if (fd >= vlsrv_handler_limit)
            vlsrv_handler_limit = fd + 1;
        return;
    }
    while (vlsrv_handler_limit > 0 &&
           !vlsrv_has_handler(&vlsrv_handler_table[vlsrv_handler_limit - 1]))
        vlsrv_handler_limit--;
}

void vl_serv_input_handler(int fd, void (*handler)(int fd))
{
    struct vlsrv_io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->input = handler;
        note_handler_change(fd);
    }
}

void vl_serv_output_handler(int fd, void (*handler)(int fd))
{
    struct vlsrv_io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->output = handler;
        note_handler_change(fd);
    }
}

void vl_serv_exception_handler(int fd, void (*handler)(int fd))
{
    struct vlsrv_io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->exception = handler;
        note_handler_change(fd);
    }
}

/* The bits of word w of a set that stand for descriptors below n. */
__fd_mask vlsrv_bits_below(int w, int n)
{
    int left = n - w * FD_WORD_BITS;

    if (left >= FD_WORD_BITS)
        return (__fd_mask)~0UL;
    return left <= 0 ? 0 : (__fd_mask)((1UL << left) - 1);
}

/* Whether any descriptor is set in the first words of set. */
int vlsrv_any_in_words(const fd_set* set, int words)
{
    int w;

    for (w = 0; w < words; w++)
        if (FD_WORDS(set)[w] != 0)
            return 1;
    return 0;
}

/* The highest descriptor below n set in set, or -1. */
int vlsrv_fdset_highest_below(const fd_set* set, int n)
{
    int fd;

    for (fd = n - 1; fd >= 0; fd--)
        if (FD_ISSET(fd, set))
            return fd;
    return -1;
}

/* to := the service descriptors below n, less those in left_out. */
void vlsrv_copy_service_fds(fd_set* to, int n, const fd_set* left_out)
{
    int limit = vlsrv_service_bound(n);
    int fd;

    FD_ZERO(to);
    for (fd = 0; fd < limit; fd++)
        if (FD_ISSET(fd, &svc_fdset) && !FD_ISSET(fd, left_out))
            FD_SET(fd, to);
}

int vlsrv_fdset_empty_below(const fd_set* set, int n)
{
    return vlsrv_fdset_highest_below(set, n) < 0;
}

int vl_fdset_empty(fd_set* set) { return vlsrv_fdset_empty_below(set, vl_getdtablesize()); }

void vl_keep_master_fd(fd_set* set, int fd)
{
    int keep = vlsrv_fd_in_capacity(fd) && FD_ISSET(fd, set);

    FD_ZERO(set);
    if (keep)
        FD_SET(fd, set);
}

/* Closes every descriptor of which, except keep, and removes it from the
 * RPC service set. */
void vlsrv_close_service_fds(const fd_set* which, int keep)
{
    int n = vl_getdtablesize();
    int fd;

    for (fd = 0; fd < n; fd++) {
        if (fd != keep && FD_ISSET(fd, which)) {
            close(fd);
            FD_CLR(fd, &svc_fdset);
        }
    }
}

void close_fds(int fd)
{
    fd_set service = svc_fdset;

    vlsrv_close_service_fds(&service, fd);
}
