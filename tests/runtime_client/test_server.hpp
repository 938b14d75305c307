// A small ONC RPC server in a forked child on 127.0.0.1, for the client
// tests: procedure 0 answers empty, procedure 1 returns its int plus one.
#ifndef RUNTIME_CLIENT_TEST_SERVER_HPP
#define RUNTIME_CLIENT_TEST_SERVER_HPP

#include <rpc/rpc.h>
#include <rpc/pmap_clnt.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../support/loopback_socket.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

const u_long kTestVersion = 1;

// xdr_void takes no arguments; the cast through void(*)() says that its
// use as a filter is meant.
inline xdrproc_t xdrVoid()
{
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_void));
}
const u_long kIncrementProc = 1;

// A program number of this process alone, so that concurrent test runs
// never meet in the portmapper.
inline u_long uniqueProgram()
{
    static u_long next = 0;
    return 0x20000000u + ((static_cast<u_long>(getpid()) & 0xFFFFFu) << 4) + (next++ & 0xFu);
}

using testsupport::boundLoopbackSocket;

// A port on 127.0.0.1 that nothing listens on (just released).
inline u_short unusedPort()
{
    u_short port = 0;
    close(boundLoopbackSocket(SOCK_STREAM, &port));
    return port;
}

class TestServer {
public:
    enum Registration { FixedPort, Portmapper };

    TestServer(int protocol, Registration registration)
        : program_(uniqueProgram()),
          protocol_(protocol),
          registered_(false)
    {
        int fd = boundLoopbackSocket(protocol == IPPROTO_TCP ? SOCK_STREAM : SOCK_DGRAM, &port_);
        // The library listens only on sockets it bound itself.
        if (protocol == IPPROTO_TCP && listen(fd, 8) != 0) {
            close(fd);
            throw std::runtime_error("listen failed");
        }
        // Registered before the child starts: a lookup cannot come too early.
        if (registration == Portmapper) {
            if (!pmap_set(program_, kTestVersion, protocol, port_)) {
                close(fd);
                throw std::runtime_error("portmapper registration failed");
            }
            registered_ = true;
        }
        pid_ = fork();
        if (pid_ == 0)
            serve(fd);
        close(fd);
        if (pid_ < 0) {
            unregister();
            throw std::runtime_error("fork failed");
        }
    }

    ~TestServer()
    {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
        unregister();
    }

    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    u_long program() const { return program_; }
    u_short port() const { return port_; }

private:
    static void dispatch(struct svc_req* rq, SVCXPRT* xprt)
    {
        if (rq->rq_proc == kIncrementProc) {
            int value = 0;
            if (!svc_getargs(xprt, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value))) {
                svcerr_decode(xprt);
                return;
            }
            ++value;
            svc_sendreply(xprt, (xdrproc_t)xdr_int, reinterpret_cast<char*>(&value));
        } else if (rq->rq_proc == 0) {
            svc_sendreply(xprt, xdrVoid(), nullptr);
        } else {
            svcerr_noproc(xprt);
        }
    }

    [[noreturn]] void serve(int fd)
    {
        alarm(60);  // never outlives a broken test
        SVCXPRT* xprt = protocol_ == IPPROTO_TCP ? svctcp_create(fd, 0, 0) : svcudp_create(fd);
        if (xprt == nullptr || !svc_register(xprt, program_, kTestVersion, dispatch, 0))
            _exit(1);
        svc_run();
        _exit(1);
    }

    void unregister()
    {
        if (registered_)
            pmap_unset(program_, kTestVersion);
        registered_ = false;
    }

    u_long program_;
    int protocol_;
    bool registered_;
    u_short port_;
    pid_t pid_;
};

#endif
