/* The process models: fork per connection (a child takes the request on
 * the master and goes on serving it), fork per call, and the reaping of
 * every child that has ended. */
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <sys/wait.h>

#include "vlconn.h"
#include "vlsrv.h"

/* Whether the last fork for a connection failed: reported once, when it
 * starts. */
static int connection_fork_failed = 0;

/* In the child: takes the request on the master, then lets the parent go
 * on. The descriptors to drop are those the service set held at the fork;
 * they are closed only after the request is taken, so that the accepted
 * connection cannot receive the number of a descriptor the RPC library
 * still keeps a transport for. */
static void take_request_in_child(fd_set* rd, int release_parent)
{
    fd_set inherited = svc_fdset;

    vlsrv_take_connections(rd, vlsrv_words_below(VL_FD_CAPACITY));
    svc_getreqset(rd);
    close(release_parent);
    vlsrv_close_service_fds(&inherited, -1);
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

int fork_on_connect(fd_set* rd, int fd, int is_udp)
{
    int sync[2];
    pid_t pid;

    if (!vlsrv_fd_in_capacity(fd) || !FD_ISSET(fd, rd))
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
    if (pid < 0) {
        /* The request stays pending: tried again after a pause, so that
         * the loop does not spin while no child can be made. */
        vlsrv_report_once(&connection_fork_failed, "Cannot fork for a connection", errno);
        vlsrv_pause_listener(fd);
    } else {
        connection_fork_failed = 0;
    }
    FD_CLR(fd, rd);
    wait_for_child(sync);
    return 1;
}

int vlsrv_fork_for_request(fd_set* rd, SVCXPRT* tcp_master, SVCXPRT* udp_master)
{
    int tcp = tcp_master != NULL ? tcp_master->xp_sock : -1;
    int udp = udp_master != NULL ? udp_master->xp_sock : -1;

    if (tcp >= 0)
        return fork_on_connect(rd, tcp, 0);
    if (udp >= 0)
        return fork_on_connect(rd, udp, 1);
    return 0;
}

/* Forks for a call on xprt: 0 in the child, the child's pid or -1 in the
 * parent. The connection waits for the child before its next call is
 * served, so that the replies of two children never mix on it: the
 * reaper, which ends that wait, must find the child noted, hence SIGCHLD
 * is blocked until it is. */
pid_t vlsrv_fork_for_call(SVCXPRT* xprt)
{
    sigset_t chld, previous;
    pid_t pid;

    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, &previous);
    pid = fork();
    if (pid == 0) {
        sigprocmask(SIG_SETMASK, &previous, NULL);
        vlsrv_conn_write_through(xprt);
        return 0;
    }
    if (pid > 0 && !vlsrv_uninitialised)
        vlsrv_conn_hold(xprt, pid);
    sigprocmask(SIG_SETMASK, &previous, NULL);
    if (pid < 0)
        perror("fork");
    return pid;
}

/* ------------------------------------------------------------------ */

/* Reaps every child that has ended. Several children ending together
 * raise one signal only, so one wait per signal would leave zombies;
 * children that stop are not waited for (see the installation). */
static void wait_child(int sig)
{
    int saved_errno = errno;
    int status;
    pid_t pid;

    (void)sig;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
        vlsrv_note_child_end(pid, status);
        vlsrv_conn_child_ended(pid);
    }
    errno = saved_errno;
}

int vl_install_sigchld_handler(void)
{
    /* No signal for a child that only stops: a stopped child must not
     * hold up the server. */
    vlsrv_install_signal_handler(SIGCHLD, wait_child, NULL, SA_RESTART | SA_NOCLDSTOP);
    return 0;
}

void vl_fork_on_call(int* status)
{
    pid_t pid = fork();

    if (pid < 0)
        *status = -1;
    else if (pid == 0)
        *status = 1;
}
