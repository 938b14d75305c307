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
 * socket cannot take at once waits for the peer (vlconnwait.c), and the
 * memory that partial records and waiting replies hold is bounded over
 * all connections together (vlconnmem.c). */
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <rpc/rpc.h>
#include <rpc/svc_mt.h>

#include "vlconn.h"
#include "vlconn_state.h"

/* Bytes one read takes from the socket. */
#define VL_CONN_CHUNK 65536
/* Bytes a connection may read in one serving pass before it lets the loop
 * serve the others: a peer that sends without end (fragments of length 0
 * never reach the record bound) cannot keep the loop for itself. */
#define VL_CONN_PASS_BYTES (16 * VL_CONN_CHUNK)
/* The record buffer a connection keeps between calls: one of this size,
 * or one that the record just served used at least a quarter of, so that
 * a client that calls with large records again and again finds its buffer
 * ready (fresh memory costs a page fault per page). Another is released
 * once its call is done. */
#define VL_CONN_KEPT_RECORD 65536

#define LAST_FRAGMENT 0x80000000u

struct connection* vlsrv_conn_table[FD_SETSIZE];
int vlsrv_conn_top = 0;

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
            if (!vlsrv_conn_reserve_record(c, c->record_len + take))
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
        if (!vlsrv_conn_reserve_record(c, c->record_len + VL_CONN_CHUNK))
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
        vlsrv_conn_drop_record(c);
    c->record_len = 0;
}

static bool_t conn_recv(SVCXPRT* xprt, struct rpc_msg* msg)
{
    struct connection* c = vlsrv_connection_of(xprt);

    finish_record(c);
    if (c->dead || vlsrv_conn_is_quiet(c) || !record_ready(c, 1))
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
    struct connection* c = vlsrv_connection_of(xprt);

    finish_record(c);
    if (c->dead)
        return XPRT_DIED;
    if (vlsrv_conn_is_quiet(c))
        return XPRT_IDLE;
    if (record_ready(c, 0))
        return XPRT_MOREREQS;
    return c->dead ? XPRT_DIED : XPRT_IDLE;
}

static bool_t conn_getargs(SVCXPRT* xprt, xdrproc_t xdr_args, void* args)
{
    struct connection* c = vlsrv_connection_of(xprt);

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
        return results(&vlsrv_connection_of(xprt)->out, where);
    return SVCAUTH_WRAP(auth, &vlsrv_connection_of(xprt)->out, results, where);
}

/* Encodes the reply as the library's connection transport does. */
static bool_t conn_reply(SVCXPRT* xprt, struct rpc_msg* msg)
{
    struct connection* c = vlsrv_connection_of(xprt);
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
    vlsrv_conn_drop_pending(c);
    vlsrv_conn_note_state(c);
    vlsrv_conn_table[fd] = NULL;
    while (vlsrv_conn_top > 0 && vlsrv_conn_table[vlsrv_conn_top - 1] == NULL)
        vlsrv_conn_top--;
    finish_record(c);
    vlsrv_conn_drop_record(c);
    xdr_destroy(&c->out);
    free(c->raw);
    free(c);
}

static void conn_destroy(SVCXPRT* xprt)
{
    int fd = xprt->xp_fd;

    xprt_unregister(xprt);
    forget_connection(vlsrv_connection_of(xprt));
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
    c->stall_ms = vlsrv_conn_stall_time_ms();
    c->xprt.xp_fd = fd;
    c->xprt.xp_ops = &conn_ops;
    c->xprt.xp_ops2 = &conn_ops2;
    c->xprt.xp_netid = (char*)"tcp";
    c->xprt.xp_p1 = c;
    c->xprt.xp_p3 = &c->ext;
    note_addresses(c, fd);
    xdrrec_create(&c->out, VL_CONN_SEND_SIZE, 0, c, read_nothing, vlsrv_conn_write);
    if (c->out.x_private == NULL) {
        free(c->raw);
        free(c);
        return NULL;
    }
    /* A connection of the same number that is still in the table was
     * closed without its transport, as a forked child closes those it
     * inherits. */
    if (vlsrv_conn_table[fd] != NULL)
        forget_connection(vlsrv_conn_table[fd]);
    vlsrv_conn_table[fd] = c;
    if (fd >= vlsrv_conn_top)
        vlsrv_conn_top = fd + 1;
    xprt_register(&c->xprt);
    return &c->xprt;
}

struct connection* vlsrv_conn_of(SVCXPRT* xprt)
{
    return xprt != NULL && xprt->xp_ops == &conn_ops ? vlsrv_connection_of(xprt) : NULL;
}
