// Calls and replies of any size over TCP, in every process model: records
// of many fragments from the RPC library's clients (default and large
// buffers) and from a raw client (1-byte fragments, 10^5 fragments,
// records sent back to back), and the record bound, beyond which only the
// connection that sent the record is closed.
#include <gtest/gtest.h>

#include <set>

#include "server_harness.hpp"

// rpc_control; the header needs the types of rpc.h before it.
#include <rpc/rpc_com.h>

using namespace harness;

namespace {

const int kPatientSec = 20;

std::vector<int> countingValues(size_t count)
{
    std::vector<int> values(count);
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<int>(i % 1000);
    return values;
}

int totalOf(const std::vector<int>& values)
{
    int total = 0;
    for (int v : values)
        total += v;
    return total;
}

class LargeRecords : public ::testing::TestWithParam<ProcessModel> { };

TEST_P(LargeRecords, CallsAndRepliesOfAnySizeReachTheirPeer)
{
    ServerProcess server(kBoth, GetParam().body);
    struct Case {
        const char* name;
        size_t values;
        u_int bufferBytes;
    };
    const Case cases[] = {
        {"one fragment", 16000, 0},
        {"70,000 ints", 70000, 0},
        {"1 MiB", 262144, 0},
        {"1 MiB, 256 KiB buffers", 262144, 256 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Client tcp(IPPROTO_TCP, server.tcpPort(), kPatientSec, c.bufferBytes);
        std::vector<int> values = countingValues(c.values);
        EXPECT_EQ(tcp.sum(values).total, totalOf(values));
    }
    // A reply of about 1 MB.
    Client tcp(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    std::string text(1000000, 'v');
    EchoIn in = {&text[0]};
    EchoOut out = {nullptr};
    ASSERT_EQ(tcp.call(kEcho, xdrEchoIn, &in, xdrEchoOut, &out), RPC_SUCCESS);
    EXPECT_EQ(out.text, text);
    xdr_free(as<xdrproc_t>(xdrEchoOut), reinterpret_cast<char*>(&out));
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    EXPECT_EQ(udp.sum({5, 6}).total, 11);
}

TEST_P(LargeRecords, RawRecordsOfManyFragmentsAreServed)
{
    ServerProcess server(kTcp, GetParam().body);
    struct Case {
        const char* name;
        size_t values;
        size_t fragment;
    };
    const Case cases[] = {
        {"1-byte fragments", 100, 1},
        {"10^5 fragments", 100000, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int fd = connectTcp(server.tcpPort());
        ASSERT_GE(fd, 0);
        std::vector<int> values = countingValues(c.values);
        ASSERT_TRUE(sendAll(fd, inFragments(sumCallMessage(values), c.fragment)));
        std::string reply;
        EXPECT_TRUE(receiveRecord(fd, &reply, kPatientSec * 1000));
        EXPECT_EQ(sumOfReply(reply), totalOf(values));
        close(fd);
    }
    // Records sent back to back in one piece: every one is answered,
    // though the socket holds nothing more after the first read. Calls
    // forked per call may answer in any order.
    int fd = connectTcp(server.tcpPort());
    ASSERT_GE(fd, 0);
    std::string records;
    for (int i = 1; i <= 3; ++i)
        records += inFragments(sumCallMessage({i, i}), 12);
    ASSERT_TRUE(sendAll(fd, records));
    std::multiset<int> totals;
    for (int i = 1; i <= 3; ++i) {
        std::string reply;
        EXPECT_TRUE(receiveRecord(fd, &reply, kPatientSec * 1000)) << i;
        totals.insert(sumOfReply(reply));
    }
    EXPECT_EQ(totals, (std::multiset<int>{2, 4, 6}));
    close(fd);
}

// A bound the program sets itself, before its loop runs.
const int kBound = 256 * 1024;

TEST_P(LargeRecords, RecordBeyondTheBoundClosesOnlyItsConnection)
{
    ServerProcess::Body model = GetParam().body;
    ServerProcess server(kBoth, [model](Transports& tr) {
        int bound = kBound;
        rpc_control(RPC_SVC_CONNMAXREC_SET, &bound);
        model(tr);
    });
    Client resident(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    ASSERT_EQ(resident.sum({1}).total, 1);

    // Just within the bound, then just beyond it: 16 bytes of call header
    // and credentials lie between the two.
    std::vector<int> within = countingValues((kBound - 80) / 4);
    std::string message = sumCallMessage(within);
    ASSERT_LE(message.size(), static_cast<size_t>(kBound));
    int fd = connectTcp(server.tcpPort());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, inFragments(message, 65536)));
    std::string reply;
    EXPECT_TRUE(receiveRecord(fd, &reply, kPatientSec * 1000));
    EXPECT_EQ(sumOfReply(reply), totalOf(within));
    close(fd);

    std::vector<int> beyond = countingValues(kBound / 4);
    fd = connectTcp(server.tcpPort());
    ASSERT_GE(fd, 0);
    (void)sendAll(fd, inFragments(sumCallMessage(beyond), 65536));
    EXPECT_TRUE(closedByPeer(fd, 5000));
    close(fd);

    EXPECT_EQ(resident.sum({2, 3}).total, 5);
    Client udp(IPPROTO_UDP, server.udpPort(), kPatientSec);
    EXPECT_EQ(udp.sum({4}).total, 4);
    Client fresh(IPPROTO_TCP, server.tcpPort(), kPatientSec);
    EXPECT_EQ(fresh.sum({6}).total, 6);
}

INSTANTIATE_TEST_SUITE_P(EveryProcessModel, LargeRecords, ::testing::ValuesIn(processModels()),
                         [](const ::testing::TestParamInfo<ProcessModel>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
