/* Server half of the runtime, its centre: execution of one call (in
 * place or in a forked child), the server's start-up and the set-up of its
 * signals. The loop, the handlers, admission of connections, the process
 * models, the asynchronous mode and the server sockets each have a file of
 * their own beside this one, sharing their state through vlsrv.h. No
 * thread is ever started: every form of concurrency is a forked process. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vlconn.h"
#include "vlsrv.h"

/* ------------------------------------------------------------------ */
/* Call execution                                                      */
/* ------------------------------------------------------------------ */

/* Sends the reply; a reply that cannot be sent is answered with a system
 * error so that the client learns of it. */
static void send_reply(SVCXPRT* xprt, xdrproc_t xdr_back, caddr_t pback)
{
    if (!svc_sendreply(xprt, xdr_back, pback))
        svcerr_systemerr(xprt);
}

/* Releases what decoding allocated inside the argument record. A call
 * without arguments has nothing to release. */
static void free_arguments(const vlrpc_call_struct* info)
{
    if (info->xdr_over == (xdrproc_t)(void (*)(void))xdr_void)
        return;
    if (!svc_freeargs(info->ptransport, info->xdr_over, info->pover)) {
        fprintf(stderr, "Unable to free arguments.\n");
        exit(1);
    }
}

static void zero_record(caddr_t record, int size)
{
    if (size > 0)
        memset(record, 0, (size_t)size);
}

/* Runs a call whose arguments are decoded: reply (before or after the
 * call), the call itself, the release of the result and the arguments.
 * Inline: it is the whole of a call served in place, the common case. */
static inline __attribute__((always_inline)) void run_decoded_call(vlrpc_call_struct* info)
{
    if (info->reply_now) {
        zero_record(info->pback, info->back_size);
        send_reply(info->ptransport, info->xdr_back, info->pback);
        (void)info->local(info->pover, info->pback);
    } else if (info->local(info->pover, info->pback) != 0) {
        /* A non-null result: the call could not run (a generated wrapper
         * whose result buffers could not be allocated). The client learns
         * of it as a system error instead of a reply that holds nothing. */
        svcerr_systemerr(info->ptransport);
    } else {
        send_reply(info->ptransport, info->xdr_back, info->pback);
    }
    if (info->free_after != 0)
        info->free_after(info->pback);
    free_arguments(info);
}

void vl_serv_call(vlrpc_call_struct* info)
{
    pid_t pid;

    zero_record(info->pover, info->over_size);
    if (!svc_getargs(info->ptransport, info->xdr_over, info->pover)) {
        svcerr_decode(info->ptransport);
        /* A decode that failed half-way may have allocated buffers inside
         * the record; since the record was zeroed first, the free pass
         * releases exactly those. Malformed requests thus cost nothing. */
        (void)svc_freeargs(info->ptransport, info->xdr_over, info->pover);
        return;
    }
    if (info->mt_on_call == 0) {
        run_decoded_call(info);
        return;
    }
    pid = vlsrv_fork_for_call(info->ptransport);
    if (pid == 0) {
        run_decoded_call(info);
        exit(0);
    }
    /* A call that cannot run is told to the client instead of letting it
     * wait for its timeout. */
    if (pid < 0)
        svcerr_systemerr(info->ptransport);
    free_arguments(info);
}

/* ------------------------------------------------------------------ */
/* Start-up and signal set-up                                          */
/* ------------------------------------------------------------------ */

int vlsrv_uninitialised = 1;

void vlsrv_install_signal_handler(int sig, void (*handler)(int),
                                  void (*info_handler)(int, siginfo_t*, void*), int flags)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    if (info_handler != NULL) {
        action.sa_sigaction = info_handler;
        flags |= SA_SIGINFO;
    } else {
        action.sa_handler = handler;
    }
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, NULL);
}

/* libtirpc writes replies with write(): a reply to a client that has
 * reset its connection would raise SIGPIPE, whose default action ends the
 * server (or the child serving the call). Ignored, the write fails with
 * EPIPE and libtirpc destroys that one transport. A disposition the
 * program chose itself is left as it is. */
static void ignore_sigpipe_by_default(void)
{
    struct sigaction current;

    if (sigaction(SIGPIPE, NULL, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
}

void vl_serv_init(void)
{
    /* A second call clears the existing table rather than replacing it,
     * so a handler running from the table never loses it under its feet. */
    if (vlsrv_handler_table == NULL)
        vlsrv_handler_table = calloc(VL_FD_CAPACITY, sizeof *vlsrv_handler_table);
    else
        memset(vlsrv_handler_table, 0, VL_FD_CAPACITY * sizeof *vlsrv_handler_table);
    vlsrv_handler_limit = 0;
    vlsrv_forget_wait();
    if (vlsrv_handler_table == NULL) {
        /* Stays uninitialised: the main loop reports it and ends. */
        vlrpc_report_event("Memory exhausted!\n");
        return;
    }
    vl_install_sigchld_handler();
    ignore_sigpipe_by_default();
    vlsrv_uninitialised = 0;
}

/* The idle check against a table size the caller has taken already. */
static void validate_below(int n)
{
    if (vlsrv_fdset_empty_below(&svc_fdset, vlsrv_service_bound(n)))
        exit(0);
    if (vlsrv_uninitialised)
        exit(0);
}

void vl_serv_validate(void) { validate_below(vl_getdtablesize()); }
