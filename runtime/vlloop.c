/* The server's main loop and its single pass: waits on the RPC service
 * descriptors and the program's own descriptors, calls the handlers,
 * admits waiting connections, forks for a request when asked to, and lets
 * the RPC library serve the rest. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vlconn.h"
#include "vlsrv.h"

/* What the loop waits on, kept from one pass to the next and made again
 * only when something it is made of has changed: the service descriptors
 * (svc_fdset and svc_maxfd, which the RPC library changes without telling,
 * compared with the copy taken: a word or two), the handlers, the paused
 * listeners, the connections that are not read now or whose replies
 * wait, or the table size. */
static struct {
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
    fd_set listening;    /* the service descriptors that listen */
    int made;            /* made again since the main loop's idle check */
} watch;

static const fd_set no_fds;

/* Makes the wait for table size n: the RPC service descriptors but the
 * paused listeners and the connections not read now, plus every
 * descriptor with a handler of the matching kind, all below n, plus what
 * the connections wait for. Its nfds is one above the highest descriptor
 * in the sets, the first argument select needs: the kernel then looks at
 * no descriptor that cannot be ready. */
static void merge_fdsets(int n)
{
    int limit = vlsrv_bound(n, vlsrv_handler_limit);
    int top, conn_top, fd, w;

    watch.table = n;
    watch.service_top = svc_maxfd;
    vlsrv_copy_service_fds(&watch.service, n, &no_fds);
    watch.service_words = vlsrv_words_below(vlsrv_service_bound(n));
    watch.service_mask[0] = 0;
    for (w = 0; w < watch.service_words; w++)
        watch.service_mask[w] = vlsrv_bits_below(w, n);
    watch.service_nfds = vlsrv_fdset_highest_below(&watch.service, vlsrv_service_bound(n)) + 1;
    watch.listeners =
        vlsrv_classify_service_fds(&watch.service, watch.service_nfds, &watch.listening);
    vlsrv_copy_watched_service_fds(&watch.rd, n);
    FD_ZERO(&watch.wr);
    FD_ZERO(&watch.ex);
    watch.writes = watch.excepts = 0;
    top = watch.service_nfds - 1;
    for (fd = 0; fd < limit; fd++) {
        if (!vlsrv_has_handler(&vlsrv_handler_table[fd]))
            continue;
        if (vlsrv_handler_table[fd].input != NULL)
            FD_SET(fd, &watch.rd);
        if (vlsrv_handler_table[fd].output != NULL) {
            FD_SET(fd, &watch.wr);
            watch.writes = 1;
        }
        if (vlsrv_handler_table[fd].exception != NULL) {
            FD_SET(fd, &watch.ex);
            watch.excepts = 1;
        }
        if (fd > top)
            top = fd;
    }
    conn_top = vlsrv_conn_add_waits(&watch.rd, &watch.wr, &watch.writes) - 1;
    if (conn_top > top)
        top = conn_top;
    watch.nfds = top + 1;
    watch.words = vlsrv_words_below(watch.nfds);
    vlsrv_wait_stale = 0;
    vlsrv_conn_changed = 0;
    watch.made = 1;
}

/* Whether the service descriptors below the table size differ from those
 * the wait was made of. */
static inline int service_changed(void)
{
    int w;

    if (svc_maxfd != watch.service_top)
        return 1;
    /* The first word by itself, as in copy_words: its mask is 0 when the
     * copy covers no word. */
    if ((FD_WORDS(&svc_fdset)[0] & watch.service_mask[0]) != FD_WORDS(&watch.service)[0])
        return 1;
    for (w = 1; w < watch.service_words; w++)
        if ((FD_WORDS(&svc_fdset)[w] & watch.service_mask[w]) != FD_WORDS(&watch.service)[w])
            return 1;
    return 0;
}

/* Makes the wait for table size n again when it no longer holds. */
static inline void refresh_watch(int n)
{
    if (vlsrv_wait_stale || vlsrv_conn_changed || watch.table != n || service_changed())
        merge_fdsets(n);
}

/* to := the first words of from (at least one); the rest of to is left as
 * it was. The sets of a server are mostly a single word: that one is
 * copied by itself, where a loop alone would become a call of memcpy. */
static inline void copy_words(fd_set* to, const fd_set* from, int words)
{
    int w;

    FD_WORDS(to)[0] = FD_WORDS(from)[0];
    for (w = 1; w < words; w++)
        FD_WORDS(to)[w] = FD_WORDS(from)[w];
}

/* Whether a listening descriptor is ready in the first words of rd, the
 * first by itself: the pass always has it from the wait. */
static inline int listener_ready(const fd_set* rd, int words)
{
    int w;

    if ((FD_WORDS(rd)[0] & FD_WORDS(&watch.listening)[0]) != 0)
        return 1;
    for (w = 1; w < words; w++)
        if ((FD_WORDS(rd)[w] & FD_WORDS(&watch.listening)[w]) != 0)
            return 1;
    return 0;
}

