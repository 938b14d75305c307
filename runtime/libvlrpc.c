/* Server half of the runtime: execution of one call (in place or in a
 * forked child), the main loop over the RPC service descriptors and the
 * program's own descriptor handlers, server sockets on a fixed port, and
 * the process models: fork per connection, fork per call, the
 * asynchronous mode and the reaping of ended children. No thread is ever
 * started: every form of concurrency is a forked process. */
#include <errno.h>
#include <netdb.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include "velorin.h"

/* ------------------------------------------------------------------ */
/* Call execution                                                      */
/* ------------------------------------------------------------------ */

/* Sends the reply; a reply that cannot be sent is answered with a system
 * error so that the client learns of it. */
static void send_reply(SVCXPRT *xprt, xdrproc_t xdr_back, caddr_t pback)
{
    if (!svc_sendreply(xprt, xdr_back, pback))
        svcerr_systemerr(xprt);
}

/* Releases what decoding allocated inside the argument record. */
static void free_arguments(const vlrpc_call_struct *info)
{
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
 * call), the call itself, the release of the result and the arguments. */
static void vl_rpc_call_2(vlrpc_call_struct *info)
{
    if (info->reply_now) {
        zero_record(info->pback, info->back_size);
        send_reply(info->ptransport, info->xdr_back, info->pback);
    }
    /* A non-null result: the call could not run (a generated wrapper whose
     * result buffers could not be allocated). The client learns of it as a
     * system error instead of a reply that holds nothing. */
    if (info->local(info->pover, info->pback) != 0) {
        if (!info->reply_now)
            svcerr_systemerr(info->ptransport);
    } else if (!info->reply_now) {
        send_reply(info->ptransport, info->xdr_back, info->pback);
    }
    if (info->free_after != 0)
        info->free_after(info->pback);
    free_arguments(info);
}

void vl_serv_call(vlrpc_call_struct *info)
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
        vl_rpc_call_2(info);
        return;
    }
    pid = fork();
    if (pid == 0) {
        vl_rpc_call_2(info);
        exit(0);
    }
    if (pid < 0) {
        perror("fork");
        /* The call cannot run: tell the client instead of letting it
         * wait for its timeout. */
        svcerr_systemerr(info->ptransport);
    }
    free_arguments(info);
}

/* ------------------------------------------------------------------ */
/* Descriptor table, handlers and descriptor sets                      */
/* ------------------------------------------------------------------ */

/* Descriptors the handler table and every fd_set can hold. */
#define VL_FD_CAPACITY FD_SETSIZE

struct io_handlers {
    void (*input)(int fd);
    void (*output)(int fd);
    void (*exception)(int fd);
};

/* One entry per descriptor number below VL_FD_CAPACITY; null until
 * vl_serv_init. */
static struct io_handlers *ioh_table = NULL;
/* No descriptor at or above this one has a handler: the scans of every
 * pass stop here instead of walking the whole table. Raised by every
 * registration, lowered when the highest handlers are removed. */
static int handler_limit = 0;
/* Non-zero until vl_serv_init has run. */
static int exit_next = 1;

int vl_getdtablesize(void)
{
    struct rlimit limit;

    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return VL_FD_CAPACITY;
    /* A higher (or unlimited) soft limit is cut to what the handler table
     * and the descriptor sets can hold. */
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > VL_FD_CAPACITY)
        return VL_FD_CAPACITY;
    return (int)limit.rlim_cur;
}

static int fd_in_capacity(int fd)
{
    return fd >= 0 && fd < VL_FD_CAPACITY;
}

static int has_handler(const struct io_handlers *entry)
{
    return entry->input != NULL || entry->output != NULL ||
           entry->exception != NULL;
}

/* The handler entry of fd, or null when fd is outside the table or the
 * table does not exist yet. */
static struct io_handlers *handlers_of(int fd)
{
    if (ioh_table == NULL || !fd_in_capacity(fd))
        return NULL;
    return &ioh_table[fd];
}

/* Keeps handler_limit just above the highest descriptor with a handler
 * after the entry of fd has changed. */
