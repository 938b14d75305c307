// Client handle creation, plain socket connection and RPCClient against a
// real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "rpcclient.hpp"
#include "test_server.hpp"

namespace {

const char* kUnknownHost = "no-such-host.invalid";
const struct timeval kCallTimeout = {5, 0};

// Calls the increment procedure; returns its answer or -1.
int increment(CLIENT* c, int value)
{
    int answer = -1;
    struct timeval t = kCallTimeout;
    if (clnt_call(c, kIncrementProc, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value),
                  (xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer), t) != RPC_SUCCESS)
        return -1;
    return answer;
}

long timeoutSeconds(CLIENT* c)
{
    struct timeval t = {0, 1};
    EXPECT_TRUE(clnt_control(c, CLGET_TIMEOUT, reinterpret_cast<char*>(&t)));
    EXPECT_EQ(t.tv_usec, 0);
    return t.tv_sec;
}

// The lowest free descriptor: unchanged when nothing leaked a descriptor.
int lowestFreeFd()
{
    int fd = dup(0);
    close(fd);
    return fd;
}

struct Transport {
    const char* name;
    int protocol;
};
const Transport kTransports[] = {{"tcp", IPPROTO_TCP}, {"udp", IPPROTO_UDP}};

TEST(ClntCreate, ReachesServerOnFixedPortAndThroughPortmapper)
{
    for (const Transport& t : kTransports) {
        for (TestServer::Registration r : {TestServer::FixedPort, TestServer::Portmapper}) {
            SCOPED_TRACE(std::string(t.name) +
                         (r == TestServer::Portmapper ? " via portmapper" : " fixed port"));
            TestServer server(t.protocol, r);
            u_short port = r == TestServer::Portmapper ? 0 : server.port();
            CLIENT* c =
                vl_clnt_create("127.0.0.1", port, server.program(), kTestVersion, t.name, 0, 0);
            ASSERT_NE(c, nullptr) << clnt_spcreateerror("vl_clnt_create");
            EXPECT_EQ(timeoutSeconds(c), 25);
            EXPECT_EQ(increment(c, 41), 42);
            EXPECT_EQ(vl_clnt_errno(c), RPC_SUCCESS);
            clnt_destroy(c);
        }
    }
}

TEST(ClntCreate, BufferSizesAndHostNames)
{
    TestServer tcp(IPPROTO_TCP, TestServer::FixedPort);
    CLIENT* c =
        vl_clnt_create("localhost", tcp.port(), tcp.program(), kTestVersion, "tcp", 1024, 1024);
    ASSERT_NE(c, nullptr) << clnt_spcreateerror("vl_clnt_create");
    EXPECT_EQ(increment(c, 1), 2);
    clnt_destroy(c);

    // UDP ignores the buffer sizes.
    TestServer udp(IPPROTO_UDP, TestServer::FixedPort);
    c = vl_clnt_create("127.0.0.1", udp.port(), udp.program(), kTestVersion, "udp", 1, 1);
    ASSERT_NE(c, nullptr) << clnt_spcreateerror("vl_clnt_create");
    EXPECT_EQ(increment(c, 7), 8);
    clnt_destroy(c);
}

TEST(ClntCreate, LastCallStatus)
{
    TestServer server(IPPROTO_TCP, TestServer::FixedPort);
    CLIENT* c =
        vl_clnt_create("127.0.0.1", server.port(), server.program(), kTestVersion, "tcp", 0, 0);
    ASSERT_NE(c, nullptr);
    struct timeval t = kCallTimeout;
    EXPECT_EQ(clnt_call(c, 99, xdrVoid(), nullptr, xdrVoid(), nullptr, t), RPC_PROCUNAVAIL);
    EXPECT_EQ(vl_clnt_errno(c), RPC_PROCUNAVAIL);
    clnt_destroy(c);
    EXPECT_EQ(vl_clnt_errno(nullptr), RPC_FAILED) << "no handle: no crash";
}

TEST(ClntCreate, FailuresSetCreateError)
{
    struct Case {
        const char* what;
        const char* host;
        const char* proto;
        enum clnt_stat status;
        int err;  // expected re_errno, or 0 when not checked
    };
    const Case cases[] = {
        {"unknown host", kUnknownHost, "tcp", RPC_UNKNOWNHOST, 0},
        {"null host", nullptr, "tcp", RPC_UNKNOWNHOST, 0},
        {"unknown protocol", "127.0.0.1", "no-such-proto", RPC_UNKNOWNPROTO, EAFNOSUPPORT},
        {"null protocol", "127.0.0.1", nullptr, RPC_UNKNOWNPROTO, EAFNOSUPPORT},
        {"neither tcp nor udp", "127.0.0.1", "icmp", RPC_SYSTEMERROR, EAFNOSUPPORT},
    };
    EXPECT_EQ(EAFNOSUPPORT, 97);
    for (const Case& c : cases) {
        rpc_createerr.cf_stat = RPC_SUCCESS;
        rpc_createerr.cf_error.re_errno = 0;
        EXPECT_EQ(vl_clnt_create(c.host, 1, 0x20000000, 1, c.proto, 0, 0), nullptr) << c.what;
        EXPECT_EQ(rpc_createerr.cf_stat, c.status) << c.what;
        if (c.err != 0) {
            EXPECT_EQ(rpc_createerr.cf_error.re_errno, c.err) << c.what;
        }
    }
}

