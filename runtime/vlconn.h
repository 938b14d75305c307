/* Connection transport of the server runtime: private to the runtime's
 * sources, not installed. */
#ifndef VLCONN_H
#define VLCONN_H

#include <sys/select.h>
#include <sys/time.h>
#include <sys/types.h>
#include <rpc/rpc.h>

/* Makes a transport of connected stream socket fd and registers it with the
 * RPC library, which then serves its calls from svc_getreqset like those of
 * any other transport. The transport reads without ever blocking: it
 * gathers the fragments of a record as they arrive, however many there
 * are, and hands a call to the library only when its record is whole. A
 * record longer than max_record bytes, a broken call header, the peer's
 * close or a failed read or write ends the connection. A reply that the
 * socket cannot take at once waits in the connection, which has no further
 * call served until the reply is out; it is closed when its peer takes
 * nothing of the reply for the stall time. The records and waiting replies
 * of all connections together stay within VL_MAX_HELD_BYTES. Null when
 * memory is short or fd is beyond FD_SETSIZE; fd is then left as it was. */
SVCXPRT* vlsrv_conn_create(int fd, u_int max_record);

/* Set when the connections the loop must not read or must wait on to
 * write have changed: the loop then makes its wait again, and clears it. */
extern int vlsrv_conn_changed;
/* Non-zero while a connection needs the loop: a reply waits, or a child
 * has served a connection's call (the loop then watches for its end). */
extern int vlsrv_conn_waits;
/* Clears in the first descriptors below n of set the connections that are
 * not to be read now. */
void vlsrv_conn_leave_out_quiet(fd_set* set, int n);
/* Adds what the connections wait for to a wait: the descriptor that tells
 * of ended children to rd, the connections whose replies wait to wr (and
 * *writes becomes 1 when there is one). One above the highest descriptor
 * added, 0 when none is. */
int vlsrv_conn_add_waits(fd_set* rd, fd_set* wr, int* writes);
/* The time until the stall time of a waiting reply is up, in wait; null
 * when no reply waits. */
struct timeval* vlsrv_conn_stall_left(struct timeval* wait);
/* After a wait with what vlsrv_conn_add_waits added (wr null when the wait
 * had no write set): serves the connections whose child has ended, writes
 * the waiting replies their peers take, closes the stalled connections.
 * Clears in rd the descriptor it reads itself. */
void vlsrv_conn_after_wait(fd_set* rd, const fd_set* wr);
/* In the parent, right after child was forked to serve the call on xprt:
 * the connection's next call waits until the child has ended. Call with
 * SIGCHLD blocked. Transports other than the runtime's are left alone. */
void vlsrv_conn_hold(SVCXPRT* xprt, pid_t child);
/* Called by the reaper for every child that has ended. */
void vlsrv_conn_child_ended(pid_t pid);
/* In a child that serves one call on xprt: its replies are written whole
 * before the child goes on, waiting for the peer as long as it reads. */
void vlsrv_conn_write_through(SVCXPRT* xprt);

#endif /* VLCONN_H */
