/* State and helpers that the files of the server runtime share: private to
 * the runtime's sources, not installed. Every name here starts with vlsrv_
 * so that none meets a name of the program linked with the runtime.
 *
 * vlfds.c    the handler table and the walks over descriptor sets
 * vladmit.c  admission of connections waiting on listening sockets
 * vlloop.c   the main loop and the single pass
 * vlfork.c   fork per connection, fork per call, reaping of children
 * vlasync.c  the asynchronous mode and its watcher
 * libvlrpc.c execution of one call, start-up, signal set-up
 * vlsock.c   server sockets on a fixed port
 * The connection transport (vlconn.c, vlconn.h) is a layer below these:
 * it knows nothing of them. */
#ifndef VLSRV_H
#define VLSRV_H

#include <signal.h>
#include <sys/select.h>
#include <sys/time.h>
#include <sys/types.h>

#include "velorin.h"

/* ---- Descriptor handlers and descriptor sets (vlfds.c) ---- */

/* Descriptors the handler table and every fd_set can hold. */
#define VL_FD_CAPACITY FD_SETSIZE

/* The walks over the loop's sets go a word of the set at a time. */
#define FD_WORD_BITS ((int)(8 * sizeof(__fd_mask)))
#define FD_WORDS(set) (__FDS_BITS(set))

struct vlsrv_io_handlers {
    void (*input)(int fd);
    void (*output)(int fd);
    void (*exception)(int fd);
};

/* One entry per descriptor number below VL_FD_CAPACITY; null until
 * vl_serv_init. */
extern struct vlsrv_io_handlers* vlsrv_handler_table;
/* No descriptor at or above this one has a handler: the scans of every
 * pass stop here instead of walking the whole table. */
extern int vlsrv_handler_limit;
/* Non-zero when what the loop waits on must be made again: the handlers
 * or the paused listeners have changed. */
extern int vlsrv_wait_stale;

void vlsrv_forget_wait(void);
static inline int vlsrv_fd_in_capacity(int fd) { return fd >= 0 && fd < VL_FD_CAPACITY; }

static inline int vlsrv_has_handler(const struct vlsrv_io_handlers* entry)
{
    return entry->input != NULL || entry->output != NULL || entry->exception != NULL;
}

/* Words of a set that hold the descriptors below nfds. */
static inline int vlsrv_words_below(int nfds) { return (nfds + FD_WORD_BITS - 1) / FD_WORD_BITS; }

/* The bits of word w of a set that stand for descriptors below n. */
__fd_mask vlsrv_bits_below(int w, int n);
/* Whether any descriptor is set in the first words of set. */
int vlsrv_any_in_words(const fd_set* set, int words);
/* One above the highest descriptor below n that may be set in svc_fdset. */
static inline int vlsrv_service_bound(int n) { return svc_maxfd + 1 < n ? svc_maxfd + 1 : n; }
/* The highest descriptor below n set in set, or -1. */
int vlsrv_fdset_highest_below(const fd_set* set, int n);
/* to := the service descriptors below n, less those in left_out. */
void vlsrv_copy_service_fds(fd_set* to, int n, const fd_set* left_out);
int vlsrv_fdset_empty_below(const fd_set* set, int n);
/* Closes every descriptor of which, except keep, and removes it from the
 * RPC service set. */
void vlsrv_close_service_fds(const fd_set* which, int keep);

/* The lower of two descriptor bounds. */
static inline int vlsrv_bound(int a, int b) { return a < b ? a : b; }

/* The earlier of two limits of a wait, either of which may be null (no
 * limit). */
static inline struct timeval* vlsrv_earlier(struct timeval* a, struct timeval* b)
{
    if (a == NULL)
        return b;
    if (b == NULL)
        return a;
    return timercmp(a, b, <) ? a : b;
}

/* ---- Connections waiting on listening sockets (vladmit.c) ---- */

/* Leaves listener out of every wait for a short pause: its connection
 * cannot be taken for now. */
void vlsrv_pause_listener(int fd);
/* Non-zero while a listener is paused. */
extern int vlsrv_listener_paused;
/* The time left of the pause, in wait; null when the pause is over, which
 * then ends it. */
struct timeval* vlsrv_pause_time_left(struct timeval* wait);
/* As vlsrv_pause_time_left, and null at once when no listener is paused:
 * inline, since it is looked at before every wait and mostly nothing is
 * paused. */
static inline struct timeval* vlsrv_pause_left(struct timeval* wait)
{
    return vlsrv_listener_paused ? vlsrv_pause_time_left(wait) : NULL;
}
/* Reports what failed and why, unless *condition shows that this run of
 * failures was reported already; the next success clears it. */
void vlsrv_report_once(int* condition, const char* what, int error);
/* Clears in rd the ready listening descriptors whose connections cannot
 * be taken in this pass. */
void vlsrv_admit_connections(fd_set* rd, int words);
/* Takes the connections waiting on the ready listening descriptors of rd
 * into the runtime's own transport and clears those. */
void vlsrv_take_connections(fd_set* rd, int words);
/* The service descriptors to wait on: all but the paused listeners and
 * the connections that are not read now. */
void vlsrv_copy_watched_service_fds(fd_set* to, int n);
/* Notes which service descriptors listen and sets those in listening;
 * whether any does. */
int vlsrv_classify_service_fds(const fd_set* service, int nfds, fd_set* listening);

/* ---- Process models (vlfork.c) and asynchronous mode (vlasync.c) ---- */

/* Fork on connection for the master the loop was given; non-zero when a
 * master's request was handled (in this process or a child). */
int vlsrv_fork_for_request(fd_set* rd, SVCXPRT* tcp_master, SVCXPRT* udp_master);
/* Forks for a call on xprt: 0 in the child, the child's pid or -1 (after
 * reporting why) in the parent. A connection of the runtime's own serves
 * no further call until the child has ended. */
pid_t vlsrv_fork_for_call(SVCXPRT* xprt);
/* Tells the asynchronous mode that child pid has ended with status; called
 * by the reaper for every child it waits for. */
void vlsrv_note_child_end(pid_t pid, int status);

/* ---- Start-up and signal set-up (libvlrpc.c) ---- */

/* Non-zero until vl_serv_init has run. */
extern int vlsrv_uninitialised;

/* Installs handler for sig, with the flags given and no signal blocked
 * beyond sig itself. With info_handler instead of handler (the other one
 * null), the handler gets the signal's details (SA_SIGINFO). */
void vlsrv_install_signal_handler(int sig, void (*handler)(int),
                                  void (*info_handler)(int, siginfo_t*, void*), int flags);

#endif /* VLSRV_H */
