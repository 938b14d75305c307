// Host entries that are not IPv4 addresses of 4 bytes: the system's resolver
// gives them only in configurations this machine may not have, so this test
// puts its own gethostbyname in front of the C library's for a few made-up
// names and passes every other name on.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include "velorin.h"

namespace {

char address16[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
char address4[4] = {127, 0, 0, 1};
char* listOf16[] = {address16, nullptr};
char* listOf4[] = {address4, nullptr};
char* emptyList[] = {nullptr};
char fakeName[] = "fake";
char* noAliases[] = {nullptr};

struct FakeHost {
    const char* name;
    hostent entry;
};

FakeHost fakeHosts[] = {
    {"ipv6.fake.test", {fakeName, noAliases, AF_INET6, 16, listOf16}},
    {"long-ipv4.fake.test", {fakeName, noAliases, AF_INET, 16, listOf16}},
    {"short-ipv4.fake.test", {fakeName, noAliases, AF_INET, 2, listOf4}},
    {"no-address.fake.test", {fakeName, noAliases, AF_INET, 4, emptyList}},
    {"loopback.fake.test", {fakeName, noAliases, AF_INET, 4, listOf4}},
};

}  // namespace

extern "C" struct hostent* gethostbyname(const char* name)
{
    if (name != nullptr)
        for (FakeHost& fake : fakeHosts)
            if (std::strcmp(name, fake.name) == 0)
                return &fake.entry;
    using lookup_t = struct hostent* (*)(const char*);
    static lookup_t real = reinterpret_cast<lookup_t>(dlsym(RTLD_NEXT, "gethostbyname"));
    return real != nullptr ? real(name) : nullptr;
}

namespace {

int lowestFreeFd()
{
    int fd = dup(0);
    close(fd);
    return fd;
}

TEST(HostFamily, OnlyIPv4EntriesOfFourBytes)
{
    const char* const rejected[] = {"ipv6.fake.test", "long-ipv4.fake.test", "short-ipv4.fake.test",
                                    "no-address.fake.test"};
    const int before = lowestFreeFd();
    for (const char* host : rejected) {
        for (const char* proto : {"tcp", "udp"}) {
            rpc_createerr.cf_stat = RPC_SUCCESS;
            rpc_createerr.cf_error.re_errno = 0;
            EXPECT_EQ(vl_clnt_create(host, 1, 0x20000000, 1, proto, 0, 0), nullptr) << host;
            EXPECT_EQ(rpc_createerr.cf_stat, RPC_SYSTEMERROR) << host;
            EXPECT_EQ(rpc_createerr.cf_error.re_errno, EAFNOSUPPORT) << host;
        }
        for (int type : {0, 1})
            EXPECT_EQ(vl_sock_connect(host, 1, type), -1) << host;
    }
    EXPECT_EQ(lowestFreeFd(), before) << "no socket is left open";
}

// The interposed lookup is the one the runtime uses: an accepted fake entry
// reaches the loopback address.
TEST(HostFamily, AcceptedEntryIsUsed)
{
    int fd = vl_sock_connect("loopback.fake.test", 9, 0);
    ASSERT_GE(fd, 0);
    struct sockaddr_in peer;
    socklen_t length = sizeof peer;
    ASSERT_EQ(getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length), 0);
    EXPECT_EQ(peer.sin_family, AF_INET);
    EXPECT_EQ(ntohs(peer.sin_port), 9);
    EXPECT_EQ(ntohl(peer.sin_addr.s_addr), INADDR_LOOPBACK);
    close(fd);
}

}  // namespace
