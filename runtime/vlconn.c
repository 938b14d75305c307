/* The runtime's own transport for accepted TCP connections.
 *
 * The RPC library's connection transport reads a record with blocking
 * reads, so a client that sends part of a call stops a server that serves
 * in place until that client goes on; and its non-blocking mode takes the
 * first fragment of a record for the whole record. This transport reads
 * only what the socket holds at the time, keeps a record's fragments until
 * the last one is in, and only then lets the library decode the call
 * header and run its dispatch. Replies leave as the library's own
 * connection transport writes them: records of 64 KiB fragments; what the
 * socket cannot take at once waits in the connection's reply buffer,
 * written as the peer reads, so that a peer that does not read holds up
 * only itself. The memory that partial records and waiting replies hold
 * is bounded over all connections together. */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <rpc/rpc.h>
#include <rpc/svc_mt.h>

#include "velorin.h"
#include "vlconn.h"

/* Bytes one read takes from the socket. */
#define VL_CONN_CHUNK 65536
/* Bytes a connection may read in one serving pass before it lets the loop
 * serve the others: a peer that sends without end (fragments of length 0
 * never reach the record bound) cannot keep the loop for itself. */
#define VL_CONN_PASS_BYTES (16 * VL_CONN_CHUNK)
/* Reply fragments, as the library writes them by default. */
#define VL_CONN_SEND_SIZE 65536
/* The record buffer a connection keeps between calls: one of this size,
 * or one that the record just served used at least a quarter of, so that
 * a client that calls with large records again and again finds its buffer
 * ready (fresh memory costs a page fault per page). Another is released
 * once its call is done. */
#define VL_CONN_KEPT_RECORD 65536

#define LAST_FRAGMENT 0x80000000u

/* The environment variable that sets the stall time of a waiting reply. */
#define VL_STALL_VARIABLE "VELORIN_REPLY_STALL_SECONDS"

struct connection {
    SVCXPRT xprt;
    SVCXPRT_EXT ext; /* the library keeps the call's authentication here */
    struct sockaddr_storage remote, local;
    u_int max_record;
    int dead;
    /* Bytes read from the socket and not yet taken into the record. */
    char* raw;
    size_t raw_at, raw_end;
    /* The record being gathered: its mark as far as it has come, the bytes
     * of its current fragment still to come, and its contents. */
    unsigned char mark[4];
    int mark_bytes;
    size_t fragment_left;
    int fragment_last;
    char* record;
    size_t record_len, record_cap;
    /* The record is whole; it is being served. */
    int whole, served;
    XDR in;        /* decodes the record being served */
    u_int32_t xid; /* of the call being served: its replies carry it */
    XDR out;       /* encodes replies */
    /* Reply bytes the socket has not taken yet, and when the peer last
     * took some of them. */
    char* pending;
    size_t pending_at, pending_end, pending_cap;
    long long progress_ms;
    long stall_ms;
    /* In a child that serves one call: writes wait for the peer. */
    int write_through;
    /* The child that serves this connection's call (0 when none), and
     * whether one has ended since the loop last looked: set by the
     * reaper. */
    volatile pid_t child;
    volatile sig_atomic_t released;
};

int vlsrv_conn_changed = 0;

/* Every connection by its descriptor, for the loop and the memory bound. */
static struct connection* connections[FD_SETSIZE];
static int connection_top = 0;
/* Bytes that the records and the reply buffers of all connections hold. */
static size_t held_bytes = 0;
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

static struct connection* connection_of(SVCXPRT* xprt) { return (struct connection*)xprt->xp_p1; }

