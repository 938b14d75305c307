/* Server half of the runtime: execution of one call (in place or in a
 * forked child), the main loop over the RPC service descriptors and the
 * program's own descriptor handlers, server sockets on a fixed port, and
 * the process models: fork per connection, fork per call, the
 * asynchronous mode and the reaping of ended children. No thread is ever
 * started: every form of concurrency is a forked process. */
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>

#include "velorin.h"
#include "vlconn.h"

/* rpc_control; the header needs the types of rpc.h before it. */
#include <rpc/rpc_com.h>

/* ------------------------------------------------------------------ */
/* Call execution                                                      */
/* ------------------------------------------------------------------ */

/* Sends the reply; a reply that cannot be sent is answered with a system
 * error so that the client learns of it. */
static void send_reply(SVCXPRT* xprt, xdrproc_t xdr_back, caddr_t pback)
{
    if (!svc_sendreply(xprt, xdr_back, pback))
        svcerr_systemerr(xprt);
}

/* Releases what decoding allocated inside the argument record. */
static void free_arguments(const vlrpc_call_struct* info)
{
    if (!svc_freeargs(info->ptransport, info->xdr_over, info->pover)) {
        fprintf(stderr, "Unable to free arguments.\n");
        exit(1);
    }
}

static void zero_record(caddr_t record, int size)
{
    if (size > 0)
        memset(record, 0, (size_t)size);
}

/* Runs a call whose arguments are decoded: reply (before or after the
 * call), the call itself, the release of the result and the arguments. */
static void vl_rpc_call_2(vlrpc_call_struct* info)
{
    if (info->reply_now) {
        zero_record(info->pback, info->back_size);
        send_reply(info->ptransport, info->xdr_back, info->pback);
    }
    /* A non-null result: the call could not run (a generated wrapper whose
     * result buffers could not be allocated). The client learns of it as a
     * system error instead of a reply that holds nothing. */
    if (info->local(info->pover, info->pback) != 0) {
        if (!info->reply_now)
            svcerr_systemerr(info->ptransport);
    } else if (!info->reply_now) {
        send_reply(info->ptransport, info->xdr_back, info->pback);
    }
    if (info->free_after != 0)
        info->free_after(info->pback);
    free_arguments(info);
}

void vl_serv_call(vlrpc_call_struct* info)
{
    pid_t pid;

    zero_record(info->pover, info->over_size);
    if (!svc_getargs(info->ptransport, info->xdr_over, info->pover)) {
        svcerr_decode(info->ptransport);
        /* A decode that failed half-way may have allocated buffers inside
         * the record; since the record was zeroed first, the free pass
         * releases exactly those. Malformed requests thus cost nothing. */
        (void)svc_freeargs(info->ptransport, info->xdr_over, info->pover);
        return;
    }
    if (info->mt_on_call == 0) {
        vl_rpc_call_2(info);
        return;
    }
    pid = fork();
    if (pid == 0) {
        vl_rpc_call_2(info);
        exit(0);
    }
    if (pid < 0) {
        perror("fork");
        /* The call cannot run: tell the client instead of letting it
         * wait for its timeout. */
        svcerr_systemerr(info->ptransport);
    }
    free_arguments(info);
}

/* ------------------------------------------------------------------ */
/* Descriptor table, handlers and descriptor sets                      */
/* ------------------------------------------------------------------ */

/* Descriptors the handler table and every fd_set can hold. */
#define VL_FD_CAPACITY FD_SETSIZE

struct io_handlers {
    void (*input)(int fd);
    void (*output)(int fd);
    void (*exception)(int fd);
};

/* One entry per descriptor number below VL_FD_CAPACITY; null until
 * vl_serv_init. */
static struct io_handlers* ioh_table = NULL;
/* No descriptor at or above this one has a handler: the scans of every
 * pass stop here instead of walking the whole table. Raised by every
 * registration, lowered when the highest handlers are removed. */
static int handler_limit = 0;
/* Non-zero until vl_serv_init has run. */
static int exit_next = 1;

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

static int fd_in_capacity(int fd) { return fd >= 0 && fd < VL_FD_CAPACITY; }

static int has_handler(const struct io_handlers* entry)
{
    return entry->input != NULL || entry->output != NULL || entry->exception != NULL;
}

/* The handler entry of fd, or null when fd is outside the table or the
 * table does not exist yet. */
static struct io_handlers* handlers_of(int fd)
{
    if (ioh_table == NULL || !fd_in_capacity(fd))
        return NULL;
    return &ioh_table[fd];
}

