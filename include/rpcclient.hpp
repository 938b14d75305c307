// Header-only base class of the generated C++ client classes: one client
// handle and the call timeout that the generated methods install before each
// call. The operations without a handle of their own parameter are the ONC
// RPC client functions of like names applied to the object's handle.
#ifndef RPCCLIENT_HPP
#define RPCCLIENT_HPP

#include <rpc/rpc.h>
#include "velorin.h"

#include <cstdio>
#include <cstring>

class RPCClient {
protected:
    CLIENT* clnt;            // 0 while unbound
    struct timeval timeout;  // call timeout of the generated methods

public:
    RPCClient() : clnt(0)
    {
        timeout.tv_sec = 25;
        timeout.tv_usec = 0;
    }

    // Binds the new object through the host's portmapper; when that fails
    // the object stays unbound and pcreateerror tells why.
    RPCClient(const char* host, const char* proto, unsigned long prog, unsigned long ver) : clnt(0)
    {
        timeout.tv_sec = 25;
        timeout.tv_usec = 0;
        create(host, prog, ver, proto);
    }

    // Handle through the host's portmapper, left in clnt (0 after a failure,
    // the reason in rpc_createerr). A null protocol name means "tcp", as in
    // the generated bind functions.
    CLIENT* create(const char* host, unsigned prog, unsigned vers, const char* proto)
    {
        if (host == 0) {
            rpc_createerr.cf_stat = RPC_UNKNOWNHOST;
            clnt = 0;
            return clnt;
        }
        clnt = clnt_create(host, prog, vers, proto != 0 ? proto : "tcp");
        return clnt;
    }

    // Handle for a fixed port (0: through the portmapper), left in clnt.
    CLIENT* create2(const char* hostname, unsigned long prog, unsigned long vers, const char* proto,
                    unsigned short port, unsigned sendsz, unsigned recvsz)
    {
        clnt = vl_clnt_create(hostname, port, prog, vers, proto, sendsz, recvsz);
        return clnt;
    }

    void destroy()
    {
        if (clnt != 0)
            clnt_destroy(clnt);
        clnt = 0;
    }

    void finish() { destroy(); }

    void pcreateerror(const char* s) { clnt_pcreateerror(s); }

    void setTimeout(struct timeval t) { timeout = t; }

    CLIENT* getHandle() { return clnt; }

    // Installs h as the object's handle and hands back the one it held,
    // which the caller now owns.
    CLIENT* setHandle(CLIENT* h)
    {
        CLIENT* previous = clnt;
        clnt = h;
        return previous;
    }

    // Error of the last call; an unbound object reports RPC_FAILED.
    void geterr(struct rpc_err* e)
    {
        if (clnt == 0) {
            std::memset(e, 0, sizeof *e);
            e->re_status = RPC_FAILED;
            return;
        }
        clnt_geterr(clnt, e);
    }

    bool_t freeres(xdrproc_t proc, char* res)
    {
        return clnt != 0 ? clnt_freeres(clnt, proc, res) : FALSE;
    }

    bool_t control(unsigned int request, char* info)
    {
        return clnt != 0 ? clnt_control(clnt, request, info) : FALSE;
    }

    // Descriptor of the handle's connection, -1 when there is none.
    int getSocket()
    {
        int fd = -1;
        if (clnt == 0 || !clnt_control(clnt, CLGET_FD, reinterpret_cast<char*>(&fd)))
            return -1;
        return fd;
    }

    // The creation operations bind the object as create and create2 do.
    CLIENT* raw_create(unsigned long prog, unsigned long vers)
    {
        clnt = clntraw_create(prog, vers);
        return clnt;
    }

    CLIENT* tcp_create(sockaddr_in* addr, unsigned long prog, unsigned long vers, int* sockp,
                       unsigned sendsz, unsigned recvsz)
    {
        clnt = clnttcp_create(addr, prog, vers, sockp, sendsz, recvsz);
        return clnt;
    }

    CLIENT* udp_create(sockaddr_in* addr, unsigned long prog, unsigned long vers,
                       struct timeval wait, int* sockp)
    {
        clnt = clntudp_create(addr, prog, vers, wait, sockp);
        return clnt;
    }

    CLIENT* udp_bufcreate(sockaddr_in* addr, unsigned long prog, unsigned long vers,
                          struct timeval wait, int* sockp, unsigned sendsz, unsigned recvsz)
    {
        clnt = clntudp_bufcreate(addr, prog, vers, wait, sockp, sendsz, recvsz);
        return clnt;
    }

    // A call on an unbound object fails with RPC_FAILED.
    enum clnt_stat call(unsigned long proc, xdrproc_t inproc, char* in, xdrproc_t outproc,
                        char* out, struct timeval tout)
    {
        if (clnt == 0)
            return RPC_FAILED;
        return clnt_call(clnt, proc, inproc, in, outproc, out, tout);
    }

    char* spcreateerror(const char* s) { return clnt_spcreateerror(s); }

    void perrno(enum clnt_stat status) { clnt_perrno(status); }

    // Why the last call failed, prefixed with s; an unbound object has no
    // call to tell of and reports RPC_FAILED.
    void perror(const char* s)
    {
        if (clnt == 0) {
            std::fprintf(stderr, "%s: %s\n", s, clnt_sperrno(RPC_FAILED));
            return;
        }
        clnt_perror(clnt, s);
    }

    char* sperror(const char* s)
    {
        if (clnt == 0) {
            static char text[256];
            std::snprintf(text, sizeof text, "%s: %s", s, clnt_sperrno(RPC_FAILED));
            return text;
        }
        return clnt_sperror(clnt, s);
    }

    char* sperrno(enum clnt_stat status) { return clnt_sperrno(status); }
};

#endif  // RPCCLIENT_HPP
