#include "fuzz_wire.h"

#include <stdlib.h>
#include <string.h>

int fuzz_encode(xdrproc_t filter, void *value, char **bytes, u_int *length)
{
	XDR xdrs;
	unsigned long size = xdr_sizeof(filter, value);

	/* A size of 0 is a value that encodes to nothing, or one the sizing
	 * pass refused: the encoding below tells them apart. */
	*length = 0;
	*bytes = malloc(size ? size : 1);
	FUZZ_CHECK(*bytes != 0);
	xdrmem_create(&xdrs, *bytes, (u_int)size, XDR_ENCODE);
	if (!filter(&xdrs, value)) {
		free(*bytes);
		*bytes = 0;
		return 0;
	}
	/* The sizing pass and the encoding walk the same value. */
	FUZZ_CHECK(xdr_getpos(&xdrs) == size);
	*length = (u_int)size;
	return 1;
}

int fuzz_decode(xdrproc_t filter, void *value, const void *bytes, size_t length)
{
	XDR xdrs;
	int decoded;

	xdrmem_create(&xdrs, (char *)bytes, (u_int)length, XDR_DECODE);
	decoded = filter(&xdrs, value);
	xdr_destroy(&xdrs);
	return decoded;
}

void fuzz_free(xdrproc_t filter, void *value)
{
	xdr_free(filter, value);
}

/* ---- Server transport ---- */

static const uint8_t *request_bytes;
static size_t request_length;
static int replies;

static bool_t transport_getargs(SVCXPRT *xprt, xdrproc_t filter, void *where)
{
	(void)xprt;
	return fuzz_decode(filter, where, request_bytes, request_length);
}

static bool_t transport_freeargs(SVCXPRT *xprt, xdrproc_t filter, void *where)
{
	(void)xprt;
	fuzz_free(filter, where);
	return TRUE;
}

/* Only an accepted, successful reply carries results. */
static bool_t transport_reply(SVCXPRT *xprt, struct rpc_msg *msg)
{
	char *bytes;
	u_int length;
	int encoded;

	(void)xprt;
	++replies;
	if (msg->rm_reply.rp_stat != MSG_ACCEPTED || msg->acpted_rply.ar_stat != SUCCESS)
		return TRUE;
	encoded = fuzz_encode(msg->acpted_rply.ar_results.proc,
	                      (void *)msg->acpted_rply.ar_results.where, &bytes, &length);
	free(bytes);
	return encoded;
}

static bool_t transport_recv(SVCXPRT *xprt, struct rpc_msg *msg)
{
	(void)xprt;
	(void)msg;
	return FALSE;
}

static enum xprt_stat transport_stat(SVCXPRT *xprt)
{
	(void)xprt;
	return XPRT_IDLE;
}

static void transport_destroy(SVCXPRT *xprt)
{
	(void)xprt;
}

static const struct xp_ops transport_ops = {
	transport_recv, transport_stat, transport_getargs, transport_reply, transport_freeargs,
	transport_destroy,
};

SVCXPRT *fuzz_transport(const uint8_t *bytes, size_t length)
{
	static SVCXPRT transport;

	memset(&transport, 0, sizeof transport);
	transport.xp_fd = -1;
	transport.xp_ops = &transport_ops;
	request_bytes = bytes;
	request_length = length;
	replies = 0;
	return &transport;
}

int fuzz_transport_replies(void)
{
	return replies;
}

/* ---- Client handle ---- */

static const uint8_t *reply_bytes;
static size_t reply_length;

/* The arguments travel first (an argument the caller gave must encode),
 * then the results decode from the reply, as a real handle does once the
 * reply header is read. */
static enum clnt_stat client_call(CLIENT *client, rpcproc_t proc, xdrproc_t encode_args,
                                  void *args, xdrproc_t decode_results, void *results,
                                  struct timeval timeout)
{
	char *bytes;
	u_int length;

	(void)client;
	(void)proc;
	(void)timeout;
	if (!fuzz_encode(encode_args, args, &bytes, &length))
		return RPC_CANTENCODEARGS;
	free(bytes);
	if (!fuzz_decode(decode_results, results, reply_bytes, reply_length))
		return RPC_CANTDECODERES;
	return RPC_SUCCESS;
}

static void client_abort(CLIENT *client)
{
	(void)client;
}

static void client_geterr(CLIENT *client, struct rpc_err *error)
{
	(void)client;
	memset(error, 0, sizeof *error);
}

static bool_t client_freeres(CLIENT *client, xdrproc_t filter, void *results)
{
	(void)client;
	fuzz_free(filter, results);
	return TRUE;
}

static void client_destroy(CLIENT *client)
{
	(void)client;
}

static bool_t client_control(CLIENT *client, u_int request, void *info)
{
	(void)client;
	(void)request;
	(void)info;
	return TRUE;
}

static struct clnt_ops client_ops = {
	client_call, client_abort, client_geterr, client_freeres, client_destroy, client_control,
};

CLIENT *fuzz_client(void)
{
	static CLIENT client;

	client.cl_ops = &client_ops;
	return &client;
}

void fuzz_client_reply(const uint8_t *bytes, size_t length)
{
	reply_bytes = bytes;
	reply_length = length;
}

/* Kept in a global so that the reads are not optimised away. */
unsigned fuzz_seen;

void fuzz_see(const void *bytes, size_t length)
{
	const unsigned char *p = bytes;

	while (length-- > 0)
		fuzz_seen += *p++;
}

uint32_t fuzz_take(const uint8_t **data, size_t *size, unsigned bytes)
{
	uint32_t value = 0;

	while (bytes-- > 0 && *size > 0) {
		value = value << 8 | **data;
		++*data;
		--*size;
	}
	return value;
}