/* Keeps handler_limit just above the highest descriptor with a handler
 * after the entry of fd has changed. */
static void forget_watch(void);

static void note_handler_change(int fd)
{
    forget_watch();
    if (has_handler(&ioh_table[fd])) {
        if (fd >= handler_limit)
            handler_limit = fd + 1;
        return;
    }
    while (handler_limit > 0 && !has_handler(&ioh_table[handler_limit - 1]))
        handler_limit--;
}

void vl_serv_input_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->input = handler;
        note_handler_change(fd);
    }
}

void vl_serv_output_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->output = handler;
        note_handler_change(fd);
    }
}

void vl_serv_exception_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers* entry = handlers_of(fd);

    if (entry != NULL) {
        entry->exception = handler;
        note_handler_change(fd);
    }
}

/* Only the service descriptors and those with handlers are ever set in
 * the loop's sets, so every walk stops above the highest of them (the RPC
 * library keeps the highest service descriptor in svc_maxfd) instead of
 * covering the table. The walks of every pass go a word of the set at a
 * time. */

#define FD_WORD_BITS ((int)(8 * sizeof(__fd_mask)))
#define FD_WORDS(set) (__FDS_BITS(set))

/* Words of a set that hold the descriptors below nfds. */
static int words_below(int nfds) { return (nfds + FD_WORD_BITS - 1) / FD_WORD_BITS; }

/* The bits of word w of a set that stand for descriptors below n. */
static __fd_mask bits_below(int w, int n)
{
    int left = n - w * FD_WORD_BITS;

    if (left >= FD_WORD_BITS)
        return (__fd_mask)~0UL;
    return left <= 0 ? 0 : (__fd_mask)((1UL << left) - 1);
}

/* Whether any descriptor is set in the first words of set. */
static int any_in_words(const fd_set* set, int words)
{
    int w;

    for (w = 0; w < words; w++)
        if (FD_WORDS(set)[w] != 0)
            return 1;
    return 0;
}

/* One above the highest descriptor below n that may be set in svc_fdset. */
static int service_bound(int n) { return svc_maxfd + 1 < n ? svc_maxfd + 1 : n; }

/* The highest descriptor below n set in set, or -1. */
static int fdset_highest_below(const fd_set* set, int n)
{
    int fd;

    for (fd = n - 1; fd >= 0; fd--)
        if (FD_ISSET(fd, set))
            return fd;
    return -1;
}

/* to := the service descriptors below n, less those in left_out. */
static void copy_service_fds(fd_set* to, int n, const fd_set* left_out)
{
    int limit = service_bound(n);
    int fd;

    FD_ZERO(to);
    for (fd = 0; fd < limit; fd++)
        if (FD_ISSET(fd, &svc_fdset) && !FD_ISSET(fd, left_out))
            FD_SET(fd, to);
}

static int fdset_empty_below(const fd_set* set, int n) { return fdset_highest_below(set, n) < 0; }

int vl_fdset_empty(fd_set* set) { return fdset_empty_below(set, vl_getdtablesize()); }

void vl_keep_master_fd(fd_set* set, int fd)
{
    int keep = fd_in_capacity(fd) && FD_ISSET(fd, set);

    FD_ZERO(set);
    if (keep)
        FD_SET(fd, set);
}

/* Closes every descriptor of which, except keep, and removes it from the
 * RPC service set. */
static void close_service_fds(const fd_set* which, int keep)
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

    close_service_fds(&service, fd);
}

/* The lower of two descriptor bounds. */
static int bound(int a, int b) { return a < b ? a : b; }

/* What the loop waits on, kept from one pass to the next and made again
 * only when something it is made of has changed: the service descriptors
 * (svc_fdset and svc_maxfd, which the RPC library changes without telling,
 * compared with the copy taken: a word or two), the handlers, the paused
 * listeners, or the table size. */
static struct {
    int valid;
    int table;       /* the table size it was made for */
    int service_top; /* svc_maxfd then */
    fd_set service;  /* svc_fdset then, below the table size */
    int service_nfds;
    /* The words of svc_fdset that the copy covers, and their bits below
     * the table size. */
    int service_words;
    __fd_mask service_mask[FD_SETSIZE / (8 * sizeof(__fd_mask))];
    fd_set rd, wr, ex;
    int nfds, words;     /* one above the highest descriptor in the sets */
    int writes, excepts; /* whether wr, ex hold a descriptor */
    int listeners;       /* whether a service descriptor listens */
} watch;

