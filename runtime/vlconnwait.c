/* Replies that wait for their peer, and children that serve a
 * connection's call: the connections the loop must not read for now, the
 * ones it must wait on to write, their stall times, and the pipe through
 * which the reaper tells the loop of an ended child. */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <sys/socket.h>

#include <rpc/rpc.h>

#include "velorin.h"
#include "vlconn.h"
#include "vlconn_state.h"

/* The environment variable that sets the stall time of a waiting reply. */
#define VL_STALL_VARIABLE "VELORIN_REPLY_STALL_SECONDS"

int vlsrv_conn_changed = 0;
int vlsrv_conn_waits = 0;

/* Connections that are not read now: a reply of theirs waits, or a child
 * serves their call. The loop leaves them out of its read wait. */
static fd_set quiet_fds;
static int quiet_count = 0;
/* Connections whose reply waits for the peer: the loop waits for them to
 * become writable. */
static fd_set writing_fds;
static int writing_count = 0;
/* A pipe the reaper writes to when a child serving a connection's call
 * has ended: it wakes the loop, which then serves that connection again.
 * Made when the first such child starts. */
static int wake_pipe[2] = {-1, -1};

/* ---- Connections the loop does not read now ---- */

/* Puts fd into set, or takes it out, and keeps the count of set; a
 * change makes the loop's wait stale. */
static void place(fd_set* set, int* count, int fd, int in)
{
    if (in == (FD_ISSET(fd, set) != 0))
        return;
    if (in)
        FD_SET(fd, set);
    else
        FD_CLR(fd, set);
    *count += in ? 1 : -1;
    vlsrv_conn_changed = 1;
    vlsrv_conn_waits = writing_count > 0 || wake_pipe[0] >= 0;
}

void vlsrv_conn_note_state(struct connection* c)
{
    int fd = c->xprt.xp_fd;

    place(&quiet_fds, &quiet_count, fd, vlsrv_conn_is_quiet(c));
    place(&writing_fds, &writing_count, fd, vlsrv_conn_reply_waits(c) && !c->dead);
}

/* ---- Replies ---- */

/* Sends what the socket takes of len bytes at at without waiting: the
 * number sent, -1 when the connection has ended. */