static void note_handler_change(int fd)
{
    if (has_handler(&ioh_table[fd])) {
        if (fd >= handler_limit)
            handler_limit = fd + 1;
        return;
    }
    while (handler_limit > 0 && !has_handler(&ioh_table[handler_limit - 1]))
        handler_limit--;
}

void vl_serv_input_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers *entry = handlers_of(fd);

    if (entry != NULL) {
        entry->input = handler;
        note_handler_change(fd);
    }
}

void vl_serv_output_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers *entry = handlers_of(fd);

    if (entry != NULL) {
        entry->output = handler;
        note_handler_change(fd);
    }
}

void vl_serv_exception_handler(int fd, void (*handler)(int fd))
{
    struct io_handlers *entry = handlers_of(fd);

    if (entry != NULL) {
        entry->exception = handler;
        note_handler_change(fd);
    }
}

/* Descriptor sets are walked a word at a time where the C library shows
 * their words (descriptor d is bit d % FDSET_WORD_BITS of word
 * d / FDSET_WORD_BITS), and a descriptor at a time elsewhere. Either way
 * only descriptors below n are looked at. */
#ifdef __FDS_BITS
#define FDSET_WORD_BITS __NFDBITS
#define FDSET_WORD(set, i) (__FDS_BITS(set)[i])

/* The bits of word i that stand for descriptors below n. */
static __fd_mask word_bits_below(int i, int n)
{
    int first = i * FDSET_WORD_BITS;

    if (n >= first + FDSET_WORD_BITS)
        return (__fd_mask)~0UL;
    if (n <= first)
        return 0;
    return (__fd_mask)((1UL << (n - first)) - 1);
}

/* The highest descriptor below n set in set, or -1. */
static int fdset_highest_below(const fd_set *set, int n)
{
    int i;

    for (i = (n + FDSET_WORD_BITS - 1) / FDSET_WORD_BITS - 1; i >= 0; i--) {
        unsigned long word =
            (unsigned long)(FDSET_WORD(set, i) & word_bits_below(i, n));
        if (word != 0)
            return i * FDSET_WORD_BITS + FDSET_WORD_BITS - 1 -
                   __builtin_clzl(word);
    }
    return -1;
}

/* Clears in set every descriptor below n that is not in keep. */
static void fdset_keep_only(fd_set *set, const fd_set *keep, int n)
{
    int i;

    for (i = 0; i * FDSET_WORD_BITS < n; i++)
        FDSET_WORD(set, i) &= FDSET_WORD(keep, i) | ~word_bits_below(i, n);
}

/* to := the descriptors below n of from; nothing at or above n. */
static void fdset_copy_below(fd_set *to, const fd_set *from, int n)
{
    int i;

    FD_ZERO(to);
    for (i = 0; i * FDSET_WORD_BITS < n; i++)
        FDSET_WORD(to, i) = FDSET_WORD(from, i) & word_bits_below(i, n);
}
#else
static int fdset_highest_below(const fd_set *set, int n)
{
    int fd;

    for (fd = n - 1; fd >= 0; fd--)
        if (FD_ISSET(fd, set))
            return fd;
    return -1;
}

static void fdset_keep_only(fd_set *set, const fd_set *keep, int n)
{
    int fd;

    for (fd = 0; fd < n; fd++)
        if (!FD_ISSET(fd, keep))
            FD_CLR(fd, set);
}

static void fdset_copy_below(fd_set *to, const fd_set *from, int n)
{
    int fd;

    FD_ZERO(to);
    for (fd = 0; fd < n; fd++)
        if (FD_ISSET(fd, from))
            FD_SET(fd, to);
}
#endif

static int fdset_empty_below(const fd_set *set, int n)
{
    return fdset_highest_below(set, n) < 0;
}

int vl_fdset_empty(fd_set *set)
{
    return fdset_empty_below(set, vl_getdtablesize());
}

void vl_keep_master_fd(fd_set *set, int fd)
{
    int keep = fd_in_capacity(fd) && FD_ISSET(fd, set);

    FD_ZERO(set);
    if (keep)
        FD_SET(fd, set);
}

/* Closes every descriptor of which, except keep, and removes it from the
 * RPC service set. */
