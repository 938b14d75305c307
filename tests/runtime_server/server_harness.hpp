// Servers of the runtime in forked children on 127.0.0.1, with a
// hand-written dispatcher that fills the call record the way generated
// dispatchers do, clients to call them, and memory shared between the
// test and every server process (also the children a server forks), in
// which the server procedures note what ran where.
#ifndef RUNTIME_SERVER_HARNESS_HPP
#define RUNTIME_SERVER_HARNESS_HPP

#include "velorin.h"
#include "../support/loopback_socket.hpp"

#include <gtest/gtest.h>

#include <dirent.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <malloc.h>
#include <fcntl.h>
#include <poll.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace harness {

const u_long kProgram = 0x20000100;
const u_long kVersion = 1;

// Procedures of the test program.
enum Procedure : u_long {
    kSum = 1,         // int array in; total and the serving pid out
    kVoid = 2,        // nothing in, nothing out
    kEcho = 3,        // string in, the same string out (freed by free_after)
    kSlow = 4,        // slot and milliseconds in; waits for the others; pid out
    kBadReply = 5,    // int in; a result that cannot be encoded
    kMemory = 6,      // nothing in; heap bytes in use out
    kUnfreeable = 7,  // int in, whose release fails; nothing out
    kHeldBulk = 8,    // byte count in; waits for the test's flag; that many bytes out
};

// ---- Records of the procedures, as a generated dispatcher holds them ----

struct SumIn {
    u_int count;
    int* values;
};
struct SumOut {
    int total;
    int pid;
};
struct EchoIn {
    char* text;
};
struct EchoOut {
    char* text;
};
struct SlowIn {
    int slot;
    int ms;
};
struct PidOut {
    int pid;
};
struct MemoryOut {
    u_int bytes;
};
struct BulkOut {
    u_int length;
    char* bytes;
};

const u_int kMaxValues = 1u << 20;

inline bool_t xdrSumIn(XDR* x, SumIn* p)
{
    return xdr_array(x, reinterpret_cast<char**>(&p->values), &p->count, kMaxValues, sizeof(int),
                     reinterpret_cast<xdrproc_t>(xdr_int));
}
inline bool_t xdrSumOut(XDR* x, SumOut* p) { return xdr_int(x, &p->total) && xdr_int(x, &p->pid); }
inline bool_t xdrEchoIn(XDR* x, EchoIn* p) { return xdr_string(x, &p->text, kMaxValues); }
inline bool_t xdrEchoOut(XDR* x, EchoOut* p) { return xdr_string(x, &p->text, kMaxValues); }
inline bool_t xdrSlowIn(XDR* x, SlowIn* p) { return xdr_int(x, &p->slot) && xdr_int(x, &p->ms); }
inline bool_t xdrPidOut(XDR* x, PidOut* p) { return xdr_int(x, &p->pid); }
inline bool_t xdrMemoryOut(XDR* x, MemoryOut* p) { return xdr_u_int(x, &p->bytes); }
inline bool_t xdrBulkOut(XDR* x, BulkOut* p)
{
    return xdr_bytes(x, &p->bytes, &p->length, 16u << 20);
}
// Decodes an int, but cannot release it.
inline bool_t xdrUnfreeable(XDR* x, int* p) { return x->x_op == XDR_FREE ? FALSE : xdr_int(x, p); }
// Encodes nothing and fails: a reply that cannot be sent.
inline bool_t xdrFailing(XDR*, void*) { return FALSE; }
// A count of many ints of which only one follows: decoding allocates the
// whole array and then fails.
inline bool_t xdrTruncatedSum(XDR* x, void*)
{
    u_int count = 500000;
    int first = 1;
    return xdr_u_int(x, &count) && xdr_int(x, &first);
}

// Function pointers of any signature, cast the way generated code casts
// them; the detour through void(*)() says the cast is meant.
template <typename T, typename F>
T as(F f)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(f));
}
inline xdrproc_t xdrVoid() { return as<xdrproc_t>(xdr_void); }

// ---- Memory shared by the test and all server processes ----

struct Interval {
    std::atomic<long> startUs;
    std::atomic<long> endUs;
    std::atomic<int> pid;
};
struct Exit {
    std::atomic<int> pid;
    std::atomic<int> status;
};

