// TCP clients that go away before their reply is written: the reply (and
// the error reply that follows a failed one) goes to a connection the
// peer has reset, which must cost the server that connection and nothing
// more, whichever process serves the call.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include "server_harness.hpp"

using namespace harness;

namespace {

// Several hundred KB: the reply leaves in many pieces.
const u_int kReplyBytes = 512 * 1024;

// A raw TCP connection that sends one call and then resets itself, so
// that nothing of the reply is ever read.
class VanishingClient {
public:
    explicit VanishingClient(u_short port) : fd_(connectTcp(port)) {
        if (fd_ < 0)
            throw std::runtime_error("connect failed");
    }
    ~VanishingClient() {
        if (fd_ >= 0)
            close(fd_);
    }
    VanishingClient(const VanishingClient&) = delete;
    VanishingClient& operator=(const VanishingClient&) = delete;

    // One call record in a single fragment.
    void call(u_long proc, u_int argument) {
        std::string record = callRecord(proc, argument);
        ASSERT_EQ(write(fd_, record.data(), record.size()), static_cast<ssize_t>(record.size()));
    }

    // Closes with a reset instead of an orderly shutdown.
    void reset() {
        struct linger abort = {1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

bool answersNullCall(u_short port) {
    try {
        Client client(IPPROTO_TCP, port, 2);
        return client.call(NULLPROC, xdrVoid(), nullptr, xdrVoid(), nullptr) == RPC_SUCCESS;
    } catch (const std::exception&) {
        return false;
    }
}

bool gone(int pid) {
    char state = processState(pid);
    return state == 0 || state == 'Z';
}

struct Model {
    const char* name;
    int mtOnCall;
    int dofork;
};

TEST(PeerGone, ResetBeforeALargeReplyCostsOnlyThatConnection) {
    const Model models[] = {
        {"in place", 0, 0},
        {"fork on call", VELORIN_FORKING, 0},
        {"fork on connection", 0, 1},
    };
    for (const Model& model : models) {
        SCOPED_TRACE(model.name);
        ServerProcess server(kTcp, [model](Transports& tr) {
            // As a program started from a shell finds it.
            signal(SIGPIPE, SIG_DFL);
            options().mtOnCall = model.mtOnCall;
            ServerProcess::mainLoop(model.dofork)(tr);
        });
        Shared* s = shared();
        VanishingClient client(server.tcpPort());
        client.call(kHeldBulk, kReplyBytes);
        ASSERT_TRUE(eventually([s] { return s->localCalls == 1; }));
        int serving = s->localPid;
        client.reset();
        usleep(20000);  // the reset reaches the server's socket first
        s->flag = 1;

        // The failed reply is followed by the release of the result.
        EXPECT_TRUE(eventually([&] { return s->freeAfterCalls == 1 || gone(serving); }));
        EXPECT_EQ(s->freeAfterCalls, 1);
        if (serving != server.pid()) {
            // The process that served the call ends normally.
            EXPECT_TRUE(eventually([serving] { return exitStatusOf(serving) == 0; }))
                << "serving process state " << processState(serving);
        }
        if (gone(server.pid())) {
            int status = server.wait(1000);
            ADD_FAILURE() << "server ended, " << (WIFSIGNALED(status) ? "by signal " : "with status ")
                          << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        }
        EXPECT_TRUE(answersNullCall(server.tcpPort()));
    }
}

// What a SIGPIPE disposition becomes through vl_serv_init.
enum Disposition { kDefault, kIgnored, kOwn, kOther };

void ownHandler(int) {}

Disposition sigpipeDisposition() {
    struct sigaction current;
    sigaction(SIGPIPE, nullptr, &current);
    if (current.sa_handler == SIG_DFL)
        return kDefault;
    if (current.sa_handler == SIG_IGN)
        return kIgnored;
    return current.sa_handler == ownHandler ? kOwn : kOther;
}

TEST(PeerGone, InitIgnoresSigpipeOnlyWhereNobodyChoseOtherwise) {
    struct Case {
        const char* name;
        void (*before)(int);
        Disposition after;
    };
    const Case cases[] = {
        {"default", SIG_DFL, kIgnored},
        {"ignored", SIG_IGN, kIgnored},
        {"program's handler", ownHandler, kOwn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerProcess server(kNone, [&c](Transports&) {
            signal(SIGPIPE, c.before);
            vl_serv_init();
            shared()->result[0] = sigpipeDisposition();
        });
        server.wait();
        EXPECT_EQ(shared()->result[0], c.after);
    }
}

}  // namespace