static void close_service_fds(const fd_set *which, int keep)
{
    int n = vl_getdtablesize();
    int fd;

    for (fd = 0; fd < n; fd++) {
        if (fd != keep && FD_ISSET(fd, which)) {
            close(fd);
            FD_CLR(fd, &svc_fdset);
        }
    }
}

void close_fds(int fd)
{
    fd_set service = svc_fdset;

    close_service_fds(&service, fd);
}

/* The lower of two descriptor bounds. */
static int bound(int a, int b)
{
    return a < b ? a : b;
}

/* The wait sets of one pass: the RPC service descriptors plus every
 * descriptor with a handler of the matching kind, all below n. The result
 * is one above the highest descriptor in the sets, the first argument
 * select needs: the kernel then looks at no descriptor that cannot be
 * ready. */
static int merge_fdsets(int n, fd_set *rd, fd_set *wr, fd_set *ex)
{
    int limit = bound(n, handler_limit);
    int top = fdset_highest_below(&svc_fdset, n);
    int fd;

    fdset_copy_below(rd, &svc_fdset, n);
    FD_ZERO(wr);
    FD_ZERO(ex);
    for (fd = 0; fd < limit; fd++) {
        if (!has_handler(&ioh_table[fd]))
            continue;
        if (ioh_table[fd].input != NULL)
            FD_SET(fd, rd);
        if (ioh_table[fd].output != NULL)
            FD_SET(fd, wr);
        if (ioh_table[fd].exception != NULL)
            FD_SET(fd, ex);
        if (fd > top)
            top = fd;
    }
    return top + 1;
}

/* Calls the handlers of the ready descriptors in ascending order. The
 * table and its limit are read afresh before every call: a handler may
 * register or remove handlers of descriptors not yet visited. */
static void handle_ioe(int n, fd_set *rd, fd_set *wr, fd_set *ex)
{
    int fd;

    for (fd = 0; fd < bound(n, handler_limit); fd++) {
        if (FD_ISSET(fd, rd) && ioh_table[fd].input != NULL)
            ioh_table[fd].input(fd);
        if (FD_ISSET(fd, wr) && ioh_table[fd].output != NULL)
            ioh_table[fd].output(fd);
        if (FD_ISSET(fd, ex) && ioh_table[fd].exception != NULL)
            ioh_table[fd].exception(fd);
    }
}

/* ------------------------------------------------------------------ */
/* Children                                                            */
/* ------------------------------------------------------------------ */

/* Reaps every child that has ended. Several children ending together
 * raise one signal only, so one wait per signal would leave zombies;
 * children that stop are not waited for (see the installation). */
static void wait_child(int sig)
{
    int saved_errno = errno;

    (void)sig;
    while (waitpid(-1, NULL, WNOHANG) > 0)
        ;
    errno = saved_errno;
}

int vl_install_sigchld_handler(void)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    action.sa_handler = wait_child;
    sigemptyset(&action.sa_mask);
    /* No signal for a child that only stops: a stopped child must not
     * hold up the server. */
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, NULL);
    return 0;
}

void vl_fork_on_call(int *status)
{
    pid_t pid = fork();

    if (pid < 0)
        *status = -1;
    else if (pid == 0)
        *status = 1;
}

/* ------------------------------------------------------------------ */
/* Start-up, idle check, main loop                                     */
/* ------------------------------------------------------------------ */

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
    if (ioh_table == NULL)
        ioh_table = calloc(VL_FD_CAPACITY, sizeof *ioh_table);
    else
        memset(ioh_table, 0, VL_FD_CAPACITY * sizeof *ioh_table);
    handler_limit = 0;
    if (ioh_table == NULL) {
        /* Stays uninitialised: the main loop reports it and ends. */
        vlrpc_report_event("Memory exhausted!\n");
        return;
    }
    vl_install_sigchld_handler();
    ignore_sigpipe_by_default();
    exit_next = 0;
}

/* The idle check against a table size the caller has taken already. */
static void validate_below(int n)
{
    if (fdset_empty_below(&svc_fdset, n))
        exit(0);
    if (exit_next)
        exit(0);
}

void vl_serv_validate(void)
{
    validate_below(vl_getdtablesize());
}

