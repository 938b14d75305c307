/* Public header of the Velorin runtime library libvlrpc. */
#ifndef VELORIN_H
#define VELORIN_H

#include <stdio.h>
#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Server side: call execution, main loop, process models ---- */

/* ---- Client side: client creation, codecs, serialisation, reporting ---- */

/* Report function: called with the text of every runtime report. */
typedef void (*vlrpc_perr_call_t)(char *);

/* Client handle for prog/vers on hostname at port (host byte order; 0 asks
 * the host's portmapper) over the protocol named proto ("tcp" or "udp").
 * sendsz/recvsz are the TCP buffer sizes (0: library defaults). The handle's
 * call timeout is 25 seconds. Null on failure, the reason in rpc_createerr. */
CLIENT *vl_clnt_create(const char *hostname, u_short port, u_long prog,
                       u_long vers, const char *proto, u_int sendsz,
                       u_int recvsz);
/* Status of the last call made on cl. */
enum clnt_stat vl_clnt_errno(CLIENT *cl);
/* Socket connected to host:port: a stream socket when type is 1, else a
 * datagram socket. -1 when the host is unknown or the connection fails. */
int vl_sock_connect(const char *host, u_short port, int type);

/* Arrays and byte strings whose count travels outside the encoded data:
 * *sizep is read, never written; nothing but the elements is on the wire. */
bool_t xdr_array_vl(XDR *xdrs, caddr_t *addrp, u_int *sizep, u_int maxsize,
                    u_int elsize, xdrproc_t elproc);
bool_t xdr_bytes_vl(XDR *xdrs, char **cpp, u_int *sizep, u_int maxsize);

/* Releases ptr, an object of size bytes decoded with proc, and everything
 * proc allocated inside it. A null ptr does nothing. */
void vl_free_reference(xdrproc_t proc, void *ptr, u_int size);
/* Runs xdrproc on pdata over a stdio XDR stream on fp in direction op;
 * returns the filter's result. */
int vl_serialize(FILE *fp, xdrproc_t xdrproc, void *pdata, enum xdr_op op);

/* Hands text unchanged to the installed report function. */
void vlrpc_report_event(char *text);
/* Installs f as the report function; a null f is ignored. */
void vl_set_err_report_func(vlrpc_perr_call_t f);
/* The default report function: writes text to the standard error stream. */
void print_stderr(char *text);

#ifdef __cplusplus
}
#endif

#endif /* VELORIN_H */