static long long now_ms(void)
{
    struct timespec now;

    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* The connection's close, whenever it comes, resets it and drops what its
 * socket has not sent: the peer of a connection closed for what it does,
 * or does not, read learns of it at once, and the system keeps nothing
 * of it for a peer that would never take it. */
static void reset_on_close(int fd)
{
    struct linger reset = {1, 0};

    (void)setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

/* ---- Memory that the connections hold ---- */

/* The bound of what all connections hold together: never below two
 * records of the largest size a connection accepts, so that a program's
 * higher record bound still lets such a record in. */
static size_t held_limit(const struct connection* c)
{
    size_t twice = 2 * (size_t)c->max_record;

    return twice > (size_t)VL_MAX_HELD_BYTES ? twice : (size_t)VL_MAX_HELD_BYTES;
}

static void drop_record(struct connection* c)
{
    held_bytes -= c->record_cap;
    free(c->record);
    c->record = NULL;
    c->record_cap = 0;
}

static void drop_pending(struct connection* c)
{
    held_bytes -= c->pending_cap;
    free(c->pending);
    c->pending = NULL;
    c->pending_cap = c->pending_at = c->pending_end = 0;
}

/* Bytes of a record that has not come whole yet: what a peer can hold
 * without ever finishing a call. */
static size_t partial_bytes(const struct connection* c)
{
    return c->served || c->whole ? 0 : c->record_len;
}

/* Whether c may give up its memory: not the connection whose call runs,
 * nor one that is gone already. */
static int may_lose(const struct connection* c) { return !c->dead && !c->served; }

/* The connection holding the most partial bytes, or when none holds any,
 * the most memory in complete records and waiting replies; self counts
 * too but loses a tie. Null when nobody holds anything. */
static struct connection* largest_holder(struct connection* self)
{
    struct connection* best = NULL;
    size_t best_partial = 0, best_held = 0;
    int fd;

    for (fd = 0; fd < connection_top; fd++) {
        struct connection* c = connections[fd];
        size_t partial, held;

        if (c == NULL || (c != self && !may_lose(c)))
            continue;
        partial = partial_bytes(c);
        held = c->record_cap + c->pending_cap;
        if (held == 0)
            continue;
        if (best == NULL || partial > best_partial ||
            (partial == best_partial &&
             (held > best_held || (held == best_held && best == self)))) {
            best = c;
            best_partial = partial;
            best_held = held;
        }
    }
    return best;
}

static void note_state(struct connection* c);

/* The connection is closed for the memory it holds: its memory goes at
 * once; shut down, it is destroyed the next time the loop looks at it. */
static void abandon(struct connection* c)
{
    c->dead = 1;
    drop_record(c);
    c->record_len = 0;
    c->whole = 0;
    drop_pending(c);
    note_state(c);
    reset_on_close(c->xprt.xp_fd);
    shutdown(c->xprt.xp_fd, SHUT_RDWR);
}

/* Makes room for extra more bytes held by self within the bound: first
 * records kept for calls to come are released, then connections are
 * closed, the one with the most partial bytes first. 0 when self is that
 * connection: it must give up instead. */
static int make_room(struct connection* self, size_t extra)
{
    size_t limit = held_limit(self);
    int fd;

    if (held_bytes + extra <= limit)
        return 1;
    for (fd = 0; fd < connection_top && held_bytes + extra > limit; fd++) {
        struct connection* c = connections[fd];

        if (c != NULL && c != self && may_lose(c) && c->record_len == 0 && c->record_cap > 0)
            drop_record(c);
    }
    while (held_bytes + extra > limit) {
        struct connection* victim = largest_holder(self);

        if (victim == NULL || victim == self)
            return 0;
        abandon(victim);
    }
    return 1;
}

/* Room for at least need bytes of record; 0 when memory is short or the
 * bound of held memory leaves none. */
static int reserve_record(struct connection* c, size_t need)
{
    size_t cap = c->record_cap > 0 ? c->record_cap : 4096;
    char* grown;

    if (need <= c->record_cap)
        return 1;
    while (cap < need)
        cap *= 2;
    if (cap > c->max_record && need <= c->max_record)
        cap = c->max_record;
    if (!make_room(c, cap - c->record_cap))
        return 0;
    grown = realloc(c->record, cap);
    if (grown == NULL)
        return 0;
    held_bytes += cap - c->record_cap;
    c->record = grown;
    c->record_cap = cap;
    return 1;
}

/* A record mark is complete: checks the fragment against the bound. */
static int begin_fragment(struct connection* c)
{
    u_int32_t mark;

    memcpy(&mark, c->mark, sizeof mark);
    mark = ntohl(mark);
    c->fragment_left = mark & ~LAST_FRAGMENT;
    c->fragment_last = (mark & LAST_FRAGMENT) != 0;
    return c->fragment_left <= c->max_record - c->record_len;
}

/* A fragment whose bytes are all in ends the record when it is the last;
 * the next bytes are a mark. */
static void end_fragment(struct connection* c)
{
    if (c->mark_bytes == 4 && c->fragment_left == 0) {
        c->whole = c->fragment_last;
        c->mark_bytes = 0;
    }
}

/* Moves read bytes into the record until it is whole or they are used up;
 * 0 when the record breaks the bound or memory is short. */
static int gather(struct connection* c)
{
    while (!c->whole && c->raw_at < c->raw_end) {
        size_t take;

        if (c->mark_bytes < 4) {
            c->mark[c->mark_bytes++] = (unsigned char)c->raw[c->raw_at++];
            if (c->mark_bytes == 4 && !begin_fragment(c))
                return 0;
        } else {
            take = c->raw_end - c->raw_at;
            if (take > c->fragment_left)
                take = c->fragment_left;
            if (!reserve_record(c, c->record_len + take))
                return 0;
            memcpy(c->record + c->record_len, c->raw + c->raw_at, take);
            c->record_len += take;
            c->raw_at += take;
            c->fragment_left -= take;
        }
        end_fragment(c);
    }
    return 1;
}

/* Reads up to len bytes that the socket holds into to, without waiting:
 * the number read, 0 when it holds nothing now, -1 when the connection
 * has ended. */
static ssize_t receive(struct connection* c, char* to, size_t len)
{
    ssize_t n;

    do
        n = recv(c->xprt.xp_fd, to, len, MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    return -1;
}

/* Reads the next bytes, once the read ones are used up: the body of a long
 * fragment straight into the record, which saves a copy of every call of
 * many fragments; record marks and short fragments into the read buffer.
 * The record grows by what arrives, not by what its mark announces. */
static ssize_t read_socket(struct connection* c)
{
    size_t room;
    ssize_t n;

    if (c->mark_bytes == 4 && c->fragment_left >= VL_CONN_CHUNK) {
        if (!reserve_record(c, c->record_len + VL_CONN_CHUNK))
            return -1;
        room = c->record_cap - c->record_len;
        n = receive(c, c->record + c->record_len,
                    room < c->fragment_left ? room : c->fragment_left);
        if (n > 0) {
            c->record_len += (size_t)n;
            c->fragment_left -= (size_t)n;
            end_fragment(c);
        }
        return n;
    }
    n = receive(c, c->raw, VL_CONN_CHUNK);
    if (n > 0) {
        c->raw_at = 0;
        c->raw_end = (size_t)n;
    }
    return n;
}

/* Whether a whole record is ready; may_read lets it read the socket first
 * (within this pass's share). A connection that breaks is marked dead. */
static int record_ready(struct connection* c, int may_read)
{
    size_t budget = VL_CONN_PASS_BYTES;
    ssize_t n;

    for (;;) {
        if (!gather(c)) {
            c->dead = 1;
            return 0;
        }
        if (c->whole)
            return 1;
        if (!may_read || budget == 0)
            return 0;
        n = read_socket(c);
        if (n <= 0) {
            c->dead = n < 0;
            return 0;
        }
        budget -= (size_t)n < budget ? (size_t)n : budget;
    }
}

/* The record served last is done with: the next one starts empty. */
static void finish_record(struct connection* c)
{
    if (!c->served)
        return;
    xdr_destroy(&c->in);
    c->served = 0;
    c->whole = 0;
    if (c->record_cap > VL_CONN_KEPT_RECORD && c->record_cap > 4 * c->record_len)
        drop_record(c);
    c->record_len = 0;
}

/* ---- Connections the loop does not read now ---- */

static int reply_waits(const struct connection* c) { return c->pending_end > c->pending_at; }

/* A connection whose reply waits, or whose call a child serves, has no
 * further call served until that is over. */
static int is_quiet(const struct connection* c) { return reply_waits(c) || c->child != 0; }

/* Brings the loop's sets up to date with the connection's state. */
static void note_state(struct connection* c)
{
    int fd = c->xprt.xp_fd;
    int quiet = is_quiet(c), writing = reply_waits(c) && !c->dead;

    if (quiet != (FD_ISSET(fd, &quiet_fds) != 0)) {
        if (quiet)
            FD_SET(fd, &quiet_fds);
        else
            FD_CLR(fd, &quiet_fds);
        quiet_count += quiet ? 1 : -1;
        vlsrv_conn_changed = 1;
    }
    if (writing != (FD_ISSET(fd, &writing_fds) != 0)) {
        if (writing)
            FD_SET(fd, &writing_fds);
        else
            FD_CLR(fd, &writing_fds);
        writing_count += writing ? 1 : -1;
        vlsrv_conn_changed = 1;
    }
}

static bool_t conn_recv(SVCXPRT* xprt, struct rpc_msg* msg)
{
    struct connection* c = connection_of(xprt);

    finish_record(c);
    if (c->dead || is_quiet(c) || !record_ready(c, 1))
        return FALSE;
    xdrmem_create(&c->in, c->record, (u_int)c->record_len, XDR_DECODE);
    c->served = 1;
    if (!xdr_callmsg(&c->in, msg)) {
        c->dead = 1;
        return FALSE;
    }
    c->xid = msg->rm_xid;
    return TRUE;
}

/* After each call: a further record already read is served at once, as
 * the socket may hold nothing more that would wake the loop for it;
 * unless the reply waits for the peer or a child serves the call, which
 * the connection's next call waits for. */
static enum xprt_stat conn_stat(SVCXPRT* xprt)
{
    struct connection* c = connection_of(xprt);

    finish_record(c);
    if (c->dead)
        return XPRT_DIED;
    if (is_quiet(c))
        return XPRT_IDLE;
    if (record_ready(c, 0))
        return XPRT_MOREREQS;
    return c->dead ? XPRT_DIED : XPRT_IDLE;
}

static bool_t conn_getargs(SVCXPRT* xprt, xdrproc_t xdr_args, void* args)
{
    struct connection* c = connection_of(xprt);

    SVCAUTH* auth = &SVC_XP_AUTH(xprt);

    if (!c->served)
        return FALSE;
    if (auth->svc_ah_ops == NULL)
        return xdr_args(&c->in, args);
    return SVCAUTH_UNWRAP(auth, &c->in, xdr_args, (caddr_t)args);
}

static bool_t conn_freeargs(SVCXPRT* xprt, xdrproc_t xdr_args, void* args)
{
    XDR release;

    (void)xprt;
    memset(&release, 0, sizeof release);
    release.x_op = XDR_FREE;
    return xdr_args(&release, args);
}

/* The results of a successful call, through the call's authentication. */
static bool_t wrap_results(SVCXPRT* xprt, xdrproc_t results, caddr_t where)
{
    SVCAUTH* auth = &SVC_XP_AUTH(xprt);

    if (auth->svc_ah_ops == NULL)
        return results(&connection_of(xprt)->out, where);
    return SVCAUTH_WRAP(auth, &connection_of(xprt)->out, results, where);
}

/* Encodes the reply as the library's connection transport does. */
static bool_t conn_reply(SVCXPRT* xprt, struct rpc_msg* msg)
{
    struct connection* c = connection_of(xprt);
    xdrproc_t results = NULL;
    caddr_t where = NULL;
    bool_t ok;

    if (msg->rm_reply.rp_stat == MSG_ACCEPTED && msg->rm_reply.rp_acpt.ar_stat == SUCCESS) {
        results = msg->acpted_rply.ar_results.proc;
        where = msg->acpted_rply.ar_results.where;
        msg->acpted_rply.ar_results.proc = (xdrproc_t)(void (*)(void))xdr_void;
        msg->acpted_rply.ar_results.where = NULL;
    }
    msg->rm_xid = c->xid;
    c->out.x_op = XDR_ENCODE;
    ok = xdr_replymsg(&c->out, msg) && (results == NULL || wrap_results(xprt, results, where));
    (void)xdrrec_endofrecord(&c->out, TRUE);
    return ok && !c->dead;
}

/* Takes the connection out of the table, the loop's sets and the count
 * of held memory, and releases what it holds. */
static void forget_connection(struct connection* c)
{
    int fd = c->xprt.xp_fd;

    c->dead = 1;
    c->child = 0;
    drop_pending(c);
    note_state(c);
    connections[fd] = NULL;
    while (connection_top > 0 && connections[connection_top - 1] == NULL)
        connection_top--;
    finish_record(c);
    drop_record(c);
    xdr_destroy(&c->out);
    free(c->raw);
    free(c);
}

static void conn_destroy(SVCXPRT* xprt)
{
    int fd = xprt->xp_fd;

    xprt_unregister(xprt);
    forget_connection(connection_of(xprt));
    close(fd);
}

static bool_t conn_control(SVCXPRT* xprt, const u_int request, void* info)
{
    (void)xprt;
    (void)request;
    (void)info;
    return FALSE;
}

static const struct xp_ops conn_ops = {conn_recv,  conn_stat,     conn_getargs,
                                       conn_reply, conn_freeargs, conn_destroy};
static const struct xp_ops2 conn_ops2 = {conn_control};

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
    if (c->pending_end + len > c->pending_cap) {
        size_t cap = c->pending_cap > 0 ? c->pending_cap : VL_CONN_SEND_SIZE;
        char* grown;

        while (cap < c->pending_end + len)
            cap *= 2;
        if (!make_room(c, cap - c->pending_cap) || (grown = realloc(c->pending, cap)) == NULL)
            return 0;
        held_bytes += cap - c->pending_cap;
        c->pending = grown;
        c->pending_cap = cap;
    }
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
            reset_on_close(c->xprt.xp_fd);
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
static int write_socket(void* handle, void* buf, int len)
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
    if (!reply_waits(c)) {
        sent = send_now(c, buf, (size_t)len);
        if (sent == len)
            return len;
        if (sent < 0) {
            c->dead = 1;
            return -1;
        }
        c->progress_ms = now_ms();
    }
    if (!keep_pending(c, (const char*)buf + sent, (size_t)(len - sent))) {
        c->dead = 1;
        return -1;
    }
    note_state(c);
    return len;
}

/* The reply stream never reads. */
static int read_nothing(void* handle, void* buf, int len)
{
    (void)handle;
    (void)buf;
    (void)len;
    return -1;
}

/* Both ends of the connection, as the library's callers find them. */
static void note_addresses(struct connection* c, int fd)
{
    SVCXPRT* xprt = &c->xprt;
    socklen_t len = sizeof c->remote;

    if (getpeername(fd, (struct sockaddr*)&c->remote, &len) != 0)
        len = 0;
    xprt->xp_rtaddr.buf = &c->remote;
    xprt->xp_rtaddr.len = len;
    xprt->xp_rtaddr.maxlen = sizeof c->remote;
    xprt->xp_addrlen = (int)(len < sizeof xprt->xp_raddr ? len : sizeof xprt->xp_raddr);
    memcpy(&xprt->xp_raddr, &c->remote, (size_t)xprt->xp_addrlen);
    len = sizeof c->local;
    if (getsockname(fd, (struct sockaddr*)&c->local, &len) != 0)
        len = 0;
    xprt->xp_ltaddr.buf = &c->local;
    xprt->xp_ltaddr.len = len;
    xprt->xp_ltaddr.maxlen = sizeof c->local;
    if (c->local.ss_family == AF_INET)
        xprt->xp_port = ntohs(((struct sockaddr_in*)&c->local)->sin_port);
    else if (c->local.ss_family == AF_INET6)
        xprt->xp_port = ntohs(((struct sockaddr_in6*)&c->local)->sin6_port);
}

/* The stall time of a waiting reply: the environment's, else the
 * runtime's. */
static long stall_time_ms(void)
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

SVCXPRT* vlsrv_conn_create(int fd, u_int max_record)
{
    struct connection* c;

    if (fd < 0 || fd >= FD_SETSIZE)
        return NULL;
    c = calloc(1, sizeof *c);
    if (c == NULL || (c->raw = malloc(VL_CONN_CHUNK)) == NULL) {
        free(c);
        return NULL;
    }
    c->max_record = max_record;
    c->stall_ms = stall_time_ms();
    c->xprt.xp_fd = fd;
    c->xprt.xp_ops = &conn_ops;
    c->xprt.xp_ops2 = &conn_ops2;
    c->xprt.xp_netid = (char*)"tcp";
    c->xprt.xp_p1 = c;
    c->xprt.xp_p3 = &c->ext;
    note_addresses(c, fd);
    xdrrec_create(&c->out, VL_CONN_SEND_SIZE, 0, c, read_nothing, write_socket);
    if (c->out.x_private == NULL) {
        free(c->raw);
        free(c);
        return NULL;
    }
    /* A connection of the same number that is still in the table was
     * closed without its transport, as a forked child closes those it
     * inherits. */
    if (connections[fd] != NULL)
        forget_connection(connections[fd]);
    connections[fd] = c;
    if (fd >= connection_top)
        connection_top = fd + 1;
    xprt_register(&c->xprt);
    return &c->xprt;
}

/* ---- What the loop asks of the connections ---- */

static struct connection* ours(SVCXPRT* xprt)
{
    return xprt != NULL && xprt->xp_ops == &conn_ops ? connection_of(xprt) : NULL;
}

/* Lets the RPC library serve the connection again: a record read already
 * is served at once. The connection may be gone afterwards. */
static void serve_again(struct connection* c) { svc_getreq_common(c->xprt.xp_fd); }

/* Writes what the socket takes of the waiting reply; once it is all out,
 * the connection's next call is served. */
static void flush_pending(struct connection* c)
{
    ssize_t n = c->dead ? -1 : send_now(c, c->pending + c->pending_at, c->pending_end - c->pending_at);

    if (n < 0) {
        SVC_DESTROY(&c->xprt);
        return;
    }
    if (n > 0) {
        c->pending_at += (size_t)n;
        c->progress_ms = now_ms();
    }
    if (reply_waits(c))
        return;
    drop_pending(c);
    note_state(c);
    serve_again(c);
}

/* Closes the connections whose waiting reply has made no progress for
 * their stall time; the time until the next one would be due, in ms, or
 * -1 when no reply waits. */
static long long expire_stalled(int close_due)
{
    long long now = now_ms(), next = -1;
    int fd;

    for (fd = 0; writing_count > 0 && fd < connection_top; fd++) {
        struct connection* c = connections[fd];
        long long left;

        if (c == NULL || !FD_ISSET(fd, &writing_fds))
            continue;
        left = c->progress_ms + c->stall_ms - now;
        if (left <= 0 && close_due) {
            reset_on_close(fd);
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

int vlsrv_conn_waits(void) { return writing_count > 0 || wake_pipe[0] >= 0; }

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
    for (fd = 0; writing_count > 0 && fd < connection_top; fd++)
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
    for (fd = 0; fd < connection_top; fd++) {
        struct connection* c = connections[fd];

        if (c != NULL && c->released) {
            c->released = 0;
            note_state(c);
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
    for (fd = 0; wr != NULL && fd < connection_top; fd++)
        if (FD_ISSET(fd, &writable) && FD_ISSET(fd, wr) && connections[fd] != NULL &&
            reply_waits(connections[fd]))
            flush_pending(connections[fd]);
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
    return 1;
}

void vlsrv_conn_hold(SVCXPRT* xprt, pid_t child)
{
    struct connection* c = ours(xprt);

    if (c == NULL || !open_wake_pipe())
        return;
    c->child = child;
    note_state(c);
}

void vlsrv_conn_child_ended(pid_t pid)
{
    int fd;

    for (fd = 0; fd < connection_top; fd++) {
        struct connection* c = connections[fd];

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
    struct connection* c = ours(xprt);

    if (c != NULL)
        c->write_through = 1;
}