static void forget_watch(void) { watch.valid = 0; }

/* ------------------------------------------------------------------ */
/* Connections waiting on listening sockets                            */
/* ------------------------------------------------------------------ */

/* The RPC library accepts a waiting connection on the lowest free
 * descriptor. Before it may, the loop makes sure that there is one and
 * that the loop can watch it: a connection on a descriptor at or above
 * the capacity would never be served and never closed, and an accept
 * that fails for want of descriptors would leave the connection waiting
 * and the loop spinning on it. */

/* Which service descriptors are listening sockets: noted the first time
 * each is ready, forgotten when it leaves the service set. No descriptor
 * at or above classified_limit is noted. */
static fd_set classified_fds, listening_fds;
static int classified_limit = 0;

/* Listening descriptors whose connections cannot be taken for now (no
 * descriptor for the connection, no child process for it): left out of
 * every wait until pause_end, so that the waiting connection does not
 * make the loop spin. The connection is taken once the pause is over and
 * the cause has gone. */
static fd_set paused_fds;
static int paused_any = 0;
static struct timespec pause_end;

/* Milliseconds between two tries at a connection that could not be taken. */
#define VL_RETRY_PAUSE_MS 100

/* Whether the last try found the table full, and the last fork for a
 * connection failed: each is reported once, when it starts. */
static int table_full = 0;
static int connection_fork_failed = 0;

static void forget_departed_fds(void)
{
    int fd;

    for (fd = 0; fd < classified_limit; fd++)
        if (FD_ISSET(fd, &classified_fds) && !FD_ISSET(fd, &svc_fdset)) {
            FD_CLR(fd, &classified_fds);
            FD_CLR(fd, &listening_fds);
        }
    while (classified_limit > 0 && !FD_ISSET(classified_limit - 1, &classified_fds))
        classified_limit--;
}

static int is_listening(int fd)
{
    int on = 0;
    socklen_t len = sizeof on;

    if (!FD_ISSET(fd, &classified_fds)) {
        FD_SET(fd, &classified_fds);
        if (fd >= classified_limit)
            classified_limit = fd + 1;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &on, &len) == 0 && on)
            FD_SET(fd, &listening_fds);
        else
            FD_CLR(fd, &listening_fds);
    }
    return FD_ISSET(fd, &listening_fds);
}

static void pause_listener(int fd)
{
    clock_gettime(CLOCK_MONOTONIC, &pause_end);
    pause_end.tv_nsec += VL_RETRY_PAUSE_MS * 1000000L;
    if (pause_end.tv_nsec >= 1000000000L) {
        pause_end.tv_sec++;
        pause_end.tv_nsec -= 1000000000L;
    }
    FD_SET(fd, &paused_fds);
    paused_any = 1;
    forget_watch();
}

/* The time left of the pause, in wait; null when no listener is paused or
 * when the pause is over, which then ends it. */
static struct timeval* pause_left(struct timeval* wait)
{
    struct timespec now;
    long long left_us;

    if (!paused_any)
        return NULL;
    clock_gettime(CLOCK_MONOTONIC, &now);
    left_us = (long long)(pause_end.tv_sec - now.tv_sec) * 1000000LL +
              (pause_end.tv_nsec - now.tv_nsec) / 1000;
    if (left_us <= 0) {
        FD_ZERO(&paused_fds);
        paused_any = 0;
        forget_watch();
        return NULL;
    }
    wait->tv_sec = (time_t)(left_us / 1000000LL);
    wait->tv_usec = (suseconds_t)(left_us % 1000000LL);
    return wait;
}

/* Reports what failed and why, unless *condition shows that this run of
 * failures was reported already; the next success clears it. */
static void report_once(int* condition, const char* what, int error)
{
    char text[256];

    if (*condition)
        return;
    *condition = 1;
    snprintf(text, sizeof text, "%s: %s; trying again\n", what, strerror(error));
    vlrpc_report_event(text);
}

/* Takes the connection waiting on listener and closes it at once: its
 * client sees the connection end. The check first keeps the accept from
 * blocking on a connection that has gone again. */
static void refuse_connection(int listener)
{
    struct pollfd waiting = {listener, POLLIN, 0};
    int fd;

    if (poll(&waiting, 1, 0) == 1 && (fd = accept(listener, NULL, NULL)) >= 0)
        close(fd);
}

/* Whether the connection waiting on listener may be handed to the RPC
 * library: the lowest free descriptor exists and is below the capacity. */
