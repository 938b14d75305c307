// Clients and conditions that must not stop a server for everybody else:
// connections that send part of a call and then wait, records larger than
// any call, more connections than the loop can watch, a descriptor table
// that is full, and forks that fail.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>

#include "server_harness.hpp"

using namespace harness;

namespace {

// Seconds a client waits for a reply: far longer than any check below
// allows a call to take.
const int kPatientSec = 20;

// Milliseconds a call takes; total receives its result (-1 after a
// failure).
long msOfCall(Client& client, int* total, std::vector<int> values)
{
    long start = nowUs();
    *total = client.sum(std::move(values)).total;
    return (nowUs() - start) / 1000;
}

// A connection that holds the server's attention in a hostile way.
class HostileConnection {
public:
    enum Kind {
        kPartialMark,        // two bytes of a record mark
        kOversizedMark,      // a record of nearly 2 GB announced
        kTrickle,            // a whole call, a byte at a time
        kAnnouncedOnly,      // a complete mark of 1 MiB, nothing behind it
        kStalledFragment,    // a first fragment of 512 KiB, then nothing
        kTrickleInFragment,  // a first fragment, then a second one a byte at a time
    };

    HostileConnection(Kind kind, u_short port) : fd_(connectTcp(port))
    {
        if (fd_ < 0)
            throw std::runtime_error("connect failed");
        std::string call = sumCallMessage(std::vector<int>(300000, 1));
        switch (kind) {
        case kPartialMark:
            send(fd_, "\x80\x00", 2, 0);
            break;
        case kOversizedMark:
            send(fd_, "\xff\xff\xff\xf0\x00\x00\x00\x01", 8, 0);
            break;
        case kTrickle:
            trickle(callRecord(kVoid, 0));
            break;
        case kAnnouncedOnly:
            sendAll(fd_, recordMark(1u << 20, true));
            break;
        case kStalledFragment:
            sendAll(fd_, recordMark(512 * 1024, false) + call.substr(0, 512 * 1024));
            break;
        case kTrickleInFragment:
            sendAll(fd_, recordMark(65536, false) + call.substr(0, 65536));
            trickle(recordMark(65536, false) + call.substr(65536, 65536));
            break;
        }
    }
    ~HostileConnection() { close(); }