struct Shared {
    std::atomic<int> sequence;  // source of event order numbers
    std::atomic<int> localCalls;
    std::atomic<int> localPid;
    std::atomic<int> localSeq;  // order number of the last local call
    std::atomic<int> freeAfterCalls;
    std::atomic<int> freeAfterSaw;  // total in the record free_after got
    std::atomic<int> inputCalls;
    std::atomic<int> inputSeq;
    std::atomic<int> outputCalls;
    std::atomic<int> exceptionCalls;
    std::atomic<int> result[4];  // free use by single tests
    std::atomic<int> flag;       // set by the test, read by a server body
    char report[256];            // text of the last runtime report
    Interval slots[8];
    std::atomic<int> slowStarted;  // slow calls begun since the test zeroed it
    std::atomic<int> slowAwaited;  // how many slow calls each one waits for
    std::atomic<int> exitCount;
    Exit exits[128];
};

inline Shared* shared()
{
    static Shared* memory = [] {
        void* p = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                       -1, 0);
        if (p == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        return new (p) Shared();
    }();
    return memory;
}

inline int nextSeq() { return ++shared()->sequence; }

inline long nowUs()
{
    struct timeval t;
    gettimeofday(&t, nullptr);
    return t.tv_sec * 1000000L + t.tv_usec;
}

// Waits up to timeoutMs for cond; true when it held.
inline bool eventually(const std::function<bool()>& cond, int timeoutMs = 5000)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (cond())
            return true;
        usleep(10000);
    }
    return cond();
}

// Every process that ends through exit() notes its pid and status.
inline void noteExit(int status, void*)
{
    Shared* s = shared();
    int i = s->exitCount++;
    if (i < 128) {
        s->exits[i].pid = getpid();
        s->exits[i].status = status;
    }
}

// Status a process noted when it ended through exit(), or -1.
inline int exitStatusOf(int pid)
{
    Shared* s = shared();
    int n = std::min(s->exitCount.load(), 128);
    for (int i = 0; i < n; ++i)
        if (s->exits[i].pid == pid)
            return s->exits[i].status;
    return -1;
}

// ---- The server procedures and the dispatcher ----

// How the dispatcher fills the record: set in the server process.
struct Options {
    int mtOnCall = 0;
    int replyNow = 0;
};
inline Options& options()
{
    static Options o;
    return o;
}

inline void noteLocal()
{
    Shared* s = shared();
    s->localPid = getpid();
    s->localSeq = nextSeq();
    ++s->localCalls;
}

inline void* sumCall(SumIn* in, SumOut* out)
{
    noteLocal();
    out->total = 0;
    for (u_int i = 0; i < in->count; ++i)
        out->total += in->values[i];
    out->pid = getpid();
    return nullptr;
}
inline void sumFree(SumOut* out)
{
    shared()->freeAfterSaw = out->total;
    ++shared()->freeAfterCalls;
}
inline void* voidCall(void*, void*)
{
    noteLocal();
    return nullptr;
}
inline void* echoCall(EchoIn* in, EchoOut* out)
{
    noteLocal();
    out->text = strdup(in->text);
    return nullptr;
}
inline void echoFree(EchoOut* out)
{
    ++shared()->freeAfterCalls;
    free(out->text);
}
inline void* slowCall(SlowIn* in, PidOut* out)
{
    noteLocal();
    Interval& slot = shared()->slots[in->slot & 7];
    slot.pid = getpid();
    slot.startUs = nowUs();
    // Waits until the awaited number of slow calls has begun, at most the
    // milliseconds given: calls that run side by side end as soon as the
    // last of them begins, calls run one after another end only at the
    // deadline, after which the next one begins.
    ++shared()->slowStarted;
    const long deadline = slot.startUs + static_cast<long>(in->ms) * 1000;
    while (shared()->slowStarted < shared()->slowAwaited && nowUs() < deadline)
        usleep(1000);
    slot.endUs = nowUs();
    out->pid = getpid();
    return nullptr;
}
// Holds the call until the test sets the shared flag (at most 5 s), so
// that the test can act between the start of the call and its reply.
inline void* heldBulkCall(u_int* bytes, BulkOut* out)
{
    noteLocal();
    for (int waited = 0; shared()->flag == 0 && waited < 5000; ++waited)
        usleep(1000);
    out->length = *bytes;
    out->bytes = static_cast<char*>(calloc(*bytes + 1, 1));
    return nullptr;
}
inline void bulkFree(BulkOut* out)
{
    ++shared()->freeAfterCalls;
    free(out->bytes);
}
inline void* intCall(int*, int*)
{
    noteLocal();
    return nullptr;
}
inline void countFree(void*) { ++shared()->freeAfterCalls; }
inline void* memoryCall(void*, MemoryOut* out)
{
    struct mallinfo2 m = mallinfo2();
    out->bytes = static_cast<u_int>(m.uordblks + m.hblkhd);
    return nullptr;
}