TEST(ClntCreate, RefusedConnectionLeavesLibraryReason)
{
    int before = lowestFreeFd();
    EXPECT_EQ(vl_clnt_create("127.0.0.1", unusedPort(), 0x20000000, 1, "tcp", 0, 0), nullptr);
    EXPECT_EQ(rpc_createerr.cf_stat, RPC_SYSTEMERROR);
    EXPECT_EQ(lowestFreeFd(), before);
}

TEST(SockConnect, StreamAndDatagramSockets)
{
    TestServer server(IPPROTO_TCP, TestServer::FixedPort);
    struct Case {
        int type;
        int expected;
    };
    for (Case c : {Case{1, SOCK_STREAM}, Case{0, SOCK_DGRAM}, Case{2, SOCK_DGRAM}}) {
        int fd = vl_sock_connect("127.0.0.1", server.port(), c.type);
        ASSERT_GE(fd, 0) << "type " << c.type;
        int type = -1;
        socklen_t len = sizeof type;
        ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len), 0);
        EXPECT_EQ(type, c.expected) << "type " << c.type;
        struct sockaddr_in peer;
        socklen_t plen = sizeof peer;
        ASSERT_EQ(getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &plen), 0);
        EXPECT_EQ(ntohs(peer.sin_port), server.port());
        EXPECT_EQ(ntohl(peer.sin_addr.s_addr), INADDR_LOOPBACK);
        close(fd);
    }
}

TEST(SockConnect, FailuresCloseTheSocket)
{
    int before = lowestFreeFd();
    EXPECT_EQ(vl_sock_connect("127.0.0.1", unusedPort(), 1), -1) << "connection refused";
    EXPECT_EQ(lowestFreeFd(), before) << "the refused socket is closed";
    EXPECT_EQ(vl_sock_connect(kUnknownHost, 1, 1), -1);
    EXPECT_EQ(vl_sock_connect(nullptr, 1, 1), -1);
    EXPECT_EQ(lowestFreeFd(), before);
}

// Shows the protected state of the base class.
class Probe : public RPCClient {
public:
    Probe() { }
    Probe(const char* host, const char* proto, u_long prog, u_long ver)
        : RPCClient(host, proto, prog, ver)
    {
    }
    CLIENT* handle() const { return clnt; }
    struct timeval callTimeout() const { return timeout; }
};

TEST(RPCClientTest, DefaultStateAndUnboundOperations)
{
    Probe p;
    EXPECT_EQ(p.handle(), nullptr);
    EXPECT_EQ(p.callTimeout().tv_sec, 25);
    EXPECT_EQ(p.callTimeout().tv_usec, 0);
    EXPECT_EQ(p.getSocket(), -1);
    EXPECT_FALSE(p.control(CLGET_TIMEOUT, nullptr));
    struct timeval t = kCallTimeout;
    EXPECT_EQ(p.call(kIncrementProc, xdrVoid(), nullptr, xdrVoid(), nullptr, t), RPC_FAILED);
    struct rpc_err err;
    p.geterr(&err);
    EXPECT_EQ(err.re_status, RPC_FAILED);
    p.destroy();
    p.finish();
    EXPECT_EQ(p.handle(), nullptr);

    struct timeval shorter = {3, 500};
    p.setTimeout(shorter);
    EXPECT_EQ(p.callTimeout().tv_sec, 3);
    EXPECT_EQ(p.callTimeout().tv_usec, 500);
}

TEST(RPCClientTest, Create2BindsCallsAndDestroysTwice)
{
    TestServer server(IPPROTO_TCP, TestServer::FixedPort);
    Probe p;
    CLIENT* c = p.create2("127.0.0.1", server.program(), kTestVersion, "tcp", server.port(), 0, 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(p.handle(), c);
    EXPECT_EQ(p.getHandle(), c);

    int value = 9, answer = 0;
    EXPECT_EQ(p.call(kIncrementProc, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value),
                     (xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer), kCallTimeout),
              RPC_SUCCESS);
    EXPECT_EQ(answer, 10);
    struct rpc_err err;
    p.geterr(&err);
    EXPECT_EQ(err.re_status, RPC_SUCCESS);
    EXPECT_GE(p.getSocket(), 0);
    struct timeval t;
    EXPECT_TRUE(p.control(CLGET_TIMEOUT, reinterpret_cast<char*>(&t)));
    EXPECT_EQ(t.tv_sec, 25);

    p.destroy();
    EXPECT_EQ(p.handle(), nullptr);
    p.destroy();  // finds no handle: harmless
    EXPECT_EQ(p.handle(), nullptr);
}

