// Execution of one call: in place, with an early reply, in forked
// children, and the answers to requests that cannot be decoded, forked or
// answered.
#include <gtest/gtest.h>

#include <algorithm>

#include "server_harness.hpp"

using namespace harness;

namespace {

// Heap bytes in use in the server process.
u_int serverMemory(Client& client)
{
    MemoryOut out = {0};
    EXPECT_EQ(client.call(kMemory, xdrVoid(), nullptr, xdrMemoryOut, &out), RPC_SUCCESS);
    return out.bytes;
}

TEST(CallExecution, InPlaceCallsRunInTheServerProcess)
{
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        ServerProcess server(kBoth);
        Client client(t.protocol, portOf(server, t.protocol));
        Shared* s = shared();

        SumOut sum = client.sum({1, 2, 3});
        EXPECT_EQ(sum.total, 6);
        EXPECT_EQ(sum.pid, server.pid());
        // free_after runs after the reply has left.
        EXPECT_TRUE(eventually([s] { return s->freeAfterCalls == 1; }));
        EXPECT_EQ(s->freeAfterSaw, 6);

        // No arguments, no result: sizes 0 and xdr_void on both sides.
        EXPECT_EQ(client.call(kVoid, xdrVoid(), nullptr, xdrVoid(), nullptr), RPC_SUCCESS);
        EXPECT_EQ(s->localCalls, 2);
        EXPECT_EQ(s->localPid, server.pid());

        char text[] = "the decoded string";
        EchoIn in = {text};
        EchoOut out = {nullptr};
        ASSERT_EQ(client.call(kEcho, xdrEchoIn, &in, xdrEchoOut, &out), RPC_SUCCESS);
        EXPECT_STREQ(out.text, text);
        clnt_freeres(client.handle(), as<xdrproc_t>(xdrEchoOut), reinterpret_cast<char*>(&out));
        EXPECT_TRUE(eventually([s] { return s->freeAfterCalls == 2; }));
    }
}

TEST(CallExecution, EarlyReplyCarriesTheZeroedResultRecord)
{
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        ServerProcess server(kBoth, [](Transports& tr) {
            options().replyNow = 1;
            ServerProcess::mainLoop(0)(tr);
        });
        Client client(t.protocol, portOf(server, t.protocol));

        SumOut sum = client.sum({4, 5});
        // Whatever local stores afterwards, the reply is the zeroed record.
        EXPECT_EQ(sum.total, 0);
        EXPECT_EQ(sum.pid, 0);
        // local still runs, and free_after sees the record as local left it.
        EXPECT_TRUE(eventually([] { return shared()->freeAfterCalls == 1; }));
        EXPECT_EQ(shared()->localCalls, 1);
        EXPECT_EQ(shared()->freeAfterSaw, 9);
    }
}

TEST(CallExecution, ForkOnCallRunsEveryCallInAChildOfItsOwn)
{
    const int kCalls = 3;
    // Each call waits for the others this long at most: long enough that
    // the calls overlap even when forking is slow (a loaded machine, the
    // sanitizer build), and spent only when they do not.
    const int kSlowMs = 20000;
    for (int mode : {static_cast<int>(VELORIN_FORKING), static_cast<int>(VELORIN_THREADING), 7}) {
        for (const Transport& t : kTransports) {
            SCOPED_TRACE(std::string(t.name) + " mt_on_call " + std::to_string(mode));
            ServerProcess server(kBoth, [mode](Transports& tr) {
                options().mtOnCall = mode;
                ServerProcess::mainLoop(0)(tr);
            });
            shared()->slowStarted = 0;
            shared()->slowAwaited = kCalls;
            std::vector<std::unique_ptr<Client>> clients;
            for (int i = 0; i < kCalls; ++i)
                clients.emplace_back(
                    new Client(t.protocol, portOf(server, t.protocol), 2 * kSlowMs / 1000));
            std::vector<enum clnt_stat> status(kCalls, RPC_FAILED);
            std::vector<int> pids(kCalls, -1);
            std::vector<std::thread> callers;
            for (int i = 0; i < kCalls; ++i) {
                callers.emplace_back([&, i] {
                    SlowIn in = {i, kSlowMs};
                    PidOut out = {-1};
                    status[i] = clients[i]->call(kSlow, xdrSlowIn, &in, xdrPidOut, &out);
                    pids[i] = out.pid;
                });
            }
            for (std::thread& caller : callers)
                caller.join();

            long lastStart = 0, firstEnd = 0;
            for (int i = 0; i < kCalls; ++i) {
                EXPECT_EQ(status[i], RPC_SUCCESS);
                EXPECT_NE(pids[i], server.pid());
                EXPECT_EQ(std::count(pids.begin(), pids.end(), pids[i]), 1)
                    << "calls shared a process";
                EXPECT_TRUE(eventually([&] { return exitStatusOf(pids[i]) == 0; }))
                    << "child did not exit 0";
                Interval& slot = shared()->slots[i];
                lastStart = std::max(lastStart, slot.startUs.load());
                firstEnd = i == 0 ? slot.endUs.load() : std::min(firstEnd, slot.endUs.load());
            }
            // Every call had started before the first one ended: they
            // overlapped. The last to start may end within the same
            // microsecond, since it finds the others waiting for it.
            EXPECT_LE(lastStart, firstEnd);
            // The server process itself goes on.
            EXPECT_EQ(clients[0]->sum({2, 2}).total, 4);
        }
    }
}

