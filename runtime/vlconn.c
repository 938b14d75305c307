/* The runtime's own transport for accepted TCP connections.
 *
 * The RPC library's connection transport reads a record with blocking
 * reads, so a client that sends part of a call stops a server that serves
 * in place until that client goes on; and its non-blocking mode takes the
 * first fragment of a record for the whole record. This transport reads
 * only what the socket holds at the time, keeps a record's fragments until
 * the last one is in, and only then lets the library decode the call
 * header and run its dispatch. Replies leave as the library's own
 * connection transport writes them: records of 64 KiB fragments. */
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <rpc/rpc.h>
#include <rpc/svc_mt.h>

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
};

static struct connection* connection_of(SVCXPRT* xprt) { return (struct connection*)xprt->xp_p1; }

/* Room for at least need bytes of record; 0 when memory is short. */
static int reserve_record(struct connection* c, size_t need)
{
    size_t cap = c->record_cap > 0 ? c->record_cap : 4096;
    char* grown;

    if (need <= c->record_cap)
        return 1;
    while (cap < need)
        cap *= 2;
    grown = realloc(c->record, cap);
    if (grown == NULL)
        return 0;
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
    if (c->record_cap > VL_CONN_KEPT_RECORD && c->record_cap > 4 * c->record_len) {
        free(c->record);
        c->record = NULL;
        c->record_cap = 0;
    }
    c->record_len = 0;
}

static bool_t conn_recv(SVCXPRT* xprt, struct rpc_msg* msg)
{
    struct connection* c = connection_of(xprt);

    finish_record(c);
    if (c->dead || !record_ready(c, 1))
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
 * the socket may hold nothing more that would wake the loop for it. */
static enum xprt_stat conn_stat(SVCXPRT* xprt)
{
    struct connection* c = connection_of(xprt);

    finish_record(c);
    if (c->dead)
        return XPRT_DIED;
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

static void conn_destroy(SVCXPRT* xprt)
{
    struct connection* c = connection_of(xprt);

    xprt_unregister(xprt);
    close(xprt->xp_fd);
    finish_record(c);
    xdr_destroy(&c->out);
    free(c->record);
    free(c->raw);
    free(c);
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

/* Writes a piece of a reply record; a connection that cannot take it is
 * dead. Blocks while the peer's window is full, as the library does. */
static int write_socket(void* handle, void* buf, int len)
{
    struct connection* c = handle;
    const char* at = buf;
    int left = len;

    while (left > 0) {
        ssize_t n = send(c->xprt.xp_fd, at, (size_t)left, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            c->dead = 1;
            return -1;
        }
        at += n;
        left -= (int)n;
    }
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

SVCXPRT* vl_conn_create(int fd, u_int max_record)
{
    struct connection* c = calloc(1, sizeof *c);

    if (c == NULL || (c->raw = malloc(VL_CONN_CHUNK)) == NULL) {
        free(c);
        return NULL;
    }
    c->max_record = max_record;
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
    xprt_register(&c->xprt);
    return &c->xprt;
}