static int room_for_connection(int listener)
{
    int lowest = fcntl(listener, F_DUPFD, 0);

    if (lowest < 0) {
        int error = errno;
        report_once(&table_full, "Cannot accept a connection", error);
        pause_listener(listener);
        return 0;
    }
    close(lowest);
    table_full = 0;
    if (lowest >= VL_FD_CAPACITY) {
        refuse_connection(listener);
        return 0;
    }
    return 1;
}

/* Calls act for every ready descriptor of rd (in its first words) that
 * listens; act tells whether the descriptor stays in rd. */
static void for_ready_listeners(fd_set* rd, int words, int (*act)(int fd))
{
    int w;

    for (w = 0; w < words; w++) {
        unsigned long ready = (unsigned long)(FD_WORDS(rd)[w] & FD_WORDS(&listening_fds)[w]);

        while (ready != 0) {
            int fd = w * FD_WORD_BITS + __builtin_ctzl(ready);

            ready &= ready - 1;
            if (!act(fd))
                FD_CLR(fd, rd);
        }
    }
}

/* Whether a listening descriptor is ready in the first words of rd. */
static int listener_ready(const fd_set* rd, int words)
{
    int w;

    for (w = 0; w < words; w++)
        if ((FD_WORDS(rd)[w] & FD_WORDS(&listening_fds)[w]) != 0)
            return 1;
    return 0;
}

/* Clears in rd the ready listening descriptors whose connections cannot
 * be taken in this pass. */
static void admit_connections(fd_set* rd, int words)
{
    for_ready_listeners(rd, words, room_for_connection);
}

/* The bound of a call record on the runtime's connections: the one the
 * program set through the RPC library, else VL_MAX_CALL_RECORD. */
static u_int record_bound(void)
{
    int max_record = 0;

    if (rpc_control(RPC_SVC_CONNMAXREC_GET, &max_record) && max_record > 0)
        return (u_int)max_record;
    return VL_MAX_CALL_RECORD;
}

/* Takes the connection waiting on listener into a transport of the
 * runtime's own, which never blocks on a slow client; the listener leaves
 * the read set. The check first keeps the accept from blocking on a
 * connection that has gone again. */
static int take_connection(int listener)
{
    struct pollfd waiting = {listener, POLLIN, 0};
    int fd;

    if (poll(&waiting, 1, 0) != 1)
        return 0;
    fd = accept(listener, NULL, NULL);
    if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE) {
            int error = errno;
            report_once(&table_full, "Cannot accept a connection", error);
            pause_listener(listener);
        }
        return 0;
    }
    table_full = 0;
    if (fd >= VL_FD_CAPACITY || vl_conn_create(fd, record_bound()) == NULL)
        close(fd);
    return 0;
}

/* Takes the connections waiting on the ready listening descriptors of rd
 * and clears those: the RPC library never accepts one itself, since its
 * connections read their records with blocking reads. */
static void take_connections(fd_set* rd, int words)
{
    for_ready_listeners(rd, words, take_connection);
}

/* The service descriptors to wait on: all but the paused listeners. */
static void copy_watched_service_fds(fd_set* to, int n) { copy_service_fds(to, n, &paused_fds); }

/* Notes which service descriptors listen: asked of the system once for
 * each new descriptor. */
static int classify_service_fds(const fd_set* service, int nfds)
{
    int fd, any = 0;

    forget_departed_fds();
    for (fd = 0; fd < nfds; fd++)
        if (FD_ISSET(fd, service))
            any |= is_listening(fd);
    return any;
}

static const fd_set no_fds;

/* Makes the wait for table size n: the RPC service descriptors but the
 * paused listeners, plus every descriptor with a handler of the matching
 * kind, all below n. Its nfds is one above the highest descriptor in the
 * sets, the first argument select needs: the kernel then looks at no
 * descriptor that cannot be ready. */