TEST(CallExecution, UndecodableArgumentsAnswerDecodeErrorAndNeverRunLocal)
{
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        ServerProcess server(kBoth);
        Client client(t.protocol, portOf(server, t.protocol));
        SumOut out = {-1, -1};
        EXPECT_EQ(client.call(kSum, xdrTruncatedSum, nullptr, xdrSumOut, &out), RPC_CANTDECODEARGS);
        EXPECT_EQ(shared()->localCalls, 0);
        EXPECT_EQ(shared()->freeAfterCalls, 0);
        EXPECT_EQ(client.sum({5, 6}).total, 11);
    }
}

TEST(CallExecution, MalformedRequestsDoNotGrowTheServer)
{
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    ServerProcess server(kBoth, [&stop](Transports& tr) {
        close(stop[1]);
        vl_serv_init();
        // The end of the test ends the server through exit, where the leak
        // checker of the sanitizer build looks at what is left.
        vl_serv_input_handler(stop[0], [](int) { exit(0); });
        vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
    });
    close(stop[0]);
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        Client client(t.protocol, portOf(server, t.protocol));
        u_int before = serverMemory(client);
        // Each request makes the decoder allocate 2 MB before it fails.
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(client.call(kSum, xdrTruncatedSum, nullptr, xdrSumOut, nullptr),
                      RPC_CANTDECODEARGS);
        u_int after = serverMemory(client);
        EXPECT_LT(after, before + (1u << 20)) << "grew from " << before << " to " << after;
    }
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    int status = server.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n"
                                                               << server.err();
    close(stop[1]);
}

TEST(CallExecution, FailedForkAnswersSystemError)
{
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        ServerProcess server(kBoth, [](Transports& tr) {
            vl_serv_init();
            options().mtOnCall = VELORIN_FORKING;
            forbidFork();
            vl_serv_mainloop(tr.tcp, tr.udp, 0, 1);
        });
        Client client(t.protocol, portOf(server, t.protocol));
        SumIn in = {0, nullptr};
        SumOut out = {-1, -1};
        EXPECT_EQ(client.call(kSum, xdrSumIn, &in, xdrSumOut, &out), RPC_SYSTEMERROR);
        EXPECT_EQ(shared()->localCalls, 0);
        EXPECT_NE(server.err().find("fork: "), std::string::npos) << server.err();
        // The server goes on serving.
        serverMemory(client);
    }
}

TEST(CallExecution, UnsendableReplyIsFollowedBySystemError)
{
    for (const Transport& t : kTransports) {
        SCOPED_TRACE(t.name);
        ServerProcess server(kBoth);
        {
            Client client(t.protocol, portOf(server, t.protocol));
            int value = 3;
            enum clnt_stat status = client.call(kBadReply, xdr_int, &value, xdr_int, &value);
            // Over UDP nothing of the broken reply leaves the server; over TCP
            // its beginning does, and the client stumbles on that first.
            if (t.protocol == IPPROTO_UDP)
                EXPECT_EQ(status, RPC_SYSTEMERROR);
            else
                EXPECT_NE(status, RPC_SUCCESS);
        }
        // The sequence went on: free_after ran.
        EXPECT_TRUE(eventually([] { return shared()->freeAfterCalls == 1; }));
        EXPECT_EQ(shared()->localCalls, 1);
        Client again(t.protocol, portOf(server, t.protocol));
        EXPECT_EQ(again.sum({1}).total, 1);
    }
}

TEST(CallExecution, ArgumentsThatCannotBeReleasedEndTheServer)
{
    ServerProcess server(kUdp);
    Client client(IPPROTO_UDP, server.udpPort());
    int value = 1;
    // The reply leaves before the release fails.
    EXPECT_EQ(client.call(kUnfreeable, xdr_int, &value, xdrVoid(), nullptr), RPC_SUCCESS);
    int status = server.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(server.err(), "Unable to free arguments.\n");
}

}  // namespace
