/* Server sockets on a fixed port, for a server that does not take its
 * port from the portmapper. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "vlsrv.h"

/* Reports why no socket could be made and ends the server. */
static void server_socket_failure(int port, const char* protocol, const char* step)
    __attribute__((noreturn));
static void server_socket_failure(int port, const char* protocol, const char* step)
{
    char text[256];

    snprintf(text, sizeof text, "Cannot create %s server socket on port %d: %s: %s\n",
             protocol != NULL ? protocol : "(null)", port, step, strerror(errno));
    vlrpc_report_event(text);
    exit(1);
}

int vl_serv_fd(int port, const char* protocol)
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
    /* A TCP server restarted at once may take its port while connections
     * of its predecessor linger. A UDP socket gets no such option: on UDP
     * it would let a second server share a port that is in use and take
     * its datagrams, where the bind must fail. */
    if (stream && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        server_socket_failure(port, protocol, "setsockopt");
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons((u_short)port);
    if (bind(fd, (struct sockaddr*)&addr, sizeof addr) != 0)
        server_socket_failure(port, protocol, "bind");
    /* The RPC library listens only on sockets it vlsrv_bound itself. */
    if (stream && listen(fd, SOMAXCONN) != 0)
        server_socket_failure(port, protocol, "listen");
    return fd;
}