static int my_fork(fd_set *rd, SVCXPRT *tcp_master, SVCXPRT *udp_master);

void vl_serv_mainloop(SVCXPRT *tcp_master, SVCXPRT *udp_master, int dofork,
                      int exit_idle)
{
    int n = vl_getdtablesize();
    fd_set rd, wr, ex;
    int ready, nfds;

    if (exit_next) {
        printf("Server not properly initialized.\n");
        exit(1);
    }
    for (;;) {
        if (exit_idle)
            validate_below(n);
        nfds = merge_fdsets(n, &rd, &wr, &ex);
        ready = select(nfds, &rd, &wr, &ex, NULL);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            perror("select");
            return;
        }
        if (ready == 0)
            continue;
        handle_ioe(n, &rd, &wr, &ex);
        /* Leaves only the ready descriptors the RPC library serves. */
        fdset_keep_only(&rd, &svc_fdset, n);
        if (fdset_empty_below(&rd, n))
            continue;
        if (dofork)
            (void)my_fork(&rd, tcp_master, udp_master);
        svc_getreqset(&rd);
    }
}

void vl_serv_once(struct timeval *timeout)
{
    /* select counts a wait down in its timeout: a copy keeps the caller's
     * value and lets an interrupted wait go on with the time left. */
    struct timeval left;
    struct timeval *limit = NULL;
    int n = vl_getdtablesize();
    fd_set rd;
    int ready;

    if (timeout != NULL) {
        left = *timeout;
        limit = &left;
    }
    do {
        fdset_copy_below(&rd, &svc_fdset, n);
        ready = select(fdset_highest_below(&rd, n) + 1, &rd, NULL, NULL,
                       limit);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        perror("select");
        return;
    }
    if (ready > 0)
        svc_getreqset(&rd);
}

/* ------------------------------------------------------------------ */
/* Fork on connection                                                  */
/* ------------------------------------------------------------------ */

/* In the child: takes the request on the master, then lets the parent go
 * on. The descriptors to drop are those the service set held at the fork;
 * they are closed only after the request is taken, so that the accepted
 * connection cannot receive the number of a descriptor the RPC library
 * still keeps a transport for. */
static void take_request_in_child(fd_set *rd, int release_parent)
{
    fd_set inherited = svc_fdset;

    svc_getreqset(rd);
    close(release_parent);
    close_service_fds(&inherited, -1);
    FD_ZERO(rd);
}

/* The parent waits until the child has taken the request: the read ends
 * when the child has closed its end of the pipe or has ended. */
static void wait_for_child(int sync[2])
{
    char byte;

    close(sync[1]);
    while (read(sync[0], &byte, 1) < 0 && errno == EINTR)
        ;
    close(sync[0]);
}

int fork_on_connect(fd_set *rd, int fd, int is_udp)
{
    int sync[2];
    pid_t pid;

    if (!fd_in_capacity(fd) || !FD_ISSET(fd, rd))
        return 0;
    vl_keep_master_fd(rd, fd);
    if (pipe(sync) != 0) {
        /* Without the pipe the parent could not wait for the child: the
         * request is served in this process instead. */
        perror("pipe");
        return 1;
    }
    pid = fork();
    if (pid == 0) {
        close(sync[0]);
        take_request_in_child(rd, sync[1]);
        if (is_udp)
            exit(0);
        /* The TCP child goes on serving its connection in its own loop. */
        return 1;
    }
    /* Also after a failed fork: the request stays pending for the next
     * pass. */
    FD_CLR(fd, rd);
    wait_for_child(sync);
    return 1;
}

static int my_fork(fd_set *rd, SVCXPRT *tcp_master, SVCXPRT *udp_master)
{
    int tcp = tcp_master != NULL ? tcp_master->xp_sock : -1;
    int udp = udp_master != NULL ? udp_master->xp_sock : -1;

    if (tcp >= 0)
        return fork_on_connect(rd, tcp, 0);
    if (udp >= 0)
        return fork_on_connect(rd, udp, 1);
    return 0;
}

/* ------------------------------------------------------------------ */
/* Asynchronous mode                                                   */
/* ------------------------------------------------------------------ */