TEST(RPCClientTest, Create2AboveSignedShortPorts)
{
    // The system's ephemeral ports lie above 32767: the port must pass
    // through as an unsigned 16-bit value to reach the server.
    TestServer server(IPPROTO_UDP, TestServer::FixedPort);
    if (server.port() <= 32767)
        GTEST_SKIP() << "the ephemeral ports of this host start below 32768";
    Probe p;
    ASSERT_NE(p.create2("127.0.0.1", server.program(), kTestVersion, "udp", server.port(), 0, 0),
              nullptr);
    int value = 1, answer = 0;
    EXPECT_EQ(p.call(kIncrementProc, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value),
                     (xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer), kCallTimeout),
              RPC_SUCCESS);
    EXPECT_EQ(answer, 2);
    p.finish();
    EXPECT_EQ(p.handle(), nullptr);
}

TEST(RPCClientTest, Create2UnknownHostAndPcreateerror)
{
    Probe p;
    EXPECT_EQ(p.create2(kUnknownHost, 0x20000000, 1, "tcp", 1, 0, 0), nullptr);
    EXPECT_EQ(p.handle(), nullptr);
    testing::internal::CaptureStderr();
    p.pcreateerror("bind");
    std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(text.rfind("bind: ", 0), 0u) << text;
    EXPECT_NE(text.find(clnt_sperrno(RPC_UNKNOWNHOST)), std::string::npos) << text;
    EXPECT_NE(std::string(p.spcreateerror("again")).find("Unknown host"), std::string::npos);
}

TEST(RPCClientTest, CreateThroughPortmapper)
{
    TestServer server(IPPROTO_UDP, TestServer::Portmapper);
    Probe p;
    ASSERT_NE(p.create("127.0.0.1", server.program(), kTestVersion, "udp"), nullptr)
        << clnt_spcreateerror("create");
    int value = 5, answer = 0;
    EXPECT_EQ(p.call(kIncrementProc, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value),
                     (xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer), kCallTimeout),
              RPC_SUCCESS);
    EXPECT_EQ(answer, 6);
    p.destroy();

    Probe bound("127.0.0.1", "udp", server.program(), kTestVersion);
    EXPECT_NE(bound.handle(), nullptr);
    bound.finish();

    Probe unbound(kUnknownHost, "tcp", server.program(), kTestVersion);
    EXPECT_EQ(unbound.handle(), nullptr);
}

TEST(RPCClientTest, SetHandleHandsBackThePreviousOne)
{
    TestServer server(IPPROTO_TCP, TestServer::FixedPort);
    CLIENT* c =
        vl_clnt_create("127.0.0.1", server.port(), server.program(), kTestVersion, "tcp", 0, 0);
    ASSERT_NE(c, nullptr);
    Probe p;
    EXPECT_EQ(p.setHandle(c), nullptr);
    EXPECT_EQ(p.getHandle(), c);
    EXPECT_EQ(p.setHandle(nullptr), c);
    clnt_destroy(c);
}

TEST(RPCClientTest, TransportCreatorsBindTheObject)
{
    const struct timeval retry = {1, 0};
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        TestServer server(t.protocol, TestServer::FixedPort);
        struct sockaddr_in addr;
        std::memset(&addr, 0, sizeof addr);
        addr.sin_family = AF_INET;
        addr.sin_port = htons(server.port());
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int sized = 0; sized < 2; ++sized) {
            Probe p;
            int sock = RPC_ANYSOCK;
            CLIENT* c;
            if (t.protocol == IPPROTO_TCP)
                c = p.tcp_create(&addr, server.program(), kTestVersion, &sock, sized ? 512 : 0,
                                 sized ? 512 : 0);
            else if (sized)
                c = p.udp_bufcreate(&addr, server.program(), kTestVersion, retry, &sock, 1024,
                                    1024);
            else
                c = p.udp_create(&addr, server.program(), kTestVersion, retry, &sock);
            ASSERT_NE(c, nullptr) << clnt_spcreateerror("create");
            EXPECT_EQ(p.handle(), c);
            EXPECT_GE(sock, 0);
            int value = 20, answer = 0;
            EXPECT_EQ(p.call(kIncrementProc, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value),
                             (xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer), kCallTimeout),
                      RPC_SUCCESS);
            EXPECT_EQ(answer, 21);
            EXPECT_TRUE(p.freeres((xdrproc_t)xdr_int, reinterpret_cast<char*>(&answer)));
            p.destroy();
        }
    }

    Probe raw;
    EXPECT_FALSE(raw.freeres((xdrproc_t)xdr_int, nullptr)) << "no handle";
    EXPECT_NE(raw.raw_create(0x20000000, 1), nullptr);
    EXPECT_EQ(raw.handle(), raw.getHandle());
    raw.destroy();
}

TEST(RPCClientTest, ErrorTexts)
{
    Probe p;
    EXPECT_STREQ(p.sperrno(RPC_TIMEDOUT), clnt_sperrno(RPC_TIMEDOUT));
    EXPECT_EQ(std::string(p.sperror("unbound")).rfind("unbound: ", 0), 0u);
    testing::internal::CaptureStderr();
    p.perrno(RPC_TIMEDOUT);
    p.perror("unbound");
    std::string text = testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find(clnt_sperrno(RPC_TIMEDOUT)), std::string::npos) << text;
    EXPECT_NE(text.find("unbound: "), std::string::npos) << text;
}

}  // namespace
