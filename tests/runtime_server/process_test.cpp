// Process models: a child per connection (TCP) or per datagram (UDP-only
// servers), the reaping of children, the fork helper for programs that
// fork per call themselves, and the asynchronous mode.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <memory>
#include <set>

#include "server_harness.hpp"

using namespace harness;

namespace {

int servingPid(Client& client) { return client.sum({1}).pid; }

bool endedWithZero(int pid) {
    return eventually([pid] { return exitStatusOf(pid) == 0 && processState(pid) != 'Z'; });
}

TEST(ForkOnConnection, TcpConnectionsGoToChildrenWhileUdpStaysInTheServer) {
    ServerProcess server(kBoth, ServerProcess::mainLoop(1));
    auto a = std::make_unique<Client>(IPPROTO_TCP, server.tcpPort());
    Client b(IPPROTO_TCP, server.tcpPort());
    Client udp(IPPROTO_UDP, server.udpPort());

    int childA = servingPid(*a);
    int childB = servingPid(b);
    EXPECT_NE(childA, server.pid());
    EXPECT_NE(childB, server.pid());
    EXPECT_NE(childA, childB);
    // A connection stays with its child.
    EXPECT_EQ(servingPid(*a), childA);
    EXPECT_EQ(servingPid(udp), server.pid());

    // The client hangs up: its child ends with status 0 and is reaped;
    // the server and the other connections go on.
    a.reset();
    EXPECT_TRUE(endedWithZero(childA));
    EXPECT_EQ(servingPid(b), childB);
    Client c(IPPROTO_TCP, server.tcpPort());
    int childC = servingPid(c);
    EXPECT_NE(childC, server.pid());
    EXPECT_NE(childC, childB);
    EXPECT_EQ(servingPid(udp), server.pid());
}

TEST(ForkOnConnection, UdpOnlyServerServesEveryDatagramInAChild) {
    ServerProcess server(kUdp, ServerProcess::mainLoop(1));
    Client client(IPPROTO_UDP, server.udpPort());
    std::set<int> children;
    for (int call = 0; call < 3; ++call) {
        int child = servingPid(client);
        EXPECT_NE(child, server.pid());
        EXPECT_TRUE(endedWithZero(child));
        children.insert(child);
    }
    EXPECT_EQ(children.size(), 3u);
}

TEST(ForkOnConnection, MasterThatIsNotReadyForksNothing) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(4, &read);
    for (int master : {3, -1, FD_SETSIZE}) {
        EXPECT_EQ(fork_on_connect(&read, master, 0), 0) << master;
        EXPECT_TRUE(FD_ISSET(4, &read));
    }
}

TEST(ForkOnConnection, WithoutAPipeTheServerServesTheConnectionItself) {
    ServerProcess server(kTcp, [](Transports& tr) {
        vl_serv_init();
        // Room for one more descriptor: the connection, but not a pipe.
        int lowestFree = dup(0);
        close(lowestFree);
        struct rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
        setrlimit(RLIMIT_NOFILE, &limit);
        vl_serv_mainloop(tr.tcp, tr.udp, 1, 1);
    });
    Client client(IPPROTO_TCP, server.tcpPort());
    EXPECT_EQ(servingPid(client), server.pid());
    EXPECT_EQ(servingPid(client), server.pid());
    EXPECT_NE(server.err().find("pipe: "), std::string::npos) << server.err();
}

TEST(ForkOnConnection, ManyConnectionsLeaveNoZombie) {
    ServerProcess server(kTcp, ServerProcess::mainLoop(1));
    // Connections end ten at a time, so that children end together and
    // their signals run into each other.
    for (int batch = 0; batch < 5; ++batch) {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 10; ++i) {
            clients.emplace_back(new Client(IPPROTO_TCP, server.tcpPort()));
            ASSERT_NE(servingPid(*clients.back()), server.pid());
        }
        clients.clear();
    }
    Shared* s = shared();
    EXPECT_TRUE(eventually([&] { return s->exitCount >= 50 && childrenOf(server.pid()).empty(); }))
        << s->exitCount << " ended, " << zombiesOf(server.pid()) << " zombies";
    for (int i = 0; i < std::min(s->exitCount.load(), 128); ++i)
        EXPECT_EQ(s->exits[i].status, 0);
}