// Points the call record at a procedure: the filters and sizes of its
// argument and result records, its body, and what releases its result.
inline void route(vlrpc_call_struct& info, xdrproc_t xdrOver, int overSize, xdrproc_t xdrBack,
                  int backSize, local_call_t local, free_call_t freeAfter = 0)
{
    info.xdr_over = xdrOver;
    info.over_size = overSize;
    info.xdr_back = xdrBack;
    info.back_size = backSize;
    info.local = local;
    info.free_after = freeAfter;
}

inline void dispatch(struct svc_req* rqstp, SVCXPRT* txp)
{
    union {
        SumIn sum;
        EchoIn echo;
        SlowIn slow;
        int value;
        u_int bytes;
    } over;
    union {
        SumOut sum;
        EchoOut echo;
        PidOut pid;
        MemoryOut memory;
        BulkOut bulk;
        int value;
    } back;
    vlrpc_call_struct info;
    info.ptransport = txp;
    info.pover = reinterpret_cast<caddr_t>(&over);
    info.pback = reinterpret_cast<caddr_t>(&back);
    info.reply_now = options().replyNow;
    info.mt_on_call = options().mtOnCall;
    info.psvc_req = rqstp;
    info.proc = 0;
    switch (rqstp->rq_proc) {
    case NULLPROC:
        svc_sendreply(txp, xdrVoid(), nullptr);
        return;
    case kSum:
        route(info, as<xdrproc_t>(xdrSumIn), sizeof(SumIn), as<xdrproc_t>(xdrSumOut),
              sizeof(SumOut), as<local_call_t>(sumCall), as<free_call_t>(sumFree));
        break;
    case kVoid:
        route(info, xdrVoid(), 0, xdrVoid(), 0, as<local_call_t>(voidCall));
        break;
    case kEcho:
        route(info, as<xdrproc_t>(xdrEchoIn), sizeof(EchoIn), as<xdrproc_t>(xdrEchoOut),
              sizeof(EchoOut), as<local_call_t>(echoCall), as<free_call_t>(echoFree));
        break;
    case kSlow:
        route(info, as<xdrproc_t>(xdrSlowIn), sizeof(SlowIn), as<xdrproc_t>(xdrPidOut),
              sizeof(PidOut), as<local_call_t>(slowCall));
        break;
    case kBadReply:
        route(info, as<xdrproc_t>(xdr_int), sizeof(int), as<xdrproc_t>(xdrFailing), sizeof(int),
              as<local_call_t>(intCall), as<free_call_t>(countFree));
        break;
    case kUnfreeable:
        route(info, as<xdrproc_t>(xdrUnfreeable), sizeof(int), xdrVoid(), 0,
              as<local_call_t>(intCall));
        break;
    case kHeldBulk:
        route(info, as<xdrproc_t>(xdr_u_int), sizeof(u_int), as<xdrproc_t>(xdrBulkOut),
              sizeof(BulkOut), as<local_call_t>(heldBulkCall), as<free_call_t>(bulkFree));
        break;
    case kMemory:
        route(info, xdrVoid(), 0, as<xdrproc_t>(xdrMemoryOut), sizeof(MemoryOut),
              as<local_call_t>(memoryCall));
        info.mt_on_call = 0;
        break;
    default:
        svcerr_noproc(txp);
        return;
    }
    vl_serv_call(&info);
}

// ---- Sockets, transports, server processes ----

// Binds a socket of the given type to 127.0.0.1 on a port the system
// picks; stream sockets listen.
inline int loopbackSocket(int type, u_short* port)
{
    int fd = testsupport::boundLoopbackSocket(type, port);
    if (type == SOCK_STREAM && listen(fd, 64) != 0) {
        close(fd);
        throw std::runtime_error("listen failed");
    }
    return fd;
}

// The transports of a server process; kept here so that they stay
// reachable (as a generated server keeps them in file-static variables).
struct Transports {
    SVCXPRT* tcp = nullptr;
    SVCXPRT* udp = nullptr;
};
inline Transports& transports()
{
    static Transports t;
    return t;
}

