/* The asynchronous mode: a watcher child waits for a request and signals
 * the server, which serves the pending requests in its signal handler and
 * arms the next watcher. The program's own code runs on in between. */
#include <errno.h>
#include <stdio.h>
#include <unistd.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "vlconn.h"
#include "vlsrv.h"

/* The current watcher child of the asynchronous mode, -1 when none is
 * armed, and whether it has ended already after signalling the server
 * (its signal is then on the way, or waits while the program blocks it). */
static volatile pid_t async_pid = -1;
static volatile sig_atomic_t async_watcher_ended = 0;

/* A watcher ends with status 0 only after signalling the server; any
 * other end (killed, crashed) disarms the mode, so that it may be armed
 * again. */
void vlsrv_note_child_end(pid_t pid, int status)
{
    if (pid != async_pid)
        return;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        async_watcher_ended = 1;
    else
        async_pid = -1;
}

/* The watcher's wait for a pending request on any service descriptor but
 * the paused listeners and the connections not read now, or for what the
 * connections wait for (a peer that reads a waiting reply, a child that
 * ends); the end of a pause or of a stall time counts as a request, so
 * that the server tries the paused connection again or closes the
 * stalled one. */
static void wait4rpc(void)
{
    int n = vl_getdtablesize();
    struct timeval paused, stall;
    fd_set rd, wr;
    int ready, nfds, conn_nfds, writes;

    do {
        struct timeval* pause = vlsrv_pause_left(&paused);

        vlsrv_copy_watched_service_fds(&rd, n);
        nfds = vlsrv_fdset_highest_below(&rd, vlsrv_service_bound(n)) + 1;
        FD_ZERO(&wr);
        writes = 0;
        conn_nfds = vlsrv_conn_add_waits(&rd, &wr, &writes);
        ready = select(conn_nfds > nfds ? conn_nfds : nfds, &rd, writes ? &wr : NULL, NULL,
                       vlsrv_earlier(pause, vlsrv_conn_stall_left(&stall)));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        perror("select");
}

/* Serves the pending requests inside the signal handler, then arms the
 * next watcher. Signals from anything but the current watcher (a watcher
 * cancelled while its signal was on the way, another process) are
 * ignored, so that there is never more than one watcher. */
static void async_siguser(int sig, siginfo_t* info, void* context)
{
    struct timeval no_wait = {0, 0};
    int saved_errno = errno;

    (void)sig;
    (void)context;
    if (async_pid <= 0 || info->si_pid != async_pid)
        return;
    vl_serv_once(&no_wait);
    async_pid = -1;
    async_watcher_ended = 0;
    (void)vl_serv_async_enable();
    errno = saved_errno;
}

static void install_async_handler(void)
{
    vlsrv_install_signal_handler(SIGUSR2, NULL, async_siguser, SA_RESTART);
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

/* Holds off the watcher's signal and the reaper while the state of the
 * mode changes. */
static void block_async_signals(sigset_t* previous)
{
    sigset_t both;

    sigemptyset(&both);
    sigaddset(&both, SIGUSR2);
    sigaddset(&both, SIGCHLD);
    sigprocmask(SIG_BLOCK, &both, previous);
}

int vl_serv_async_enable(void)
{
    pid_t server = getpid();
    sigset_t previous;
    pid_t pid;

    if (async_pid > 0)
        return -1;
    install_async_handler();
    /* The watcher may signal, or end, at once; both wait until async_pid
     * names it. */
    block_async_signals(&previous);
    pid = fork();
    if (pid == 0)
        run_watcher(server);
    async_pid = pid;
    async_watcher_ended = 0;
    sigprocmask(SIG_SETMASK, &previous, NULL);
    return pid < 0 ? -1 : 0;
}

int vl_serv_async_cancel(void)
{
    sigset_t previous;
    int result = 0;

    block_async_signals(&previous);
    if (async_pid > 0) {
        /* A watcher that has ended is not signalled: its number may
         * belong to another process by now. */
        if (!async_watcher_ended)
            result = kill(async_pid, SIGKILL);
        /* A cancelled mode may be armed again. */
        if (result == 0)
            async_pid = -1;
    }
    sigprocmask(SIG_SETMASK, &previous, NULL);
    return result;
}