/* Calls the handlers of the ready descriptors in ascending order; wr or
 * ex is null when nothing was waited on for it. The table and its limit
 * are read afresh before every call: a handler may register or remove
 * handlers of descriptors not yet visited. */
static void handle_ioe(int n, fd_set* rd, fd_set* wr, fd_set* ex)
{
    int fd;

    for (fd = 0; fd < vlsrv_bound(n, vlsrv_handler_limit); fd++) {
        if (FD_ISSET(fd, rd) && vlsrv_handler_table[fd].input != NULL)
            vlsrv_handler_table[fd].input(fd);
        if (wr != NULL && FD_ISSET(fd, wr) && vlsrv_handler_table[fd].output != NULL)
            vlsrv_handler_table[fd].output(fd);
        if (ex != NULL && FD_ISSET(fd, ex) && vlsrv_handler_table[fd].exception != NULL)
            vlsrv_handler_table[fd].exception(fd);
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
    if (!(watch.writes | watch.excepts))
        return select(watch.nfds, &sets->rd, NULL, NULL, limit);
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
    struct timeval wait, stall, *limit;
    int ready, words, listening;

    if (vlsrv_uninitialised) {
        printf("Server not properly initialized.\n");
        exit(1);
    }
    memset(&sets, 0, sizeof sets);
    for (;;) {
        /* Without a paused listener or a waiting reply the wait has no
         * limit. The pause is looked at first: one that is over puts its
         * listener back into the wait. */
        limit = vlsrv_pause_left(&wait);
        if (vlsrv_conn_waits)
            limit = vlsrv_earlier(limit, vlsrv_conn_stall_left(&stall));
        refresh_watch(n);
        /* What the idle check looks at changes only with the wait. */
        if (watch.made) {
            watch.made = 0;
            if (exit_idle && (watch.service_nfds == 0 || vlsrv_uninitialised))
                exit(0);
        }
        ready = wait_for_pass(&sets, limit);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            perror("select");
            return;
        }
        if (vlsrv_conn_waits)
            vlsrv_conn_after_wait(&sets.rd, watch.writes ? &sets.wr : NULL);
        /* A wait that timed out left the sets empty: the steps below then
         * find nothing to do. */
        words = watch.words;
        if (vlsrv_handler_limit > 0) {
            handle_ioe(n, &sets.rd, watch.writes ? &sets.wr : NULL,
                       watch.excepts ? &sets.ex : NULL);
            keep_svc_fdset(&sets.rd, words);
        }
        /* The checks that guard accepting run only when a listening
         * descriptor is ready: a call on an open connection or a datagram
         * costs nothing of them. */
        listening = listener_ready(&sets.rd, words);
        if (listening)
            vlsrv_admit_connections(&sets.rd, words);
        if (dofork && vlsrv_any_in_words(&sets.rd, words))
            (void)vlsrv_fork_for_request(&sets.rd, tcp_master, udp_master);
        if (listening)
            vlsrv_take_connections(&sets.rd, words);
        serve_ready(&sets.rd, words);
    }
}

void vl_serv_once(struct timeval* timeout)
{
    /* select counts a wait down in its timeout: a copy keeps the caller's
     * value and lets an interrupted wait go on with the time left. A
     * paused listener cuts the wait short, so that its connection is
     * tried again when the pause is over; so does the stall time of a
     * waiting reply. */
    struct timeval left, paused, stall;
    struct timeval* limit = NULL;
    int n = vl_getdtablesize();
    fd_set rd, wr;
    int ready, words, nfds, writes;

    if (timeout != NULL) {
        left = *timeout;
        limit = &left;
    }
    do {
        struct timeval* pause = vlsrv_pause_left(&paused);

        refresh_watch(n);
        vlsrv_copy_watched_service_fds(&rd, n);
        FD_ZERO(&wr);
        writes = 0;
        nfds = vlsrv_conn_add_waits(&rd, &wr, &writes);
        if (nfds < watch.service_nfds)
            nfds = watch.service_nfds;
        ready = select(nfds, &rd, writes ? &wr : NULL, NULL,
                       vlsrv_earlier(limit, vlsrv_earlier(pause, vlsrv_conn_stall_left(&stall))));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        perror("select");
        return;
    }
    if (vlsrv_conn_waits)
        vlsrv_conn_after_wait(&rd, writes ? &wr : NULL);
    if (ready == 0)
        return;
    words = vlsrv_words_below(watch.service_nfds);
    if (watch.listeners) {
        vlsrv_admit_connections(&rd, words);
        vlsrv_take_connections(&rd, words);
    }
    serve_ready(&rd, words);
}