static void merge_fdsets(int n)
{
    int limit = bound(n, handler_limit);
    int top, fd, w;

    watch.table = n;
    watch.service_top = svc_maxfd;
    copy_service_fds(&watch.service, n, &no_fds);
    watch.service_words = words_below(service_bound(n));
    for (w = 0; w < watch.service_words; w++)
        watch.service_mask[w] = bits_below(w, n);
    watch.service_nfds = fdset_highest_below(&watch.service, service_bound(n)) + 1;
    watch.listeners = classify_service_fds(&watch.service, watch.service_nfds);
    copy_watched_service_fds(&watch.rd, n);
    FD_ZERO(&watch.wr);
    FD_ZERO(&watch.ex);
    watch.writes = watch.excepts = 0;
    top = watch.service_nfds - 1;
    for (fd = 0; fd < limit; fd++) {
        if (!has_handler(&ioh_table[fd]))
            continue;
        if (ioh_table[fd].input != NULL)
            FD_SET(fd, &watch.rd);
        if (ioh_table[fd].output != NULL) {
            FD_SET(fd, &watch.wr);
            watch.writes = 1;
        }
        if (ioh_table[fd].exception != NULL) {
            FD_SET(fd, &watch.ex);
            watch.excepts = 1;
        }
        if (fd > top)
            top = fd;
    }
    watch.nfds = top + 1;
    watch.words = words_below(watch.nfds);
    watch.valid = 1;
}

/* Whether the service descriptors below the table size differ from those
 * the wait was made of. */
static inline int service_changed(void)
{
    int w;

    if (svc_maxfd != watch.service_top)
        return 1;
    for (w = 0; w < watch.service_words; w++)
        if ((FD_WORDS(&svc_fdset)[w] & watch.service_mask[w]) != FD_WORDS(&watch.service)[w])
            return 1;
    return 0;
}

/* Makes the wait for table size n again when it no longer holds. */
static inline void refresh_watch(int n)
{
    if (!watch.valid || watch.table != n || service_changed())
        merge_fdsets(n);
}

/* to := the first words of from; the rest of to is left as it was. A
 * loop: the sets of a server are a word or two. */
static void copy_words(fd_set* to, const fd_set* from, int words)
{
    int w;

    for (w = 0; w < words; w++)
        FD_WORDS(to)[w] = FD_WORDS(from)[w];
}

/* Calls the handlers of the ready descriptors in ascending order; wr or
 * ex is null when nothing was waited on for it. The table and its limit
 * are read afresh before every call: a handler may register or remove
 * handlers of descriptors not yet visited. */
static void handle_ioe(int n, fd_set* rd, fd_set* wr, fd_set* ex)
{
    int fd;

    for (fd = 0; fd < bound(n, handler_limit); fd++) {
        if (FD_ISSET(fd, rd) && ioh_table[fd].input != NULL)
            ioh_table[fd].input(fd);
        if (wr != NULL && FD_ISSET(fd, wr) && ioh_table[fd].output != NULL)
            ioh_table[fd].output(fd);
        if (ex != NULL && FD_ISSET(fd, ex) && ioh_table[fd].exception != NULL)
            ioh_table[fd].exception(fd);
    }
}

/* Leaves in the first words of rd only the ready descriptors the RPC
 * library serves. */
static void keep_svc_fdset(fd_set* rd, int words)
{
    int w;

    for (w = 0; w < words; w++)
        FD_WORDS(rd)[w] &= FD_WORDS(&svc_fdset)[w];
}

/* Lets the RPC library serve every ready descriptor in the first words of
 * rd, lowest first, as svc_getreqset does over all of FD_SETSIZE. */
static void serve_ready(const fd_set* rd, int words)
{
    int w;

    for (w = 0; w < words; w++) {
        unsigned long ready = (unsigned long)FD_WORDS(rd)[w];

        while (ready != 0) {
            int fd = w * FD_WORD_BITS + __builtin_ctzl(ready);

            ready &= ready - 1;
            svc_getreq_common(fd);
        }
    }
}

/* ------------------------------------------------------------------ */
/* Children                                                            */
/* ------------------------------------------------------------------ */

/* The current watcher child of the asynchronous mode, -1 when none is
 * armed, and whether it has ended already after signalling the server
 * (its signal is then on the way, or waits while the program blocks it). */
static volatile pid_t async_pid = -1;
static volatile sig_atomic_t async_watcher_ended = 0;

/* A watcher ends with status 0 only after signalling the server; any
 * other end (killed, crashed) disarms the mode, so that it may be armed
 * again. */
static void note_watcher_end(int status)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        async_watcher_ended = 1;
    else
        async_pid = -1;
}

/* Reaps every child that has ended. Several children ending together
 * raise one signal only, so one wait per signal would leave zombies;
 * children that stop are not waited for (see the installation). */
static void wait_child(int sig)
{
    int saved_errno = errno;
    int status;
    pid_t pid;

    (void)sig;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0)
        if (pid == async_pid)
            note_watcher_end(status);
    errno = saved_errno;
}

