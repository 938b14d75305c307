// Server sockets on a fixed port, as generated servers with a set port
// make them.
#include <gtest/gtest.h>

#include "c_server.h"
#include "server_harness.hpp"

using namespace harness;

namespace {

int intOption(int fd, int level, int name) {
    int value = -1;
    socklen_t len = sizeof value;
    EXPECT_EQ(getsockopt(fd, level, name, &value, &len), 0);
    return value;
}

// A socket on port of all local addresses, made the plain way; port 0
// lets the system pick one, which *picked receives.
int occupy(int type, u_short port, u_short* picked = nullptr) {
    int fd = socket(AF_INET, type, 0);
    struct sockaddr_in addr = inetAddress(INADDR_ANY, port);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (type == SOCK_STREAM && listen(fd, 1) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        throw std::runtime_error("cannot occupy the port");
    }
    if (picked != nullptr)
        *picked = ntohs(addr.sin_port);
    return fd;
}

// A port of the given type that no socket holds at the moment.
u_short freePort(int type) {
    u_short port = 0;
    close(occupy(type, 0, &port));
    return port;
}

// A port that no TCP and no UDP socket holds at the moment.
u_short freePortOfBoth() {
    for (;;) {
        u_short port = freePort(SOCK_STREAM);
        try {
            close(occupy(SOCK_DGRAM, port));
            return port;
        } catch (const std::runtime_error&) {
        }
    }
}

void keepReport(char* text) { snprintf(shared()->report, sizeof shared()->report, "%s", text); }

TEST(ServerSocket, BoundOnAllAddressesAndReadyForTheTransport) {
    const struct {
        const char* protocol;
        u_short port;
        int type;
    } cases[] = {{"tcp", freePort(SOCK_STREAM), SOCK_STREAM}, {"udp", freePort(SOCK_DGRAM), SOCK_DGRAM}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.protocol);
        int fd = vl_serv_fd(c.port, c.protocol);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_TYPE), c.type);
        // Only TCP may take a port that lingering connections still name.
        EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_REUSEADDR), c.type == SOCK_STREAM ? 1 : 0);
        EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_ACCEPTCONN), c.type == SOCK_STREAM ? 1 : 0);
        struct sockaddr_in addr;
        socklen_t len = sizeof addr;
        ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        EXPECT_EQ(addr.sin_family, AF_INET);
        EXPECT_EQ(ntohl(addr.sin_addr.s_addr), INADDR_ANY);
        EXPECT_EQ(ntohs(addr.sin_port), c.port);

        bool tcp = c.type == SOCK_STREAM;
        ServerProcess server(tcp ? fd : -1, tcp ? -1 : fd, c.port, c.port, ServerProcess::mainLoop(0));
        Client client(tcp ? IPPROTO_TCP : IPPROTO_UDP, c.port);
        EXPECT_EQ(client.sum({20, 22}).total, 42);
    }
}

TEST(ServerSocket, FailureIsReportedAndEndsTheProcessWithStatusOne) {
    // Ports the system picks, so that no other test's port is in the way.
    u_short tcpPort = 0, udpPort = 0;
    int tcpTaken = occupy(SOCK_STREAM, 0, &tcpPort);
    int udpTaken = occupy(SOCK_DGRAM, 0, &udpPort);
    // Ports held by a server socket of the runtime itself, as by a first
    // server started on the same fixed port.
    u_short tcpServingPort = freePort(SOCK_STREAM), udpServingPort = freePort(SOCK_DGRAM);
    int tcpServing = vl_serv_fd(tcpServingPort, "tcp");
    int udpServing = vl_serv_fd(udpServingPort, "udp");
    const struct {
        int port;
        const char* protocol;
        const char* reason;
    } cases[] = {
        {tcpPort, "tcp", "Address already in use"},
        {udpPort, "udp", "Address already in use"},
        {tcpServingPort, "tcp", "Address already in use"},
        {udpServingPort, "udp", "Address already in use"},
        {freePort(SOCK_STREAM), "sctp", "sctp"},
        {70000, "tcp", "70000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " " + c.protocol);
        ServerProcess server(kNone, [&c](Transports&) {
            vl_set_err_report_func(keepReport);
            vl_serv_fd(c.port, c.protocol);
            shared()->result[0] = 1;  // should not come here
        });
        int status = server.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(shared()->result[0], 0);
        std::string report = shared()->report;
        EXPECT_NE(report.find(std::to_string(c.port)), std::string::npos) << report;
        EXPECT_NE(report.find(c.reason), std::string::npos) << report;
        EXPECT_EQ(report.back(), '\n');
    }
    for (int fd : {tcpTaken, udpTaken, tcpServing, udpServing})
        close(fd);
}

// The whole road of a C server on a fixed port.
TEST(ServerSocket, CServerOnAFixedPortAnswersOverBothTransports) {
    const u_short kPort = freePortOfBoth();
    ServerProcess server(kNone, [kPort](Transports&) { calc_1_main(kPort); });
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        CLIENT* c = nullptr;
        ASSERT_TRUE(eventually([&] {
            c = vl_clnt_create("127.0.0.1", kPort, CALC_PROG, CALC_VERS, t.name, 0, 0);
            return c != nullptr;
        }));
        struct timeval timeout = {5, 0};
        int in[2] = {19, 23};
        int sum = 0;
        EXPECT_EQ(clnt_call(c, CALC_ADD, as<xdrproc_t>(xdrSlowIn), reinterpret_cast<char*>(in),
                            as<xdrproc_t>(xdr_int), reinterpret_cast<char*>(&sum), timeout),
                  RPC_SUCCESS);
        EXPECT_EQ(sum, 42);
        EXPECT_EQ(clnt_call(c, CALC_PING, xdrVoid(), nullptr, xdrVoid(), nullptr, timeout), RPC_SUCCESS);
        EXPECT_EQ(clnt_call(c, NULLPROC, xdrVoid(), nullptr, xdrVoid(), nullptr, timeout), RPC_SUCCESS);
        EXPECT_EQ(clnt_call(c, 9, xdrVoid(), nullptr, xdrVoid(), nullptr, timeout), RPC_PROCUNAVAIL);
        clnt_destroy(c);
    }
}

}  // namespace