TEST(ForkOnConnection, StoppedChildDoesNotStopTheServer) {
    ServerProcess server(kBoth, ServerProcess::mainLoop(1));
    Client stopped(IPPROTO_TCP, server.tcpPort());
    int child = servingPid(stopped);
    ASSERT_NE(child, server.pid());
    ASSERT_EQ(kill(child, SIGSTOP), 0);
    ASSERT_TRUE(eventually([child] { return processState(child) == 'T'; }));

    Client tcp(IPPROTO_TCP, server.tcpPort(), 3);
    EXPECT_NE(servingPid(tcp), server.pid());
    Client udp(IPPROTO_UDP, server.udpPort(), 3);
    EXPECT_EQ(servingPid(udp), server.pid());
    kill(child, SIGCONT);
}

TEST(ForkOnCallHelper, ChildLearnsItIsTheChildParentKeepsItsStatus) {
    for (bool forkFails : {false, true}) {
        SCOPED_TRACE(forkFails ? "fork fails" : "fork works");
        ServerProcess server(kNone, [forkFails](Transports&) {
            if (forkFails)
                forbidFork();
            int status = 5;
            vl_fork_on_call(&status);
            if (status == 1) {
                shared()->result[1] = 1;
                _exit(0);
            }
            shared()->result[0] = status;
        });
        server.wait();
        EXPECT_EQ(shared()->result[0], forkFails ? -1 : 5);
        if (!forkFails) {
            EXPECT_TRUE(eventually([] { return shared()->result[1] == 1; }));
        }
    }
}

// Arms the asynchronous mode, notes both results of arming it twice, and
// then computes without end, never looking at the RPC descriptors.
void armTwiceAndCompute(Transports&) {
    vl_serv_init();
    shared()->result[0] = vl_serv_async_enable();
    shared()->result[1] = vl_serv_async_enable();
    shared()->flag = 1;
    volatile unsigned long spin = 0;
    for (;;)
        ++spin;
}

TEST(AsyncMode, BusyProgramGetsItsRequestsServed) {
    ServerProcess server(kBoth, armTwiceAndCompute);
    Shared* s = shared();
    ASSERT_TRUE(eventually([s] { return s->flag == 1; }));
    EXPECT_EQ(s->result[0], 0);
    EXPECT_EQ(s->result[1], -1);

    Client first(IPPROTO_TCP, server.tcpPort());
    Client second(IPPROTO_TCP, server.tcpPort());
    Client udp(IPPROTO_UDP, server.udpPort());
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(servingPid(first), server.pid());
        EXPECT_EQ(servingPid(udp), server.pid());
        EXPECT_EQ(servingPid(second), server.pid());
    }
    // One watcher is armed, never more.
    EXPECT_TRUE(eventually([&] { return liveChildrenOf(server.pid()).size() == 1; }))
        << liveChildrenOf(server.pid()).size() << " watchers";
}

TEST(AsyncMode, CancelStopsServingAndTheModeCanBeArmedAgain) {
    ServerProcess server(kUdp, [](Transports&) {
        vl_serv_init();
        Shared* s = shared();
        s->result[0] = vl_serv_async_cancel();  // none armed
        vl_serv_async_enable();
        s->result[1] = vl_serv_async_cancel();
        s->flag = 1;
        while (s->flag != 2)
            ;
        s->result[2] = vl_serv_async_enable();
        s->flag = 3;
        for (;;)
            ;
    });
    Shared* s = shared();
    ASSERT_TRUE(eventually([s] { return s->flag == 1; }));
    EXPECT_EQ(s->result[0], 0);
    EXPECT_EQ(s->result[1], 0);
    {
        Client client(IPPROTO_UDP, server.udpPort(), 1);
        EXPECT_EQ(client.call(kVoid, xdrVoid(), nullptr, xdrVoid(), nullptr), RPC_TIMEDOUT);
    }
    EXPECT_EQ(s->localCalls, 0);
    s->flag = 2;
    ASSERT_TRUE(eventually([s] { return s->flag == 3; }));
    EXPECT_EQ(s->result[2], 0);
    Client client(IPPROTO_UDP, server.udpPort());
    EXPECT_EQ(servingPid(client), server.pid());
}