/* The current watcher child, -1 when none is armed. */
static pid_t async_pid = -1;

/* The watcher's wait for a pending request on any service descriptor. */
static void wait4rpc(void)
{
    fd_set rd;
    int ready;

    do {
        rd = svc_fdset;
        ready = select(vl_getdtablesize(), &rd, NULL, NULL, NULL);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        perror("select");
}

/* Serves the pending requests inside the signal handler, then arms the
 * next watcher. Signals from anything but the current watcher (a watcher
 * cancelled while its signal was on the way, another process) are
 * ignored, so that there is never more than one watcher. */
static void async_siguser(int sig, siginfo_t *info, void *context)
{
    struct timeval no_wait = {0, 0};
    int saved_errno = errno;

    (void)sig;
    (void)context;
    if (async_pid <= 0 || info->si_pid != async_pid)
        return;
    vl_serv_once(&no_wait);
    async_pid = -1;
    (void)vl_serv_async_enable();
    errno = saved_errno;
}

static void install_async_handler(void)
{
    struct sigaction action;

    memset(&action, 0, sizeof action);
    action.sa_sigaction = async_siguser;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigaction(SIGUSR2, &action, NULL);
}

/* The watcher: waits for a request, signals the server, ends. It dies
 * with the server and never signals a process that is not its server. */
static void run_watcher(pid_t server)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == server) {
        wait4rpc();
        if (getppid() == server)
            kill(server, SIGUSR2);
    }
    /* Nothing of the program ran here: nothing to flush or finish. */
    _exit(0);
}

int vl_serv_async_enable(void)
{
    pid_t server = getpid();
    sigset_t usr2, previous;

    if (async_pid > 0)
        return -1;
    install_async_handler();
    /* The watcher may signal at once; the signal waits until async_pid
     * names it. */
    sigemptyset(&usr2);
    sigaddset(&usr2, SIGUSR2);
    sigprocmask(SIG_BLOCK, &usr2, &previous);
    async_pid = fork();
    if (async_pid == 0)
        run_watcher(server);
    sigprocmask(SIG_SETMASK, &previous, NULL);
    return async_pid < 0 ? -1 : 0;
}

int vl_serv_async_cancel(void)
{
    int result;

    if (async_pid <= 0)
        return 0;
    result = kill(async_pid, SIGKILL);
    /* A cancelled mode may be armed again. */
    if (result == 0)
        async_pid = -1;
    return result;
}

/* ------------------------------------------------------------------ */
/* Server sockets on a fixed port                                      */
/* ------------------------------------------------------------------ */

/* Reports why no socket could be made and ends the server. */
static void server_socket_failure(int port, const char *protocol,
                                  const char *step)
    __attribute__((noreturn));
static void server_socket_failure(int port, const char *protocol,
                                  const char *step)
{
    char text[256];

    snprintf(text, sizeof text,
             "Cannot create %s server socket on port %d: %s: %s\n",
             protocol != NULL ? protocol : "(null)", port, step,
             strerror(errno));
    vlrpc_report_event(text);
    exit(1);
}

int vl_serv_fd(int port, const char *protocol)
{
    struct sockaddr_in addr;
    int stream, fd;
    int on = 1;

    if (protocol != NULL && strcmp(protocol, "tcp") == 0) {
        stream = 1;
    } else if (protocol != NULL && strcmp(protocol, "udp") == 0) {
        stream = 0;
    } else {
        errno = EPROTONOSUPPORT;
        server_socket_failure(port, protocol, "protocol");
    }
    if (port < 0 || port > 65535) {
        errno = EINVAL;
        server_socket_failure(port, protocol, "port");
    }
    fd = socket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (fd < 0)
        server_socket_failure(port, protocol, "socket");
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        server_socket_failure(port, protocol, "setsockopt");
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons((u_short)port);
    if (bind(fd, (struct sockaddr *)&addr, sizeof addr) != 0)
        server_socket_failure(port, protocol, "bind");
    /* The RPC library listens only on sockets it bound itself. */
    if (stream && listen(fd, SOMAXCONN) != 0)
        server_socket_failure(port, protocol, "listen");
    return fd;
}
