/* Connection transport of the server runtime: private to the runtime's
 * sources, not installed. */
#ifndef VLCONN_H
#define VLCONN_H

#include <rpc/rpc.h>

/* Makes a transport of connected stream socket fd and registers it with the
 * RPC library, which then serves its calls from svc_getreqset like those of
 * any other transport. The transport reads without ever blocking: it
 * gathers the fragments of a record as they arrive, however many there
 * are, and hands a call to the library only when its record is whole. A
 * record longer than max_record bytes, a broken call header, the peer's
 * close or a failed read or write ends the connection. Null when memory is
 * short; fd is then left as it was. */
SVCXPRT* vl_conn_create(int fd, u_int max_record);

#endif /* VLCONN_H */
