/* Admission of connections waiting on listening sockets: the server
 * takes them into its own connection transport, and leaves a listener out
 * of the wait for a while when a connection cannot be taken for now. */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <sys/socket.h>

#include "vlconn.h"
#include "vlsrv.h"

/* rpc_control; the header needs the types of rpc.h before it. */
#include <rpc/rpc_com.h>

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
int vlsrv_listener_paused = 0;
static struct timespec pause_end;

/* Milliseconds between two tries at a connection that could not be taken. */
#define VL_RETRY_PAUSE_MS 100

/* Whether the last try found the table full: reported once, when it
 * starts. */
static int table_full = 0;

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

void vlsrv_pause_listener(int fd)
{
    clock_gettime(CLOCK_MONOTONIC, &pause_end);
    pause_end.tv_nsec += VL_RETRY_PAUSE_MS * 1000000L;
    if (pause_end.tv_nsec >= 1000000000L) {
        pause_end.tv_sec++;
        pause_end.tv_nsec -= 1000000000L;
    }
    FD_SET(fd, &paused_fds);
    vlsrv_listener_paused = 1;
    vlsrv_forget_wait();
}

/* The time left of the pause, in wait; null when the pause is over, which
 * then ends it. */
struct timeval* vlsrv_pause_time_left(struct timeval* wait)
{
    struct timespec now;
    long long left_us;

    clock_gettime(CLOCK_MONOTONIC, &now);
    left_us = (long long)(pause_end.tv_sec - now.tv_sec) * 1000000LL +
              (pause_end.tv_nsec - now.tv_nsec) / 1000;
    if (left_us <= 0) {
        FD_ZERO(&paused_fds);
        vlsrv_listener_paused = 0;
        vlsrv_forget_wait();
        return NULL;
    }
    wait->tv_sec = (time_t)(left_us / 1000000LL);
    wait->tv_usec = (suseconds_t)(left_us % 1000000LL);
    return wait;
}

/* Reports what failed and why, unless *condition shows that this run of
 * failures was reported already; the next success clears it. */
void vlsrv_report_once(int* condition, const char* what, int error)
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
        vlsrv_report_once(&table_full, "Cannot accept a connection", error);
        vlsrv_pause_listener(listener);
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

/* Clears in rd the ready listening descriptors whose connections cannot
 * be taken in this pass. */
void vlsrv_admit_connections(fd_set* rd, int words)
{
    for_ready_listeners(rd, words, room_for_connection);
}

/* The vlsrv_bound of a call record on the runtime's connections: the one the
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
            vlsrv_report_once(&table_full, "Cannot accept a connection", error);
            vlsrv_pause_listener(listener);
        }
        return 0;
    }
    table_full = 0;
    if (fd >= VL_FD_CAPACITY || vlsrv_conn_create(fd, record_bound()) == NULL)
        close(fd);
    return 0;
}

/* Takes the connections waiting on the ready listening descriptors of rd
 * and clears those: the RPC library never accepts one itself, since its
 * connections read their records with blocking reads. */
void vlsrv_take_connections(fd_set* rd, int words)
{
    for_ready_listeners(rd, words, take_connection);
}

/* The service descriptors to wait on: all but the paused listeners and
 * the connections that are not read now. */
void vlsrv_copy_watched_service_fds(fd_set* to, int n)
{
    vlsrv_copy_service_fds(to, n, &paused_fds);
    vlsrv_conn_leave_out_quiet(to, n);
}

/* Notes which service descriptors listen, asked of the system once for
 * each new descriptor, and sets those in listening; whether any does. */
int vlsrv_classify_service_fds(const fd_set* service, int nfds, fd_set* listening)
{
    int fd, any = 0;

    forget_departed_fds();
    FD_ZERO(listening);
    for (fd = 0; fd < nfds; fd++)
        if (FD_ISSET(fd, service) && is_listening(fd)) {
            FD_SET(fd, listening);
            any = 1;
        }
    return any;
}
