// The main loop with the program's own descriptor handlers, the idle
// check, the single pass, and the bounds of the descriptor table.
#include <gtest/gtest.h>

#include <netinet/tcp.h>
#include <sys/resource.h>

#include "server_harness.hpp"

using namespace harness;

namespace {

// A connected TCP pair on 127.0.0.1: the only kind of descriptor that can
// have an exceptional condition (urgent data) on demand.
void tcpPair(int fds[2])
{
    u_short port = 0;
    int listener = loopbackSocket(SOCK_STREAM, &port);
    fds[0] = connectTcp(port);
    if (fds[0] < 0)
        throw std::runtime_error("connect failed");
    fds[1] = accept(listener, nullptr, nullptr);
    close(listener);
}

void noteInput(int fd)
{
    char byte;
    if (read(fd, &byte, 1) == 1) {
        shared()->inputSeq = nextSeq();
        ++shared()->inputCalls;
    }
}

// Notes that the descriptor was ready without taking anything from it.
void noteReady(int)
{
    shared()->inputSeq = nextSeq();
    ++shared()->inputCalls;
}

void noteOutputOnce(int fd)
{
    ++shared()->outputCalls;
    vl_serv_output_handler(fd, nullptr);
}

void noteException(int fd)
{
    char byte;
    if (recv(fd, &byte, 1, MSG_OOB) == 1)
        ++shared()->exceptionCalls;
}

TEST(MainLoop, HandlersOfEveryKindRunWithAndWithoutRpcTraffic)
{
    int input[2], urgent[2];
    ASSERT_EQ(pipe(input), 0);
    tcpPair(urgent);
    ServerProcess server(kBoth, [&](Transports& tr) {
        close(input[1]);
        close(urgent[0]);
        int output[2];
        if (pipe(output) != 0)
            _exit(97);
        vl_serv_init();
        vl_serv_input_handler(input[0], noteInput);
        vl_serv_output_handler(output[1], noteOutputOnce);
        vl_serv_exception_handler(urgent[1], noteException);
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    close(input[0]);
    close(urgent[1]);
    Shared* s = shared();

    // The writable pipe: its handler runs once and removes itself.
    EXPECT_TRUE(eventually([s] { return s->outputCalls == 1; }));

    // Only a user descriptor ready: its handler runs, no call is served.
    ASSERT_EQ(write(input[1], "a", 1), 1);
    EXPECT_TRUE(eventually([s] { return s->inputCalls == 1; }));
    EXPECT_EQ(s->localCalls, 0);

    // RPC traffic between user input.
    Client tcp(IPPROTO_TCP, server.tcpPort());
    Client udp(IPPROTO_UDP, server.udpPort());
    EXPECT_EQ(tcp.sum({1, 1}).total, 2);
    ASSERT_EQ(write(input[1], "b", 1), 1);
    EXPECT_EQ(udp.sum({2, 2}).total, 4);
    EXPECT_TRUE(eventually([s] { return s->inputCalls == 2; }));

    ASSERT_EQ(send(urgent[0], "!", 1, MSG_OOB), 1);
    EXPECT_TRUE(eventually([s] { return s->exceptionCalls == 1; }));
    EXPECT_EQ(tcp.sum({3, 3}).total, 6);
    EXPECT_EQ(s->outputCalls, 1);
    EXPECT_EQ(s->localCalls, 3);
    close(input[1]);
    close(urgent[0]);
}

// The two pipes of the next test; the server inherits them.
int lowerPipe = -1, higherPipe = -1;

// Takes one byte from the higher pipe, then gives up its handler.
void takeHigherOnce(int fd)
{
    char byte;
    if (read(fd, &byte, 1) == 1)
        ++shared()->result[1];
    vl_serv_input_handler(fd, nullptr);
}

// Takes one byte from the lower pipe and gives the higher one its handler
// back.
void takeLowerAndRearmHigher(int fd)
{
    char byte;
    if (read(fd, &byte, 1) == 1)
        ++shared()->result[0];
    vl_serv_input_handler(higherPipe, takeHigherOnce);
}

TEST(MainLoop, HandlersAboveAndBelowOneAnotherComeAndGo)
{
    int lower[2], higher[2];
    ASSERT_EQ(pipe(lower), 0);
    ASSERT_EQ(pipe(higher), 0);
    ASSERT_LT(lower[0], higher[0]);
    lowerPipe = lower[0];
    higherPipe = higher[0];
    // The UDP transport is made after the pipes: its descriptor is the
    // highest of all.
    ServerProcess server(kUdp, [&](Transports& tr) {
        vl_serv_init();
        vl_serv_input_handler(lowerPipe, takeLowerAndRearmHigher);
        vl_serv_input_handler(higherPipe, takeHigherOnce);
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    Shared* s = shared();
    Client udp(IPPROTO_UDP, server.udpPort());

    ASSERT_EQ(write(higher[1], "a", 1), 1);
    EXPECT_TRUE(eventually([s] { return s->result[1] == 1; }));
    // The highest handler is gone: its next byte waits, while the call
    // and the lower handler are still served.
    ASSERT_EQ(write(higher[1], "b", 1), 1);
    EXPECT_EQ(udp.sum({5}).total, 5);
    EXPECT_EQ(s->result[1], 1);
    ASSERT_EQ(write(lower[1], "c", 1), 1);
    EXPECT_TRUE(eventually([s] { return s->result[0] == 1; }));
    // Registered again by the lower handler, it takes the waiting byte.
    EXPECT_TRUE(eventually([s] { return s->result[1] == 2; }));
    EXPECT_EQ(udp.sum({6}).total, 6);
    for (int fd : {lower[0], lower[1], higher[0], higher[1]})
        close(fd);
}

TEST(MainLoop, HandlerAndRpcOnOneDescriptorBothRunInOnePass)
{
    ServerProcess server(kUdp, [](Transports& tr) {
        vl_serv_init();
        vl_serv_input_handler(tr.udp->xp_sock, noteReady);
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    Client client(IPPROTO_UDP, server.udpPort());
    for (int call = 1; call <= 2; ++call) {
        EXPECT_EQ(client.sum({call}).total, call);
        // One handler call per datagram, before the call is served.
        EXPECT_EQ(shared()->inputCalls, call);
        EXPECT_LT(shared()->inputSeq, shared()->localSeq);
    }
}

TEST(MainLoop, IdleServerExitsWithStatusZeroDespiteHandlers)
{
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    ServerProcess server(kNone, [&](Transports& tr) {
        vl_serv_init();
        vl_serv_input_handler(input[0], noteInput);
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    int status = server.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    close(input[0]);
    close(input[1]);
}

// The transport the next handler destroys, and whether it then runs a
// single pass of its own before the main loop looks again.
SVCXPRT* lastTransport = nullptr;
bool singlePassAfterwards = false;

void destroyLastTransport(int fd)
{
    char byte;
    if (read(fd, &byte, 1) != 1)
        return;
    svc_destroy(lastTransport);
    if (singlePassAfterwards) {
        struct timeval none = {0, 0};
        vl_serv_once(&none);
    }
}

TEST(MainLoop, IdleServerExitsWhenAHandlerEndsItsLastTransport)
{
    // The single pass makes the wait afresh before the main loop does:
    // the loop must still see that nothing is left to serve.
    for (bool singlePass : {false, true}) {
        SCOPED_TRACE(singlePass ? "with a single pass in the handler" : "handler alone");
        int input[2];
        ASSERT_EQ(pipe(input), 0);
        ServerProcess server(kUdp, [&](Transports& tr) {
            close(input[1]);
            lastTransport = tr.udp;
            singlePassAfterwards = singlePass;
            vl_serv_input_handler(input[0], destroyLastTransport);
            vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
        });
        close(input[0]);
        Client udp(IPPROTO_UDP, server.udpPort());
        EXPECT_EQ(udp.sum({1, 2}).total, 3);
        ASSERT_EQ(write(input[1], "x", 1), 1);
        int status = server.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        close(input[1]);
    }
}

TEST(MainLoop, IdleCheckEndsUninitialisedOrTransportlessServers)
{
    const struct {
        bool init;
        int protocols;
        bool ends;
    } cases[] = {{true, kUdp, false}, {false, kUdp, true}, {true, kNone, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.init ? "initialised" : "not initialised") +
                     (c.protocols ? ", udp" : ", no transport"));
        ServerProcess server(
            c.protocols,
            [&c](Transports&) {
                if (c.init)
                    vl_serv_init();
                vl_serv_validate();
                shared()->result[0] = 1;  // went on
            },
            kBodyInits);
        int status = server.wait();
        EXPECT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), c.ends ? 0 : 99);
        EXPECT_EQ(shared()->result[0], c.ends ? 0 : 1);
    }
}

TEST(MainLoop, WithoutInitReportsOnStandardOutputAndExitsOne)
{
    ServerProcess server(
        kUdp, [](Transports& tr) { vl_serv_mainloop(tr.tcp, tr.udp, 0, 1); }, kBodyInits);
    int status = server.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(server.out(), "Server not properly initialized.\n");
    EXPECT_EQ(server.err(), "");
}

TEST(MainLoop, FailingSelectEndsTheLoop)
{
    ServerProcess server(kUdp, [](Transports& tr) {
        vl_serv_init();
        // A number the process just held and closed: below every
        // descriptor limit the loop may run under, and surely not open.
        int closed = dup(0);
        close(closed);
        vl_serv_input_handler(closed, noteInput);
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
        shared()->result[0] = 1;  // the loop returned
    });
    server.wait();
    EXPECT_EQ(shared()->result[0], 1);
    EXPECT_EQ(server.err(), "select: Bad file descriptor\n");
}

TEST(MainLoop, SinglePassHonoursItsTimeoutAndServes)
{
    ServerProcess server(kBoth, [](Transports&) {
        vl_serv_init();
        Shared* s = shared();
        struct timeval none = {0, 0};
        long start = nowUs();
        vl_serv_once(&none);
        s->result[0] = static_cast<int>((nowUs() - start) / 1000);
        struct timeval short_wait = {0, 200000};
        start = nowUs();
        vl_serv_once(&short_wait);
        s->result[1] = static_cast<int>((nowUs() - start) / 1000);
        s->result[2] = static_cast<int>(short_wait.tv_usec);
        s->flag = 1;
        for (;;)
            vl_serv_once(nullptr);
    });
    Shared* s = shared();
    ASSERT_TRUE(eventually([s] { return s->flag == 1; }));
    EXPECT_LT(s->result[0], 50);
    EXPECT_GE(s->result[1], 190);
    EXPECT_LT(s->result[1], 1000);
    EXPECT_EQ(s->result[2], 200000) << "the caller's timeout was changed";
    for (const Transport& t : kTransports) {
        Client client(t.protocol, portOf(server, t.protocol));
        EXPECT_EQ(client.sum({t.protocol}).total, t.protocol) << t.name;
    }
}

// The hard descriptor limit: the highest soft limit this process may set.
rlim_t hardDescriptorLimit()
{
    struct rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_max;
}

void setSoftDescriptorLimit(rlim_t soft)
{
    struct rlimit limit = {soft, hardDescriptorLimit()};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        _exit(96);
}

TEST(DescriptorTable, SizeIsTheSoftLimitButNeverAboveTheSetSize)
{
    // Unlimited is among them only where the hard limit allows it.
    for (rlim_t soft :
         {rlim_t(64), rlim_t(FD_SETSIZE), rlim_t(FD_SETSIZE + 1), hardDescriptorLimit()}) {
        if (soft > hardDescriptorLimit())
            continue;
        SCOPED_TRACE(soft);
        ServerProcess server(kNone, [soft](Transports&) {
            setSoftDescriptorLimit(soft);
            shared()->result[0] = vl_getdtablesize();
        });
        server.wait();
        EXPECT_EQ(shared()->result[0], static_cast<int>(std::min<rlim_t>(soft, FD_SETSIZE)));
    }
}

TEST(DescriptorTable, ServerStaysInsideItsSetsUnderAHighLimit)
{
    if (hardDescriptorLimit() <= FD_SETSIZE)
        GTEST_SKIP() << "the hard descriptor limit is not above FD_SETSIZE";
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    ServerProcess server(
        kBoth,
        [&](Transports& tr) {
            setSoftDescriptorLimit(hardDescriptorLimit());
            vl_serv_input_handler(input[0], noteInput);  // before init: ignored
            vl_serv_init();
            for (int outside : {-1, FD_SETSIZE, FD_SETSIZE + 1, 65536}) {
                vl_serv_input_handler(outside, noteInput);
                vl_serv_output_handler(outside, noteInput);
                vl_serv_exception_handler(outside, noteInput);
            }
            vl_serv_input_handler(input[0], noteInput);
            vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
        },
        kBodyInits);
    for (const Transport& t : kTransports) {
        Client client(t.protocol, portOf(server, t.protocol));
        EXPECT_EQ(client.sum({7}).total, 7) << t.name;
    }
    ASSERT_EQ(write(input[1], "x", 1), 1);
    EXPECT_TRUE(eventually([] { return shared()->inputCalls == 1; }));
    EXPECT_EQ(server.err(), "");
    close(input[0]);
    close(input[1]);
}

TEST(DescriptorTable, ServiceDescriptorAboveALoweredLimitIsNeverServed)
{
    // A UDP transport on a descriptor above the soft limit the server sets
    // later: the loop cannot wait on it, so it must never hand it to the
    // RPC library as ready, where reading it would block the server.
    const int kAboveLimit = 100;
    const rlim_t kLimit = 64;
    if (hardDescriptorLimit() <= static_cast<rlim_t>(kAboveLimit))
        GTEST_SKIP() << "the hard descriptor limit does not reach descriptor " << kAboveLimit;
    u_short tcpPort = 0, udpPort = 0;
    int tcpFd = loopbackSocket(SOCK_STREAM, &tcpPort);
    int udpFd = loopbackSocket(SOCK_DGRAM, &udpPort);
    ASSERT_EQ(dup2(udpFd, kAboveLimit), kAboveLimit);
    close(udpFd);
    ASSERT_LT(tcpFd, static_cast<int>(kLimit));
    ServerProcess server(tcpFd, kAboveLimit, tcpPort, udpPort, [&](Transports& tr) {
        setSoftDescriptorLimit(kLimit);
        vl_serv_init();
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    Client tcp(IPPROTO_TCP, tcpPort, 2);
    for (int call = 1; call <= 2; ++call)
        EXPECT_EQ(tcp.sum({call}).total, call);
}

TEST(DescriptorSets, EmptinessAndKeepingTheMaster)
{
    fd_set set;
    FD_ZERO(&set);
    EXPECT_EQ(vl_fdset_empty(&set), 1);
    FD_SET(vl_getdtablesize() - 1, &set);
    EXPECT_EQ(vl_fdset_empty(&set), 0);

    const struct {
        std::vector<int> members;
        int master;
        bool kept;
    } cases[] = {
        {{3, 5, 7}, 5, true},
        {{3, 7}, 5, false},
        {{3}, -1, false},
        {{3}, FD_SETSIZE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.master);
        FD_ZERO(&set);
        for (int fd : c.members)
            FD_SET(fd, &set);
        vl_keep_master_fd(&set, c.master);
        if (c.kept) {
            EXPECT_TRUE(FD_ISSET(c.master, &set));
            FD_CLR(c.master, &set);
        }
        EXPECT_EQ(vl_fdset_empty(&set), 1);
    }
}

TEST(DescriptorSets, CloseFdsClosesEveryServiceDescriptorButOne)
{
    int kept[2], other[2];
    ASSERT_EQ(pipe(kept), 0);
    ASSERT_EQ(pipe(other), 0);
    fd_set saved = svc_fdset;
    FD_SET(kept[0], &svc_fdset);
    FD_SET(other[0], &svc_fdset);

    close_fds(kept[0]);
    EXPECT_TRUE(FD_ISSET(kept[0], &svc_fdset));
    EXPECT_NE(fcntl(kept[0], F_GETFD), -1);
    EXPECT_FALSE(FD_ISSET(other[0], &svc_fdset));
    EXPECT_EQ(fcntl(other[0], F_GETFD), -1);
    // Descriptors outside the service set are left alone.
    EXPECT_NE(fcntl(other[1], F_GETFD), -1);

    svc_fdset = saved;
    close(kept[0]);
    close(kept[1]);
    close(other[1]);
}

}  // namespace
