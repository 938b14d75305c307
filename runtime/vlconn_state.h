/* The state of the runtime's connections, which the files of the
 * connection transport share: private to them, not installed. Every name
 * starts with vlsrv_ so that none meets a name of the program linked with
 * the runtime.
 *
 * vlconn.c      reading records, the transport's operations, creation
 * vlconnmem.c   the bound of the memory all connections hold
 * vlconnwait.c  replies that wait for their peer, children that serve a
 *               connection's call, and what the loop asks of both */
#ifndef VLCONN_STATE_H
#define VLCONN_STATE_H

#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>

#include <rpc/rpc.h>
#include <rpc/svc_mt.h>

/* Reply fragments, as the library writes them by default. */
#define VL_CONN_SEND_SIZE 65536

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

/* Every connection by its descriptor, for the loop and the memory bound;
 * no descriptor at or above vlsrv_conn_top has one. */
extern struct connection* vlsrv_conn_table[FD_SETSIZE];
extern int vlsrv_conn_top;

/* The runtime's connection of xprt; null for a transport of another kind. */
struct connection* vlsrv_conn_of(SVCXPRT* xprt);

static inline struct connection* vlsrv_connection_of(SVCXPRT* xprt)
{
    return (struct connection*)xprt->xp_p1;
}

static inline long long vlsrv_conn_now_ms(void)
{
    struct timespec now;

    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* The connection's close, whenever it comes, resets it and drops what its
 * socket has not sent: the peer of a connection closed for what it does,
 * or does not, read learns of it at once, and the system keeps nothing
 * of it for a peer that would never take it. */
static inline void vlsrv_conn_reset_on_close(int fd)
{
    struct linger reset = {1, 0};

    (void)setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

static inline int vlsrv_conn_reply_waits(const struct connection* c)
{
    return c->pending_end > c->pending_at;
}

/* A connection whose reply waits, or whose call a child serves, has no
 * further call served until that is over. */
static inline int vlsrv_conn_is_quiet(const struct connection* c)
{
    return vlsrv_conn_reply_waits(c) || c->child != 0;
}

/* ---- Held memory (vlconnmem.c) ---- */

/* Room for at least need bytes of record, respectively of waiting reply;
 * 0 when memory is short or the bound of held memory leaves none. */
int vlsrv_conn_reserve_record(struct connection* c, size_t need);
int vlsrv_conn_reserve_pending(struct connection* c, size_t need);
/* Releases the record, respectively the reply buffer. */
void vlsrv_conn_drop_record(struct connection* c);
void vlsrv_conn_drop_pending(struct connection* c);

/* ---- Waiting replies and children (vlconnwait.c) ---- */

/* Brings the loop's sets up to date with the connection's state. */
void vlsrv_conn_note_state(struct connection* c);
/* The write function of the connection's reply stream. */
int vlsrv_conn_write(void* handle, void* buf, int len);
/* The stall time of a waiting reply, in ms. */
long vlsrv_conn_stall_time_ms(void);

#endif /* VLCONN_STATE_H */