inline SVCXPRT* registerTransport(int fd, bool tcp)
{
    SVCXPRT* xprt = tcp ? svctcp_create(fd, 0, 0) : svcudp_create(fd);
    if (xprt == nullptr || !svc_register(xprt, kProgram, kVersion, dispatch, 0)) {
        fprintf(stderr, "cannot register the test transport\n");
        _exit(98);
    }
    return xprt;
}

enum Protocols { kTcp = 1, kUdp = 2, kBoth = 3, kNone = 0 };

// Whether the server process calls vl_serv_init before it makes its
// transports, as the generated start-up does (the transports then read
// their connections without blocking), or leaves it to its body.
enum Startup { kInitFirst, kBodyInits };

// A server in a forked child, in a process group of its own so that the
// end of the test takes every process it forked with it. Its standard
// output and error go to files, read by out() and err().
class ServerProcess {
public:
    using Body = std::function<void(Transports&)>;

    // Registers the requested transports on loopback sockets, then runs
    // body (by default: vl_serv_init and the main loop with the idle check).
    explicit ServerProcess(int protocols, Body body = mainLoop(0), Startup startup = kInitFirst)
    {
        int tcpFd = -1, udpFd = -1;
        if (protocols & kTcp)
            tcpFd = loopbackSocket(SOCK_STREAM, &tcpPort_);
        if (protocols & kUdp)
            udpFd = loopbackSocket(SOCK_DGRAM, &udpPort_);
        start(tcpFd, udpFd, body, startup);
    }

    // The same on sockets that the caller made.
    ServerProcess(int tcpFd, int udpFd, u_short tcpPort, u_short udpPort, Body body)
        : tcpPort_(tcpPort),
          udpPort_(udpPort)
    {
        start(tcpFd, udpFd, body, kInitFirst);
    }

    ~ServerProcess()
    {
        kill(-pid_, SIGKILL);
        if (!reaped_)
            waitpid(pid_, &status_, 0);
        std::string errors = err();
        for (const char* mark : {"Sanitizer", "runtime error"})
            if (errors.find(mark) != std::string::npos)
                ADD_FAILURE() << "server process reported:\n" << errors;
        unlink(outPath_.c_str());
        unlink(errPath_.c_str());
    }

    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    static Body mainLoop(int dofork)
    {
        return [dofork](Transports& t) {
            vl_serv_init();
            vl_serv_mainloop(t.tcp, t.udp, dofork, 1);
        };
    }

    pid_t pid() const { return pid_; }
    u_short tcpPort() const { return tcpPort_; }
    u_short udpPort() const { return udpPort_; }

    // Waits for the server to end; its wait status, or -1 after timeoutMs.
    int wait(int timeoutMs = 5000)
    {
        if (reaped_)
            return status_;
        bool ended =
            eventually([this] { return waitpid(pid_, &status_, WNOHANG) == pid_; }, timeoutMs);
        reaped_ = ended;
        return ended ? status_ : -1;
    }

    std::string out() const { return slurp(outPath_); }
    std::string err() const { return slurp(errPath_); }

private:
    void start(int tcpFd, int udpFd, const Body& body, Startup startup)
    {
        new (shared()) Shared();  // every server starts from clean notes
        outPath_ = tempFile();
        errPath_ = tempFile();
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            setpgid(0, 0);
            alarm(60);  // never outlives a broken test
            redirect(outPath_, 1);
            redirect(errPath_, 2);
            on_exit(noteExit, nullptr);
            if (startup == kInitFirst)
                vl_serv_init();
            Transports& t = transports();
            if (tcpFd >= 0)
                t.tcp = registerTransport(tcpFd, true);
            if (udpFd >= 0)
                t.udp = registerTransport(udpFd, false);
            body(t);
            fflush(nullptr);
            _exit(99);
        }
        setpgid(pid_, pid_);
        if (tcpFd >= 0)
            close(tcpFd);
        if (udpFd >= 0)
            close(udpFd);
    }

    static std::string tempFile()
    {
        char path[] = "/tmp/vlserverXXXXXX";
        int fd = mkstemp(path);
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        close(fd);
        return path;
    }

    static void redirect(const std::string& path, int target)
    {
        int fd = open(path.c_str(), O_WRONLY | O_APPEND);
        if (fd >= 0) {
            dup2(fd, target);
            close(fd);
        }
    }

    static std::string slurp(const std::string& path)
    {
        std::string text;
        FILE* f = fopen(path.c_str(), "r");
        if (f == nullptr)
            return text;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        fclose(f);
        return text;
    }

    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    u_short tcpPort_ = 0;
    u_short udpPort_ = 0;
    std::string outPath_;
    std::string errPath_;
};