int vl_install_sigchld_handler(void)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    action.sa_handler = wait_child;
    sigemptyset(&action.sa_mask);
    /* No signal for a child that only stops: a stopped child must not
     * hold up the server. */
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, NULL);
    return 0;
}

void vl_fork_on_call(int* status)
{
    pid_t pid = fork();

    if (pid < 0)
        *status = -1;
    else if (pid == 0)
        *status = 1;
}

/* ------------------------------------------------------------------ */
/* Start-up, idle check, main loop                                     */
/* ------------------------------------------------------------------ */

/* libtirpc writes replies with write(): a reply to a client that has
 * reset its connection would raise SIGPIPE, whose default action ends the
 * server (or the child serving the call). Ignored, the write fails with
 * EPIPE and libtirpc destroys that one transport. A disposition the
 * program chose itself is left as it is. */
static void ignore_sigpipe_by_default(void)
{
    struct sigaction current;

    if (sigaction(SIGPIPE, NULL, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
}

void vl_serv_init(void)
{
    /* A second call clears the existing table rather than replacing it,
     * so a handler running from the table never loses it under its feet. */
    if (ioh_table == NULL)
        ioh_table = calloc(VL_FD_CAPACITY, sizeof *ioh_table);
    else
        memset(ioh_table, 0, VL_FD_CAPACITY * sizeof *ioh_table);
    handler_limit = 0;
    forget_watch();
    if (ioh_table == NULL) {
        /* Stays uninitialised: the main loop reports it and ends. */
        vlrpc_report_event("Memory exhausted!\n");
        return;
    }
    vl_install_sigchld_handler();
    ignore_sigpipe_by_default();
    exit_next = 0;
}

/* The idle check against a table size the caller has taken already. */
static void validate_below(int n)
{
    if (fdset_empty_below(&svc_fdset, service_bound(n)))
        exit(0);
    if (exit_next)
        exit(0);
}

void vl_serv_validate(void) { validate_below(vl_getdtablesize()); }

static int my_fork(fd_set* rd, SVCXPRT* tcp_master, SVCXPRT* udp_master);

/* The sets of one pass, copied from the wait; what the pass does not wait
 * on is null. */
struct pass_sets {
    fd_set rd, wr, ex;
};

static int wait_for_pass(struct pass_sets* sets, struct timeval* limit)
{
    fd_set* wr = NULL;
    fd_set* ex = NULL;

    copy_words(&sets->rd, &watch.rd, watch.words);
    if (watch.writes) {
        copy_words(&sets->wr, &watch.wr, watch.words);
        wr = &sets->wr;
    }
    if (watch.excepts) {
        copy_words(&sets->ex, &watch.ex, watch.words);
        ex = &sets->ex;
    }
    return select(watch.nfds, &sets->rd, wr, ex, limit);
}

void vl_serv_mainloop(SVCXPRT* tcp_master, SVCXPRT* udp_master, int dofork, int exit_idle)
{
    int n = vl_getdtablesize();
    struct pass_sets sets;
    struct timeval wait, *limit;
    int ready, words, listening;

    if (exit_next) {
        printf("Server not properly initialized.\n");
        exit(1);
    }
    memset(&sets, 0, sizeof sets);
    for (;;) {
        /* Without a paused listener the wait has no limit. The pause is
         * looked at first: one that is over puts its listener back into
         * the wait. */
        limit = paused_any ? pause_left(&wait) : NULL;
        refresh_watch(n);
        if (exit_idle && (watch.service_nfds == 0 || exit_next))
            exit(0);
        ready = wait_for_pass(&sets, limit);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            perror("select");
            return;
        }
        if (ready == 0)
            continue;
        words = watch.words;
        if (handler_limit > 0) {
            handle_ioe(n, &sets.rd, watch.writes ? &sets.wr : NULL,
                       watch.excepts ? &sets.ex : NULL);
            keep_svc_fdset(&sets.rd, words);
        }
        /* The checks that guard accepting run only when a listening
         * descriptor is ready: a call on an open connection or a datagram
         * costs nothing of them. */
        listening = watch.listeners && listener_ready(&sets.rd, words);
        if (listening)
            admit_connections(&sets.rd, words);
        if (!any_in_words(&sets.rd, words))
            continue;
        if (dofork)
            (void)my_fork(&sets.rd, tcp_master, udp_master);
        if (listening)
            take_connections(&sets.rd, words);
        serve_ready(&sets.rd, words);
    }
}

/* The earlier of two limits of a wait, either of which may be null (no
 * limit). */
static struct timeval* earlier(struct timeval* a, struct timeval* b)
{
    if (a == NULL)
        return b;
    if (b == NULL)
        return a;
    return timercmp(a, b, <) ? a : b;
}

void vl_serv_once(struct timeval* timeout)
{
    /* select counts a wait down in its timeout: a copy keeps the caller's
     * value and lets an interrupted wait go on with the time left. A
     * paused listener cuts the wait short, so that its connection is
     * tried again when the pause is over. */
    struct timeval left, paused;
    struct timeval* limit = NULL;
    int n = vl_getdtablesize();
    fd_set rd;
    int ready, words;

    if (timeout != NULL) {
        left = *timeout;
        limit = &left;
    }
    do {
        struct timeval* pause = pause_left(&paused);

        refresh_watch(n);
        copy_watched_service_fds(&rd, n);
        ready = select(watch.service_nfds, &rd, NULL, NULL, earlier(limit, pause));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        perror("select");
        return;
    }
    if (ready == 0)
        return;
    words = words_below(watch.service_nfds);
    if (watch.listeners) {
        admit_connections(&rd, words);
        take_connections(&rd, words);
    }
    serve_ready(&rd, words);
}

/* ------------------------------------------------------------------ */
/* Fork on connection                                                  */
/* ------------------------------------------------------------------ */

/* In the child: takes the request on the master, then lets the parent go
 * on. The descriptors to drop are those the service set held at the fork;
 * they are closed only after the request is taken, so that the accepted
 * connection cannot receive the number of a descriptor the RPC library
 * still keeps a transport for. */
static void take_request_in_child(fd_set* rd, int release_parent)
{
    fd_set inherited = svc_fdset;

    take_connections(rd, words_below(VL_FD_CAPACITY));
    svc_getreqset(rd);
    close(release_parent);
    close_service_fds(&inherited, -1);
    FD_ZERO(rd);
}

/* The parent waits until the child has taken the request: the read ends
 * when the child has closed its end of the pipe or has ended. */
static void wait_for_child(int sync[2])
{
    char byte;

    close(sync[1]);
    while (read(sync[0], &byte, 1) < 0 && errno == EINTR)
        ;
    close(sync[0]);
}

int fork_on_connect(fd_set* rd, int fd, int is_udp)
{
    int sync[2];
    pid_t pid;

    if (!fd_in_capacity(fd) || !FD_ISSET(fd, rd))
        return 0;
    vl_keep_master_fd(rd, fd);
    if (pipe(sync) != 0) {
        /* Without the pipe the parent could not wait for the child: the
         * request is served in this process instead. */
        perror("pipe");
        return 1;
    }
    pid = fork();
    if (pid == 0) {
        close(sync[0]);
        take_request_in_child(rd, sync[1]);
        if (is_udp)
            exit(0);
        /* The TCP child goes on serving its connection in its own loop. */
        return 1;
    }
    if (pid < 0) {
        /* The request stays pending: tried again after a pause, so that
         * the loop does not spin while no child can be made. */
        report_once(&connection_fork_failed, "Cannot fork for a connection", errno);
        pause_listener(fd);
    } else {
        connection_fork_failed = 0;
    }
    FD_CLR(fd, rd);
    wait_for_child(sync);
    return 1;
}

static int my_fork(fd_set* rd, SVCXPRT* tcp_master, SVCXPRT* udp_master)
{
    int tcp = tcp_master != NULL ? tcp_master->xp_sock : -1;
    int udp = udp_master != NULL ? udp_master->xp_sock : -1;

    if (tcp >= 0)
        return fork_on_connect(rd, tcp, 0);
    if (udp >= 0)
        return fork_on_connect(rd, udp, 1);
    return 0;
}

/* ------------------------------------------------------------------ */
/* Asynchronous mode                                                   */
/* ------------------------------------------------------------------ */

/* The watcher's wait for a pending request on any service descriptor but
 * the paused listeners; the end of a pause counts as a request, so that
 * the server tries the paused connection again. */
static void wait4rpc(void)
{
    int n = vl_getdtablesize();
    struct timeval paused;
    fd_set rd;
    int ready;

    do {
        struct timeval* pause = pause_left(&paused);

        copy_watched_service_fds(&rd, n);
        ready = select(fdset_highest_below(&rd, service_bound(n)) + 1, &rd, NULL, NULL, pause);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        perror("select");
}

/* Serves the pending requests inside the signal handler, then arms the
 * next watcher. Signals from anything but the current watcher (a watcher
 * cancelled while its signal was on the way, another process) are
 * ignored, so that there is never more than one watcher. */
static void async_siguser(int sig, siginfo_t* info, void* context)
{
    struct timeval no_wait = {0, 0};
    int saved_errno = errno;

    (void)sig;
    (void)context;
    if (async_pid <= 0 || info->si_pid != async_pid)
        return;
    vl_serv_once(&no_wait);
    async_pid = -1;
    async_watcher_ended = 0;
    (void)vl_serv_async_enable();
    errno = saved_errno;
}

static void install_async_handler(void)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    action.sa_sigaction = async_siguser;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigaction(SIGUSR2, &action, NULL);
}

/* The watcher: waits for a request, signals the server, ends. It dies
 * with the server and never signals a process that is not its server. */
static void run_watcher(pid_t server)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == server) {
        wait4rpc();
        if (getppid() == server)
            kill(server, SIGUSR2);
    }
    /* Nothing of the program ran here: nothing to flush or finish. */
    _exit(0);
}

