/* A server written in C the way generated servers are: a dispatcher that
 * fills the call record statement by statement, server wrappers, and a
 * start-up on a fixed port through vl_serv_fd, over TCP and UDP. It shows
 * that velorin.h serves C code built with warnings as errors. */
#include <rpc/rpc.h>
#include <rpc/pmap_clnt.h>
#include <unistd.h>

#include "velorin.h"

#include "c_server.h"

typedef struct {
    int a;
    int b;
} add_in_t;

typedef struct {
    int _vlrpc_return_;
} add_out_t;

static bool_t xdr_add_in_t(XDR* xdrp, add_in_t* padd_in_t)
{
    if (!xdr_int(xdrp, &padd_in_t->a))
        return 0;
    if (!xdr_int(xdrp, &padd_in_t->b))
        return 0;
    return 1;
}

static bool_t xdr_add_out_t(XDR* xdrp, add_out_t* padd_out_t)
{
    if (!xdr_int(xdrp, &padd_out_t->_vlrpc_return_))
        return 0;
    return 1;
}

static void* add_call(add_in_t* in, add_out_t* out)
{
    out->_vlrpc_return_ = in->a + in->b;
    return 0;
}

static void* ping_call(void* in, void* out)
{
    (void)in;
    (void)out;
    return 0;
}

static SVCXPRT* tcp_master;
static SVCXPRT* udp_master;

void calc_1(struct svc_req* rqstp, SVCXPRT* txp)
{
    union {
        add_in_t add_OVER;
        int __vlrpc_dummy___;
    } RPC_over;

    union {
        add_out_t add_BACK;
        int __vlrpc_dummy___;
    } RPC_back;

    vlrpc_call_struct callInfo;
    callInfo.ptransport = txp;
    callInfo.pover = (caddr_t)&RPC_over;
    callInfo.pback = (caddr_t)&RPC_back;
    callInfo.reply_now = 0;
    callInfo.mt_on_call = 0;
    callInfo.free_after = 0;
    callInfo.psvc_req = rqstp;
    callInfo.proc = 0;

    switch (rqstp->rq_proc) {
    case NULLPROC:
        svc_sendreply(txp, (xdrproc_t)xdr_void, 0);
        return;

    case CALC_ADD:
        callInfo.xdr_over = (xdrproc_t)xdr_add_in_t;
        callInfo.xdr_back = (xdrproc_t)xdr_add_out_t;
        callInfo.over_size = sizeof(add_in_t);
        callInfo.back_size = sizeof(add_out_t);
        callInfo.local = (local_call_t)add_call;
        callInfo.free_after = (free_call_t)0;
        break;

    case CALC_PING:
        callInfo.xdr_over = (xdrproc_t)xdr_void;
        callInfo.xdr_back = (xdrproc_t)xdr_void;
        callInfo.over_size = 0;
        callInfo.back_size = 0;
        callInfo.local = (local_call_t)ping_call;
        callInfo.free_after = (free_call_t)0;
        callInfo.reply_now = 1;
        callInfo.mt_on_call = VELORIN_THREADING;
        break;

    default:
        svcerr_noproc(txp);
        return;
    }

    vl_serv_call(&callInfo);
}

void calc_1_main(int port)
{
    int sock = RPC_ANYSOCK;

    vl_serv_init();

    sock = vl_serv_fd(port, "tcp");
    tcp_master = svctcp_create(sock, 0, 0);
    if (tcp_master == NULL || !svc_register(tcp_master, CALC_PROG, CALC_VERS, calc_1, 0))
        _exit(98);
    sock = vl_serv_fd(port, "udp");
    udp_master = svcudp_create(sock);
    if (udp_master == NULL || !svc_register(udp_master, CALC_PROG, CALC_VERS, calc_1, 0))
        _exit(98);

    vl_serv_mainloop(tcp_master, udp_master, 0, 1);
}