// Kills the one watcher of the server once the server has armed it, and
// waits until the server has reaped it.
void killTheWatcher(ServerProcess& server) {
    ASSERT_TRUE(eventually([] { return shared()->flag == 1; }));
    std::vector<int> watchers;
    ASSERT_TRUE(eventually([&] { return (watchers = liveChildrenOf(server.pid())).size() == 1; }));
    ASSERT_EQ(kill(watchers[0], SIGKILL), 0);
    ASSERT_TRUE(eventually([&] { return processState(watchers[0]) == 0; }));
}

TEST(AsyncMode, DeadWatcherDisarmsTheModeSoThatItCanBeArmedAgain) {
    ServerProcess server(kBoth, [](Transports&) {
        Shared* s = shared();
        vl_serv_async_enable();
        s->flag = 1;
        while (s->flag != 2)
            ;
        s->result[0] = vl_serv_async_cancel();
        s->result[1] = vl_serv_async_enable();
        s->flag = 3;
        for (;;)
            ;
    });
    ASSERT_NO_FATAL_FAILURE(killTheWatcher(server));
    Shared* s = shared();
    s->flag = 2;
    ASSERT_TRUE(eventually([s] { return s->flag == 3; }));
    EXPECT_EQ(s->result[0], 0);
    EXPECT_EQ(s->result[1], 0);
    for (const Transport& t : kTransports) {
        Client client(t.protocol, portOf(server, t.protocol));
        EXPECT_EQ(servingPid(client), server.pid()) << t.name;
    }
}

TEST(AsyncMode, MainLoopServesOnAfterTheWatcherDies) {
    ServerProcess server(kBoth, [](Transports& tr) {
        vl_serv_async_enable();
        shared()->flag = 1;
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    ASSERT_NO_FATAL_FAILURE(killTheWatcher(server));
    for (const Transport& t : kTransports) {
        Client client(t.protocol, portOf(server, t.protocol));
        EXPECT_EQ(servingPid(client), server.pid()) << t.name;
    }
    // No new watcher was armed behind the program's back.
    EXPECT_TRUE(liveChildrenOf(server.pid()).empty());
}

TEST(AsyncMode, FailedForkLeavesTheModeDisarmed) {
    ServerProcess server(kUdp, [](Transports&) {
        vl_serv_init();
        forbidFork();
        Shared* s = shared();
        s->result[0] = vl_serv_async_enable();
        s->result[1] = vl_serv_async_enable();  // tried again, not "armed"
        s->result[2] = vl_serv_async_cancel();
        s->flag = 1;
    });
    Shared* s = shared();
    server.wait();
    ASSERT_EQ(s->flag, 1);
    EXPECT_EQ(s->result[0], -1);
    EXPECT_EQ(s->result[1], -1);
    EXPECT_EQ(s->result[2], 0);
}

TEST(AsyncMode, WatcherEndsWithTheServer) {
    ServerProcess server(kUdp, armTwiceAndCompute);
    std::vector<int> watchers;
    ASSERT_TRUE(eventually([&] { return (watchers = liveChildrenOf(server.pid())).size() == 1; }));
    kill(server.pid(), SIGKILL);
    int watcher = watchers[0];
    EXPECT_TRUE(eventually([watcher] { char st = processState(watcher); return st == 0 || st == 'Z'; }));
}

}  // namespace