/* Holds off the watcher's signal and the reaper while the state of the
 * mode changes. */
static void block_async_signals(sigset_t* previous)
{
    sigset_t both;

    sigemptyset(&both);
    sigaddset(&both, SIGUSR2);
    sigaddset(&both, SIGCHLD);
    sigprocmask(SIG_BLOCK, &both, previous);
}

int vl_serv_async_enable(void)
{
    pid_t server = getpid();
    sigset_t previous;
    pid_t pid;

    if (async_pid > 0)
        return -1;
    install_async_handler();
    /* The watcher may signal, or end, at once; both wait until async_pid
     * names it. */
    block_async_signals(&previous);
    pid = fork();
    if (pid == 0)
        run_watcher(server);
    async_pid = pid;
    async_watcher_ended = 0;
    sigprocmask(SIG_SETMASK, &previous, NULL);
    return pid < 0 ? -1 : 0;
}

int vl_serv_async_cancel(void)
{
    sigset_t previous;
    int result = 0;

    block_async_signals(&previous);
    if (async_pid > 0) {
        /* A watcher that has ended is not signalled: its number may
         * belong to another process by now. */
        if (!async_watcher_ended)
            result = kill(async_pid, SIGKILL);
        /* A cancelled mode may be armed again. */
        if (result == 0)
            async_pid = -1;
    }
    sigprocmask(SIG_SETMASK, &previous, NULL);
    return result;
}

