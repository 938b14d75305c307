// Sockets bound to 127.0.0.1 on a port the system picks, for test servers
// that run in a forked child of the test.
#ifndef TESTS_SUPPORT_LOOPBACK_SOCKET_HPP
#define TESTS_SUPPORT_LOOPBACK_SOCKET_HPP

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace testsupport {

// A socket of the given type bound to 127.0.0.1; `port` receives the port
// the system picked. Throws when the socket cannot be made or bound.
inline int boundLoopbackSocket(int type, u_short* port)
{
    int fd = socket(AF_INET, type, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    struct sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        throw std::runtime_error("bind failed");
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace testsupport

#endif