static ssize_t send_now(struct connection* c, const char* at, size_t len)
{
    ssize_t n;

    do
        n = send(c->xprt.xp_fd, at, len, MSG_DONTWAIT | MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

/* Keeps len bytes at at behind the reply bytes that wait already; 0 when
 * the bound of held memory or the memory left has no room for them. */
static int keep_pending(struct connection* c, const char* at, size_t len)
{
    size_t waiting = c->pending_end - c->pending_at;

    if (c->pending_end + len > c->pending_cap && c->pending_at > 0) {
        memmove(c->pending, c->pending + c->pending_at, waiting);
        c->pending_at = 0;
        c->pending_end = waiting;
    }
    if (!vlsrv_conn_reserve_pending(c, c->pending_end + len))
        return 0;
    memcpy(c->pending + c->pending_end, at, len);
    c->pending_end += len;
    return 1;
}

/* In a child serving one call: sends all of len bytes, waiting for the
 * peer as long as it takes some within the stall time. A peer that takes
 * nothing for that long has its connection shut down, which ends it for
 * the server too. */
static int send_waiting(struct connection* c, const char* at, size_t len)
{
    while (len > 0) {
        struct pollfd writable = {c->xprt.xp_fd, POLLOUT, 0};
        ssize_t n = send_now(c, at, len);
        int ready;

        if (n < 0)
            return 0;
        at += n;
        len -= (size_t)n;
        if (len == 0)
            break;
        do
            ready = poll(&writable, 1, (int)c->stall_ms);
        while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            vlsrv_conn_reset_on_close(c->xprt.xp_fd);
            shutdown(c->xprt.xp_fd, SHUT_RDWR);
            return 0;
        }
    }
    return 1;
}

/* Writes a piece of a reply record: what the socket does not take at
 * once waits in the reply buffer, and the connection with it. A
 * connection that cannot take it, or whose waiting reply finds no room
 * within the bound of held memory, is dead. */
int vlsrv_conn_write(void* handle, void* buf, int len)
{
    struct connection* c = handle;
    ssize_t sent = 0;

    if (c->dead)
        return -1;
    if (c->write_through) {
        if (send_waiting(c, buf, (size_t)len))
            return len;
        c->dead = 1;
        return -1;
    }
    if (!vlsrv_conn_reply_waits(c)) {
        sent = send_now(c, buf, (size_t)len);
        if (sent == len)
            return len;
        if (sent < 0) {
            c->dead = 1;
            return -1;
        }
        c->progress_ms = vlsrv_conn_now_ms();
    }
    if (!keep_pending(c, (const char*)buf + sent, (size_t)(len - sent))) {
        c->dead = 1;
        return -1;
    }
    vlsrv_conn_note_state(c);
    return len;
}

/* The stall time of a waiting reply: the environment's, else the
 * runtime's. */
long vlsrv_conn_stall_time_ms(void)
{
    const char* text = getenv(VL_STALL_VARIABLE);
    char* end;
    long seconds;

    if (text != NULL) {
        errno = 0;
        seconds = strtol(text, &end, 10);
        if (errno == 0 && end != text && *end == '\0' && seconds > 0 && seconds <= 86400)
            return seconds * 1000;
    }
    return VL_REPLY_STALL_SECONDS * 1000L;
}

/* ---- What the loop asks of the connections ---- */

/* Lets the RPC library serve the connection again: a record read already
 * is served at once. The connection may be gone afterwards. */
static void serve_again(struct connection* c) { svc_getreq_common(c->xprt.xp_fd); }

/* Writes what the socket takes of the waiting reply; once it is all out,
 * the connection's next call is served. */
static void flush_pending(struct connection* c)
{
    ssize_t n =
        c->dead ? -1 : send_now(c, c->pending + c->pending_at, c->pending_end - c->pending_at);

    if (n < 0) {
        SVC_DESTROY(&c->xprt);
        return;
    }
    if (n > 0) {
        c->pending_at += (size_t)n;
        c->progress_ms = vlsrv_conn_now_ms();
    }
    if (vlsrv_conn_reply_waits(c))
        return;
    vlsrv_conn_drop_pending(c);
    vlsrv_conn_note_state(c);
    serve_again(c);
}

/* Closes the connections whose waiting reply has made no progress for
 * their stall time; the time until the next one would be due, in ms, or
 * -1 when no reply waits. */
static long long expire_stalled(int close_due)
{
    long long now = vlsrv_conn_now_ms(), next = -1;
    int fd;

    for (fd = 0; writing_count > 0 && fd < vlsrv_conn_top; fd++) {
        struct connection* c = vlsrv_conn_table[fd];
        long long left;

        if (c == NULL || !FD_ISSET(fd, &writing_fds))
            continue;
        left = c->progress_ms + c->stall_ms - now;
        if (left <= 0 && close_due) {
            vlsrv_conn_reset_on_close(fd);
            SVC_DESTROY(&c->xprt);
            continue;
        }
        if (left < 0)
            left = 0;
        if (next < 0 || left < next)
            next = left;
    }
    return next;
}

void vlsrv_conn_leave_out_quiet(fd_set* set, int n)
{
    int w, words = (n + __NFDBITS - 1) / __NFDBITS;

    if (quiet_count == 0)
        return;
    for (w = 0; w < words; w++)
        __FDS_BITS(set)[w] &= ~__FDS_BITS(&quiet_fds)[w];
}

int vlsrv_conn_add_waits(fd_set* rd, fd_set* wr, int* writes)
{
    int top = 0, fd;

    if (wake_pipe[0] >= 0) {
        FD_SET(wake_pipe[0], rd);
        top = wake_pipe[0] + 1;
    }
    for (fd = 0; writing_count > 0 && fd < vlsrv_conn_top; fd++)
        if (FD_ISSET(fd, &writing_fds)) {
            FD_SET(fd, wr);
            *writes = 1;
            if (fd >= top)
                top = fd + 1;
        }
    return top;
}

struct timeval* vlsrv_conn_stall_left(struct timeval* wait)
{
    long long left;

    if (writing_count == 0)
        return NULL;
    left = expire_stalled(0);
    if (left < 0)
        return NULL;
    wait->tv_sec = (time_t)(left / 1000);
    wait->tv_usec = (suseconds_t)(left % 1000 * 1000);
    return wait;
}

/* Whether the connection's socket is shut down or broken: a child whose
 * peer stopped reading shuts it down, and the records read already must
 * not be served on it. */
static int shut_down(struct connection* c)
{
    struct pollfd state = {c->xprt.xp_fd, 0, 0};

    return poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

/* Serves again the connections whose child has ended, but those that
 * the child has found broken. */
static void serve_released(void)
{
    char bytes[64];
    int fd;

    while (read(wake_pipe[0], bytes, sizeof bytes) > 0)
        ;
    for (fd = 0; fd < vlsrv_conn_top; fd++) {
        struct connection* c = vlsrv_conn_table[fd];

        if (c != NULL && c->released) {
            c->released = 0;
            vlsrv_conn_note_state(c);
            if (shut_down(c))
                SVC_DESTROY(&c->xprt);
            else
                serve_again(c);
        }
    }
}

void vlsrv_conn_after_wait(fd_set* rd, const fd_set* wr)
{
    fd_set writable;
    int fd;

    if (wake_pipe[0] >= 0 && FD_ISSET(wake_pipe[0], rd)) {
        FD_CLR(wake_pipe[0], rd);
        serve_released();
    }
    if (writing_count == 0)
        return;
    /* The connections whose replies wait when the wait began: flushing
     * one may serve its next call, whose reply may wait again. */
    writable = writing_fds;
    for (fd = 0; wr != NULL && fd < vlsrv_conn_top; fd++)
        if (FD_ISSET(fd, &writable) && FD_ISSET(fd, wr) && vlsrv_conn_table[fd] != NULL &&
            vlsrv_conn_reply_waits(vlsrv_conn_table[fd]))
            flush_pending(vlsrv_conn_table[fd]);
    (void)expire_stalled(1);
}

/* The pipe that wakes the loop when a child ends; 0 when it cannot be
 * made or watched. */
static int open_wake_pipe(void)
{
    if (wake_pipe[0] >= 0)
        return 1;
    if (pipe(wake_pipe) != 0) {
        wake_pipe[0] = wake_pipe[1] = -1;
        return 0;
    }
    for (int end = 0; end < 2; end++) {
        fcntl(wake_pipe[end], F_SETFL, O_NONBLOCK);
        fcntl(wake_pipe[end], F_SETFD, FD_CLOEXEC);
    }
    if (wake_pipe[0] >= FD_SETSIZE) {
        close(wake_pipe[0]);
        close(wake_pipe[1]);
        wake_pipe[0] = wake_pipe[1] = -1;
        return 0;
    }
    vlsrv_conn_changed = 1;
    vlsrv_conn_waits = 1;
    return 1;
}

void vlsrv_conn_hold(SVCXPRT* xprt, pid_t child)
{
    struct connection* c = vlsrv_conn_of(xprt);

    if (c == NULL || !open_wake_pipe())
        return;
    c->child = child;
    vlsrv_conn_note_state(c);
}

void vlsrv_conn_child_ended(pid_t pid)
{
    int fd;

    for (fd = 0; fd < vlsrv_conn_top; fd++) {
        struct connection* c = vlsrv_conn_table[fd];

        if (c != NULL && c->child == pid) {
            c->child = 0;
            c->released = 1;
            (void)!write(wake_pipe[1], "", 1);
            return;
        }
    }
}

void vlsrv_conn_write_through(SVCXPRT* xprt)
{
    struct connection* c = vlsrv_conn_of(xprt);

    if (c != NULL)
        c->write_through = 1;
}
