/* Client side of the runtime: client handles for a given host, port and
 * protocol, the status of the last call, and plain socket connections. */
#include <errno.h>
#include <netdb.h>
#include <string.h>
#include <unistd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "velorin.h"

/* Total call timeout of every handle made here, until the caller sets
 * another one. */
#define VL_CLNT_TIMEOUT_SEC 25
/* Retry interval of UDP handles. */
#define VL_UDP_RETRY_SEC 5

/* Looks host up; fills addr with its first IPv4 address and port.
 * Returns 0 on success, -1 when the host is unknown, -2 when it does not
 * resolve to a 4-byte IPv4 address (the only family handled here). */
static int vl_resolve_ipv4(const char* host, u_short port, struct sockaddr_in* addr)
{
    struct hostent* h;

    if (host == NULL)
        return -1;
    h = gethostbyname(host);
    if (h == NULL)
        return -1;
    if (h->h_addrtype != AF_INET || h->h_length != (int)sizeof addr->sin_addr ||
        h->h_addr_list == NULL || h->h_addr_list[0] == NULL)
        return -2;

    memset(addr, 0, sizeof *addr);
    addr->sin_family = AF_INET;
    addr->sin_port = htons(port);
    memcpy(&addr->sin_addr, h->h_addr_list[0], sizeof addr->sin_addr);
    return 0;
}

static void vl_set_createerr(enum clnt_stat status, int err)
{
    rpc_createerr.cf_stat = status;
    rpc_createerr.cf_error.re_errno = err;
}

CLIENT* vl_clnt_create(const char* hostname, u_short port, u_long prog, u_long vers,
                       const char* proto, u_int sendsz, u_int recvsz)
{
    struct sockaddr_in addr;
    struct protoent* pe;
    int sock = RPC_ANYSOCK;
    CLIENT* handle;
    struct timeval timeout;

    switch (vl_resolve_ipv4(hostname, port, &addr)) {
    case -1:
        rpc_createerr.cf_stat = RPC_UNKNOWNHOST;
        return NULL;
    case -2:
        vl_set_createerr(RPC_SYSTEMERROR, EAFNOSUPPORT);
        return NULL;
    }

    pe = proto != NULL ? getprotobyname(proto) : NULL;
    if (pe == NULL) {
        vl_set_createerr(RPC_UNKNOWNPROTO, EAFNOSUPPORT);
        return NULL;
    }

    /* With RPC_ANYSOCK the library makes and connects the socket; a port
     * of 0 makes it ask the host's portmapper first. */
    switch (pe->p_proto) {
    case IPPROTO_TCP:
        handle = clnttcp_create(&addr, prog, vers, &sock, sendsz, recvsz);
        break;
    case IPPROTO_UDP: {
        struct timeval retry = {VL_UDP_RETRY_SEC, 0};
        handle = clntudp_create(&addr, prog, vers, retry, &sock);
        break;
    }
    default:
        vl_set_createerr(RPC_SYSTEMERROR, EAFNOSUPPORT);
        return NULL;
    }
    if (handle == NULL)
        return NULL;

    timeout.tv_sec = VL_CLNT_TIMEOUT_SEC;
    timeout.tv_usec = 0;
    clnt_control(handle, CLSET_TIMEOUT, (char*)&timeout);
    return handle;
}

enum clnt_stat vl_clnt_errno(CLIENT* cl)
{
    struct rpc_err err;

    /* A program that never bound has no handle to ask and no call that
     * could have succeeded. */
    if (cl == NULL)
        return RPC_FAILED;
    clnt_geterr(cl, &err);
    return err.re_status;
}

int vl_sock_connect(const char* host, u_short port, int type)
{
    struct sockaddr_in addr;
    int sock;

    if (vl_resolve_ipv4(host, port, &addr) != 0)
        return -1;
    sock = socket(AF_INET, type == 1 ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (sock < 0)
        return sock;
    if (connect(sock, (struct sockaddr*)&addr, sizeof addr) != 0) {
        close(sock);
        return -1;
    }
    return sock;
}
