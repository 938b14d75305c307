// Peers that would take the server for themselves on the writing side: a
// connection that asks for large replies and never reads them, and calls
// pipelined on one connection whose replies must not mix, in every
// process model.
#include <gtest/gtest.h>

#include <poll.h>

#include <map>

#include "server_harness.hpp"

using namespace harness;

namespace {

const int kPatientSec = 20;
// The stall time the servers below run with, set as a user would.
const int kStallSec = 3;
// The size of each large reply: a few times the socket buffers of a
// loopback connection once a peer stops reading them all.
const u_int kReplyBytes = 1600000;

// The model's body, with the stall time of waiting replies shortened.
ServerProcess::Body withShortStall(const ProcessModel& model)
{
    ServerProcess::Body body = model.body;
    return [body](Transports& tr) {
        setenv("VELORIN_REPLY_STALL_SECONDS", std::to_string(kStallSec).c_str(), 1);
        body(tr);
    };
}

// A record of a kHeldBulk call asking for bytes, with its own xid.
std::string bulkCallRecord(u_int xid, u_int bytes)
{
    std::string record = callRecord(kHeldBulk, bytes);
    uint32_t wire = htonl(xid);
    std::memcpy(&record[4], &wire, 4);
    return record;
}

// The xid of a reply message and, for a successful kHeldBulk reply that
// fills the whole message, its bytes; false when it is not one.
bool decodeBulkReply(std::string& message, u_int* xid, std::string* bytes)
{
    BulkOut out = {0, nullptr};
    size_t used = 0;
    bool ok = decodeReply(message, xdrBulkOut, &out, xid, &used) && used == message.size();
    if (ok)
        bytes->assign(out.bytes, out.length);
    xdr_free(as<xdrproc_t>(xdrBulkOut), reinterpret_cast<char*>(&out));
    return ok;
}

// Whether the server has closed (or reset) the connection within ms,
// seen without reading anything from it.
bool closedUnread(int fd, int ms)
{
    struct pollfd state = {fd, POLLRDHUP, 0};
    return poll(&state, 1, ms) == 1 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// Milliseconds a call takes; total receives its result (-1 after a
// failure).
long msOfCall(Client& client, int* total, std::vector<int> values)
{
    long start = nowUs();
    *total = client.sum(std::move(values)).total;
    return (nowUs() - start) / 1000;
}

// Heap bytes the server process has in use, as its kMemory call says.
u_int heapInUse(Client& client)
{
    MemoryOut out = {0};
    if (client.call(kMemory, xdrVoid(), nullptr, xdrMemoryOut, &out) != RPC_SUCCESS)
        return ~0u;
    return out.bytes;
}

class SlowReaders : public ::testing::TestWithParam<ProcessModel> { };

TEST_P(SlowReaders, PeerThatNeverReadsHoldsUpOnlyItselfAndIsClosed)
{
    const ProcessModel& model = GetParam();
    ServerProcess server(kBoth, withShortStall(model));
    shared()->flag = 1;  // bulk calls reply at once
    Client tcp(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    int total = 0;
    // Two calls: under fork per call the parent may note the child of the
    // first (and open what it watches children with) only after the reply
    // has come; the second is served only after that.
    ASSERT_LT(msOfCall(tcp, &total, {1}), 5000);
    ASSERT_LT(msOfCall(tcp, &total, {1}), 5000);
    int descriptors = openDescriptors(server.pid());
    size_t children = std::max(liveChildrenOf(server.pid()).size(), model.standingChildren);
    u_int heap = heapInUse(tcp);

    int stuck = connectTcp(server.tcpPort());
    ASSERT_GE(stuck, 0);
    std::string calls;
    for (u_int i = 0; i < 40; ++i)
        calls += bulkCallRecord(i + 1, kReplyBytes);
    long sent = nowUs();
    ASSERT_TRUE(sendAll(stuck, calls));
    ASSERT_TRUE(eventually([] { return shared()->localCalls >= 3; }));
    usleep(300000);  // the replies have filled what the sockets hold

    for (int round = 0; round < 3; ++round) {
        EXPECT_LT(msOfCall(tcp, &total, {round, 2}), 3000);
        EXPECT_EQ(total, round + 2);
        EXPECT_LT(msOfCall(udp, &total, {round, 3}), 3000);
        EXPECT_EQ(total, round + 3);
        Client fresh(IPPROTO_TCP, server.tcpPort(), kPatientSec);
        EXPECT_LT(msOfCall(fresh, &total, {round, 4}), 3000);
        EXPECT_EQ(total, round + 4);
    }
    // The peer has taken nothing since its calls went out: its connection
    // ends after the stall time, not before.
    EXPECT_TRUE(closedUnread(stuck, (kStallSec + 10) * 1000));
    long closedMs = (nowUs() - sent) / 1000;
    EXPECT_GE(closedMs, kStallSec * 1000 - 500);
    close(stuck);
    EXPECT_TRUE(eventually([&] { return openDescriptors(server.pid()) <= descriptors; }))
        << openDescriptors(server.pid()) << " descriptors, " << descriptors << " before";
    EXPECT_TRUE(eventually([&] { return liveChildrenOf(server.pid()).size() <= children; }))
        << liveChildrenOf(server.pid()).size() << " children, " << children << " before";
    // The waiting reply's memory went with the connection.
    EXPECT_LT(heapInUse(tcp), heap + 512 * 1024);
    EXPECT_LT(msOfCall(tcp, &total, {5}), 3000);
    EXPECT_EQ(total, 5);
}

TEST_P(SlowReaders, RepliesOfPipelinedCallsLeaveWholeAndInOrder)
{
    ServerProcess server(kTcp, withShortStall(GetParam()));
    shared()->flag = 1;
    int fd = connectTcp(server.tcpPort());
    ASSERT_GE(fd, 0);
    // Each call asks for a length of its own, so that a reply shows the
    // call it answers besides its xid.
    std::map<u_int, u_int> lengthOf;
    std::string calls;
    for (u_int xid = 101; xid <= 104; ++xid) {
        lengthOf[xid] = kReplyBytes + 4 * (xid - 100);
        calls += bulkCallRecord(xid, lengthOf[xid]);
    }
    ASSERT_TRUE(sendAll(fd, calls));
    std::vector<u_int> order;
    for (int i = 0; i < 4; ++i) {
        std::string message, bytes;
        u_int xid = 0;
        ASSERT_TRUE(receiveRecord(fd, &message, kPatientSec * 1000)) << "reply " << i;
        ASSERT_TRUE(decodeBulkReply(message, &xid, &bytes)) << "reply " << i << " is broken";
        ASSERT_EQ(lengthOf.count(xid), 1u) << "xid " << xid;
        EXPECT_EQ(bytes, std::string(lengthOf[xid], '\0')) << "xid " << xid;
        order.push_back(xid);
    }
    EXPECT_EQ(order, (std::vector<u_int>{101, 102, 103, 104}));
    close(fd);
}

INSTANTIATE_TEST_SUITE_P(EveryProcessModel, SlowReaders, ::testing::ValuesIn(processModels()),
                         [](const ::testing::TestParamInfo<ProcessModel>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