// ---- Clients ----

// The IPv4 address host (host byte order) with port.
inline struct sockaddr_in inetAddress(in_addr_t host, u_short port)
{
    struct sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(host);
    addr.sin_port = htons(port);
    return addr;
}

class Client {
public:
    // bufferBytes: the send and receive buffers of a TCP handle, 0 for the
    // library's defaults.
    Client(int protocol, u_short port, int timeoutSec = 5, u_int bufferBytes = 0)
        : timeout_{timeoutSec, 0}
    {
        struct sockaddr_in addr = inetAddress(INADDR_LOOPBACK, port);
        int sock = RPC_ANYSOCK;
        if (protocol == IPPROTO_TCP) {
            handle_ = clnttcp_create(&addr, kProgram, kVersion, &sock, bufferBytes, bufferBytes);
        } else {
            struct timeval retry = {1, 0};
            handle_ = clntudp_create(&addr, kProgram, kVersion, retry, &sock);
        }
        if (handle_ == nullptr)
            throw std::runtime_error(clnt_spcreateerror("test client"));
    }
    ~Client() { clnt_destroy(handle_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    template <typename In, typename Out>
    enum clnt_stat call(u_long proc, In xin, void* in, Out xout, void* out)
    {
        return clnt_call(handle_, proc, as<xdrproc_t>(xin), static_cast<char*>(in),
                         as<xdrproc_t>(xout), static_cast<char*>(out), timeout_);
    }

    // Sum of values and the pid that served it; total -1 after a failure.
    SumOut sum(std::vector<int> values)
    {
        SumIn in = {static_cast<u_int>(values.size()), values.data()};
        SumOut out = {-1, -1};
        if (call(kSum, xdrSumIn, &in, xdrSumOut, &out) != RPC_SUCCESS)
            out.total = -1;
        return out;
    }

    CLIENT* handle() { return handle_; }

private:
    CLIENT* handle_;
    struct timeval timeout_;
};

// A plain TCP connection to port on 127.0.0.1, or -1.
inline int connectTcp(u_short port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in addr = inetAddress(INADDR_LOOPBACK, port);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

// The header of a call of proc of the test program, without credentials.
inline struct rpc_msg callHeader(u_long proc)
{
    struct rpc_msg msg;
    std::memset(&msg, 0, sizeof msg);
    msg.rm_xid = 0x5eed;
    msg.rm_direction = CALL;
    msg.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    msg.rm_call.cb_prog = kProgram;
    msg.rm_call.cb_vers = kVersion;
    msg.rm_call.cb_proc = proc;
    msg.rm_call.cb_cred = _null_auth;
    msg.rm_call.cb_verf = _null_auth;
    return msg;
}

// One call of proc with a single unsigned argument, as a record in one
// fragment behind its record mark: the bytes a TCP client sends.
inline std::string callRecord(u_long proc, u_int argument)
{
    char record[256];
    XDR x;
    xdrmem_create(&x, record + 4, sizeof record - 4, XDR_ENCODE);
    struct rpc_msg msg = callHeader(proc);
    if (!xdr_callmsg(&x, &msg) || !xdr_u_int(&x, &argument))
        throw std::runtime_error("cannot encode the call");
    u_int length = xdr_getpos(&x);
    xdr_destroy(&x);
    uint32_t mark = htonl(0x80000000u | length);
    std::memcpy(record, &mark, 4);
    return std::string(record, length + 4);
}

// The message of one call of kSum with values, without record marks.
inline std::string sumCallMessage(const std::vector<int>& values)
{
    std::string message(64 + 4 * values.size(), '\0');
    XDR x;
    xdrmem_create(&x, &message[0], static_cast<u_int>(message.size()), XDR_ENCODE);
    struct rpc_msg msg = callHeader(kSum);
    SumIn in = {static_cast<u_int>(values.size()), const_cast<int*>(values.data())};
    if (!xdr_callmsg(&x, &msg) || !xdrSumIn(&x, &in))
        throw std::runtime_error("cannot encode the call");
    message.resize(xdr_getpos(&x));
    xdr_destroy(&x);
    return message;
}

// A record mark: the fragment's length and whether it ends the record.
inline std::string recordMark(u_int length, bool last)
{
    uint32_t mark = htonl((last ? 0x80000000u : 0u) | length);
    return std::string(reinterpret_cast<const char*>(&mark), 4);
}

// message as a record of fragments of at most fragment bytes each.
inline std::string inFragments(const std::string& message, size_t fragment)
{
    std::string record;
    for (size_t at = 0; at < message.size(); at += fragment) {
        size_t length = std::min(fragment, message.size() - at);
        record += recordMark(static_cast<u_int>(length), at + length == message.size());
        record.append(message, at, length);
    }
    return record;
}

// Sends all of bytes on fd; false when the peer is gone.
inline bool sendAll(int fd, const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly length bytes into to within the time left until deadlineUs.
inline bool receiveExactly(int fd, char* to, size_t length, long deadlineUs)
{
    for (size_t got = 0; got < length;) {
        long leftMs = (deadlineUs - nowUs()) / 1000;
        struct pollfd ready = {fd, POLLIN, 0};
        if (leftMs <= 0 || poll(&ready, 1, static_cast<int>(leftMs)) != 1)
            return false;
        ssize_t n = recv(fd, to + got, length - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// One whole record read from fd within timeoutMs, its fragments joined;
// false when none came or the connection ended first.
inline bool receiveRecord(int fd, std::string* message, int timeoutMs)
{
    long deadline = nowUs() + 1000L * timeoutMs;
    message->clear();
    for (;;) {
        uint32_t mark;
        if (!receiveExactly(fd, reinterpret_cast<char*>(&mark), 4, deadline))
            return false;
        mark = ntohl(mark);
        size_t at = message->size();
        message->resize(at + (mark & 0x7fffffffu));
        if (!receiveExactly(fd, &(*message)[at], mark & 0x7fffffffu, deadline))
            return false;
        if (mark & 0x80000000u)
            return true;
    }
}

// Whether the peer has closed the connection on fd within ms; whatever
// it sent before is read and dropped.
inline bool closedByPeer(int fd, int ms)
{
    return eventually(
        [fd] {
            char buffer[4096];
            ssize_t n;
            while ((n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
                ;
            return n == 0 || (n < 0 && errno == ECONNRESET);
        },
        ms);
}

// Decodes a reply message, its results through results into where;
// whether it is a successful reply. *xid gets the reply's xid, *used the
// bytes decoded, when they are not null.
template <typename Results>
bool decodeReply(std::string& message, Results results, void* where, u_int* xid = nullptr,
                 size_t* used = nullptr)
{
    struct rpc_msg reply;
    std::memset(&reply, 0, sizeof reply);
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_results.where = static_cast<char*>(where);
    reply.acpted_rply.ar_results.proc = as<xdrproc_t>(results);
    XDR x;
    xdrmem_create(&x, &message[0], static_cast<u_int>(message.size()), XDR_DECODE);
    bool ok = xdr_replymsg(&x, &reply) && reply.rm_reply.rp_stat == MSG_ACCEPTED &&
              reply.acpted_rply.ar_stat == SUCCESS;
    if (used != nullptr)
        *used = xdr_getpos(&x);
    xdr_destroy(&x);
    if (xid != nullptr)
        *xid = static_cast<u_int>(reply.rm_xid);
    return ok;
}

// The total of a kSum reply message, or -1 when it is no successful reply.
inline int sumOfReply(std::string& message)
{
    SumOut out = {-1, -1};
    return decodeReply(message, xdrSumOut, &out) ? out.total : -1;
}

struct Transport {
    const char* name;
    int protocol;
};
const Transport kTransports[] = {{"tcp", IPPROTO_TCP}, {"udp", IPPROTO_UDP}};

inline u_short portOf(const ServerProcess& server, int protocol)
{
    return protocol == IPPROTO_TCP ? server.tcpPort() : server.udpPort();
}

// ---- Processes ----

// From here on every fork of this process fails with EAGAIN.
inline void forbidFork()
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fork, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_vfork, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAGAIN),
    };
    struct sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]),
                                 filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        fprintf(stderr, "cannot forbid fork\n");
        _exit(97);
    }
}

// The fields of /proc/<pid>/stat after the process name (state first),
// or an empty text when the process is gone.
inline std::string statFields(const std::string& pid)
{
    std::string path = "/proc/" + pid + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (f == nullptr)
        return "";
    char line[1024] = {0};
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;
    const char* close_paren = strrchr(line, ')');
    return close_paren == nullptr ? "" : close_paren + 1;
}

// Children of pid with their state letters ('Z' for a zombie).
inline std::vector<std::pair<int, char>> childrenOf(int pid)
{
    std::vector<std::pair<int, char>> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return found;
    while (struct dirent* entry = readdir(proc)) {
        int candidate = atoi(entry->d_name);
        if (candidate <= 0)
            continue;
        char state = 0;
        int parent = 0;
        if (sscanf(statFields(entry->d_name).c_str(), " %c %d", &state, &parent) == 2 &&
            parent == pid)
            found.emplace_back(candidate, state);
    }
    closedir(proc);
    return found;
}

inline int zombiesOf(int pid)
{
    int count = 0;
    for (auto& child : childrenOf(pid))
        count += child.second == 'Z';
    return count;
}

// CPU time (user and system) a process has used so far, in seconds.
inline double cpuSeconds(int pid)
{
    unsigned long user = 0, system = 0;
    // After the state, ten fields come before utime and stime.
    if (sscanf(statFields(std::to_string(pid)).c_str(),
               " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        return 0;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Share of one core that pid uses over the next `ms` milliseconds.
inline double cpuShareOver(int pid, int ms)
{
    double before = cpuSeconds(pid);
    long start = nowUs();
    usleep(static_cast<useconds_t>(ms) * 1000);
    return (cpuSeconds(pid) - before) / (static_cast<double>(nowUs() - start) / 1e6);
}

// Number of descriptors a process holds open.
inline int openDescriptors(int pid)
{
    std::string path = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (struct dirent* entry = readdir(dir))
        count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
}

// State letter of a process, 0 when it is gone.
inline char processState(int pid)
{
    char state = 0;
    if (sscanf(statFields(std::to_string(pid)).c_str(), " %c", &state) != 1)
        return 0;
    return state;
}

// Children of pid that have not ended.
inline std::vector<int> liveChildrenOf(int pid)
{
    std::vector<int> live;
    for (auto& child : childrenOf(pid))
        if (child.second != 'Z')
            live.push_back(child.first);
    return live;
}

// CPU time that pid and its children use over the next `ms` milliseconds,
// as a share of one core; children that come or go meanwhile count with
// the part of their time seen.
inline double groupCpuShareOver(int pid, int ms)
{
    auto snapshot = [pid] {
        std::vector<std::pair<int, double>> times = {{pid, cpuSeconds(pid)}};
        for (int child : liveChildrenOf(pid))
            times.emplace_back(child, cpuSeconds(child));
        return times;
    };
    auto before = snapshot();
    long start = nowUs();
    usleep(static_cast<useconds_t>(ms) * 1000);
    auto after = snapshot();
    double used = 0;
    for (auto& late : after) {
        double early = 0;
        for (auto& b : before)
            if (b.first == late.first)
                early = b.second;
        used += late.second - early;
    }
    return used / (static_cast<double>(nowUs() - start) / 1e6);
}

// The asynchronous mode in a program that waits in a loop of its own;
// every turn of that loop is counted in shared()->result[3].
inline void waitWhileAsync(Transports&)
{
    vl_serv_async_enable();
    shared()->flag = 1;
    for (;;) {
        usleep(10000);
        ++shared()->result[3];
    }
}

// The ways a server serves its calls: in place, forked per call, forked
// per connection, and in the asynchronous mode.
struct ProcessModel {
    const char* name;
    ServerProcess::Body body;
    // Children the model keeps while idle: the asynchronous mode's watcher,
    // which is briefly gone between one request and the next.
    size_t standingChildren;
};
inline void PrintTo(const ProcessModel& model, std::ostream* out) { *out << model.name; }
inline std::vector<ProcessModel> processModels()
{
    return {
        {"InPlace", ServerProcess::mainLoop(0), 0},
        {"ForkOnCall",
         [](Transports& tr) {
             options().mtOnCall = VELORIN_FORKING;
             ServerProcess::mainLoop(0)(tr);
         },
         0},
        {"ForkOnConnection", ServerProcess::mainLoop(1), 0},
        {"Asynchronous", waitWhileAsync, 1},
    };
}

}  // namespace harness

#endif