    // Closes the connection from this side.
    void close()
    {
        stop_ = true;
        if (trickler_.joinable())
            trickler_.join();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    // Whether the server has closed the connection within ms.
    bool closedByServer(int ms) { return closedByPeer(fd_, ms); }

private:
    // Sends bytes one at a time, a tenth of a second apart, until closed.
    void trickle(std::string bytes)
    {
        trickler_ = std::thread([this, bytes] {
            for (size_t i = 0; i < bytes.size() && !stop_; ++i) {
                send(fd_, &bytes[i], 1, MSG_NOSIGNAL);
                usleep(100000);
            }
        });
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::thread trickler_;
};

// Share of one core below which a waiting server counts as idle: far
// above what a pause between retries costs, far below a spinning loop.
const double kIdleShare = 0.3;

class HostileRecords : public ::testing::TestWithParam<ProcessModel> { };

TEST_P(HostileRecords, DelayNoOtherCallCostNoCpuAndAreReleased)
{
    const ProcessModel& model = GetParam();
    ServerProcess server(kBoth, model.body);
    Client tcp(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    int total = 0;
    ASSERT_LT(msOfCall(tcp, &total, {1}), 5000);
    int descriptors = openDescriptors(server.pid());
    size_t children = std::max(liveChildrenOf(server.pid()).size(), model.standingChildren);

    std::vector<std::unique_ptr<HostileConnection>> hostile;
    for (auto kind : {HostileConnection::kPartialMark, HostileConnection::kOversizedMark,
                      HostileConnection::kTrickle, HostileConnection::kAnnouncedOnly,
                      HostileConnection::kStalledFragment, HostileConnection::kTrickleInFragment})
        hostile.emplace_back(new HostileConnection(kind, server.tcpPort()));
    usleep(300000);  // the server has met them all
    for (int round = 0; round < 3; ++round) {
        EXPECT_LT(msOfCall(tcp, &total, {round, 2}), 3000);
        EXPECT_EQ(total, round + 2);
        EXPECT_LT(msOfCall(udp, &total, {round, 3}), 3000);
        EXPECT_EQ(total, round + 3);
    }
    int turns = shared()->result[3];
    EXPECT_LT(groupCpuShareOver(server.pid(), 5000), kIdleShare);
    if (std::string(model.name) == "Asynchronous") {
        EXPECT_GT(shared()->result[3] - turns, 10) << "the program's own loop stopped";
    }
    {
        Client fresh(IPPROTO_TCP, server.tcpPort(), kPatientSec);
        EXPECT_LT(msOfCall(fresh, &total, {4}), 3000);
        EXPECT_EQ(total, 4);
    }
    // No call is that large: the server ends that connection.
    EXPECT_TRUE(hostile[1]->closedByServer(5000));

    // What the stalled connections held goes with them. (The counts before
    // may still have held the pipe of the fork for the first connection, or
    // the child forked for the first call.)
    hostile.clear();
    EXPECT_TRUE(eventually([&] { return openDescriptors(server.pid()) <= descriptors; }))
        << openDescriptors(server.pid()) << " descriptors, " << descriptors << " before";
    EXPECT_TRUE(eventually([&] { return liveChildrenOf(server.pid()).size() <= children; }))
        << liveChildrenOf(server.pid()).size() << " children, " << children << " before";
    EXPECT_LT(msOfCall(tcp, &total, {5}), 3000);
    EXPECT_EQ(total, 5);
}

INSTANTIATE_TEST_SUITE_P(EveryProcessModel, HostileRecords, ::testing::ValuesIn(processModels()),
                         [](const ::testing::TestParamInfo<ProcessModel>& info) {
                             return std::string(info.param.name);
                         });

rlim_t hardDescriptorLimit()
{
    struct rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_max;
}

void setSoftDescriptorLimit(rlim_t soft)
{
    struct rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = soft;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        throw std::runtime_error("setrlimit failed");
}

// The number of raw connections that the server has closed.
int closedByServer(const std::vector<int>& fds)
{
    std::vector<struct pollfd> polls;
    for (int fd : fds)
        polls.push_back({fd, POLLIN, 0});
    poll(polls.data(), polls.size(), 0);
    int closed = 0;
    for (auto& p : polls)
        closed += (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return closed;
}

TEST(HostileClients, ConnectionsBeyondTheSetSizeAreClosedAtOnce)
{
    const int kIdle = 1100;
    const rlim_t kLimit = 4096;
    if (hardDescriptorLimit() < kLimit)
        GTEST_SKIP() << "the hard descriptor limit is below " << kLimit;
    // The test holds the clients' ends: it needs the raised limit too.
    struct SavedLimit {
        SavedLimit() { getrlimit(RLIMIT_NOFILE, &limit); }
        ~SavedLimit() { setrlimit(RLIMIT_NOFILE, &limit); }
        struct rlimit limit;
    } saved;
    setSoftDescriptorLimit(kLimit);

    ServerProcess server(kBoth, [kLimit](Transports& tr) {
        setSoftDescriptorLimit(kLimit);
        ServerProcess::mainLoop(0)(tr);
    });
    Client resident(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    int total = 0;
    ASSERT_LT(msOfCall(resident, &total, {1}), 5000);
    int startDescriptors = openDescriptors(server.pid());

    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
        int fd = connectTcp(server.tcpPort());
        ASSERT_GE(fd, 0) << i;
        idle.push_back(fd);
    }
    // Every descriptor the loop can watch is taken; the rest are closed.
    int beyond = kIdle - (FD_SETSIZE - startDescriptors);
    EXPECT_TRUE(eventually([&] { return closedByServer(idle) >= beyond; }, 20000))
        << closedByServer(idle) << " of " << beyond << " closed";
    EXPECT_LE(openDescriptors(server.pid()), FD_SETSIZE);

    EXPECT_LT(msOfCall(resident, &total, {2}), 3000);
    EXPECT_EQ(total, 2);
    EXPECT_LT(msOfCall(udp, &total, {3}), 3000);
    EXPECT_EQ(total, 3);
    {
        // A new connection has no place: its client learns at once.
        Client late(IPPROTO_TCP, server.tcpPort(), kPatientSec);
        long start = nowUs();
        EXPECT_EQ(late.sum({4}).total, -1);
        EXPECT_LT((nowUs() - start) / 1000, 3000);
    }

    // Closed with a reset: a client end that closes first would otherwise
    // hold its port for a minute, a port a test on a fixed one may want.
    for (int fd : idle) {
        struct linger abort = {1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(fd);
    }
    EXPECT_TRUE(
        eventually([&] { return openDescriptors(server.pid()) == startDescriptors; }, 20000))
        << openDescriptors(server.pid()) << " descriptors, " << startDescriptors << " at the start";
    Client fresh(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    EXPECT_LT(msOfCall(fresh, &total, {5}), 3000);
    EXPECT_EQ(total, 5);
}

// The server's way out of the condition under test, run by an input
// handler when the test writes to the pipe that ends in `release`.
int release = -1;
void (*lift)() = nullptr;
void liftOnInput(int fd)
{
    char byte;
    if (read(fd, &byte, 1) == 1)
        lift();
}

// A server that runs into a condition and lifts it when the test says so.
struct Lift {
    Lift()
    {
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        release = fds[0];
    }
    ~Lift()
    {
        close(fds[0]);
        close(fds[1]);
    }
    // The server's start: arms the way out, runs into the condition, then
    // runs the main loop.
    static ServerProcess::Body body(void (*way_out)(), void (*condition)(), int dofork)
    {
        return [way_out, condition, dofork](Transports& tr) {
            lift = way_out;
            vl_serv_input_handler(release, liftOnInput);
            condition();
            shared()->flag = 1;
            vl_serv_mainloop(tr.tcp, tr.udp, dofork, 1);
        };
    }
    int fds[2];
};

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A TCP call made while the server cannot take new connections, and its
// result once the server can again.
struct PendingCall {
    explicit PendingCall(u_short port) : client(IPPROTO_TCP, port, kPatientSec)
    {
        caller = std::thread([this] { total = client.sum({7, 8}).total; });
    }
    int result()
    {
        caller.join();
        return total;
    }
    Client client;
    std::atomic<int> total{0};
    std::thread caller;
};

// A server that cannot take the pending connection: it stays nearly idle,
// reports the cause once, serves UDP meanwhile, and takes the connection
// once the cause is lifted.
void expectIdleWaitThenService(ServerProcess& server, int releaseWriter, const std::string& report)
{
    ASSERT_TRUE(eventually([] { return shared()->flag == 1; }));
    PendingCall pending(server.tcpPort());
    usleep(300000);  // the connection is waiting
    EXPECT_LT(cpuShareOver(server.pid(), 2000), kIdleShare);
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    int total = 0;
    EXPECT_LT(msOfCall(udp, &total, {9}), 3000);
    EXPECT_EQ(total, 9);

    ASSERT_EQ(write(releaseWriter, "x", 1), 1);
    EXPECT_EQ(pending.result(), 15);
    Client fresh(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    EXPECT_LT(msOfCall(fresh, &total, {10}), 3000);
    EXPECT_EQ(total, 10);
    EXPECT_EQ(countOf(server.err(), report), 1) << server.err();
}

// Fork fails while the soft limit of processes is 1: the limit binds
// only a user without privileges, which the server becomes.
rlim_t processLimit = 0;
void forbidForkUntilLifted()
{
    struct rlimit processes;
    getrlimit(RLIMIT_NPROC, &processes);
    processLimit = processes.rlim_cur;
    if (geteuid() == 0 && setuid(65534) != 0)
        _exit(95);
    processes.rlim_cur = 1;
    if (setrlimit(RLIMIT_NPROC, &processes) != 0)
        _exit(94);
}

void allowFork()
{
    struct rlimit processes;
    getrlimit(RLIMIT_NPROC, &processes);
    processes.rlim_cur = processLimit;
    setrlimit(RLIMIT_NPROC, &processes);
}

TEST(HostileClients, FailingForkPerConnectionWaitsQuietlyAndResumes)
{
    Lift lifting;
    ServerProcess server(kBoth, Lift::body(allowFork, forbidForkUntilLifted, 1));
    expectIdleWaitThenService(server, lifting.fds[1],
                              "Cannot fork for a connection: Resource temporarily unavailable");
}

// Descriptors that fill the server's table, closed when lifted.
std::vector<int> fillers;
void closeFillers()
{
    for (int fd : fillers)
        close(fd);
    fillers.clear();
}

void fillTheTable()
{
    setSoftDescriptorLimit(64);
    for (int fd; (fd = dup(0)) >= 0;)
        fillers.push_back(fd);
}

TEST(HostileClients, FullDescriptorTableWaitsQuietlyAndResumes)
{
    Lift lifting;
    ServerProcess server(kBoth, Lift::body(closeFillers, fillTheTable, 0));
    expectIdleWaitThenService(server, lifting.fds[1],
                              "Cannot accept a connection: Too many open files");
}

}  // namespace