/* ------------------------------------------------------------------ */
/* Server sockets on a fixed port                                      */
/* ------------------------------------------------------------------ */

/* Reports why no socket could be made and ends the server. */
static void server_socket_failure(int port, const char* protocol, const char* step)
    __attribute__((noreturn));
static void server_socket_failure(int port, const char* protocol, const char* step)
{
    char text[256];

    snprintf(text, sizeof text, "Cannot create %s server socket on port %d: %s: %s\n",
             protocol != NULL ? protocol : "(null)", port, step, strerror(errno));
    vlrpc_report_event(text);
    exit(1);
}

int vl_serv_fd(int port, const char* protocol)
{
    struct sockaddr_in addr;
    int stream, fd;
    int on = 1;

    if (protocol != NULL && strcmp(protocol, "tcp") == 0) {
        stream = 1;
    } else if (protocol != NULL && strcmp(protocol, "udp") == 0) {
        stream = 0;
    } else {
        errno = EPROTONOSUPPORT;
        server_socket_failure(port, protocol, "protocol");
    }
    if (port < 0 || port > 65535) {
        errno = EINVAL;
        server_socket_failure(port, protocol, "port");
    }
    fd = socket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (fd < 0)
        server_socket_failure(port, protocol, "socket");
    /* A TCP server restarted at once may take its port while connections
     * of its predecessor linger. A UDP socket gets no such option: on UDP
     * it would let a second server share a port that is in use and take
     * its datagrams, where the bind must fail. */
    if (stream && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        server_socket_failure(port, protocol, "setsockopt");
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons((u_short)port);
    if (bind(fd, (struct sockaddr*)&addr, sizeof addr) != 0)
        server_socket_failure(port, protocol, "bind");
    /* The RPC library listens only on sockets it bound itself. */
    if (stream && listen(fd, SOMAXCONN) != 0)
        server_socket_failure(port, protocol, "listen");
    return fd;
}
