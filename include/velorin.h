/* Public header of the Velorin runtime library libvlrpc. */
#ifndef VELORIN_H
#define VELORIN_H

#include <stdio.h>
#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Server side: call execution, main loop, process models ---- */

/* The function that performs one call: called as local(pover, pback) with
 * the addresses of the argument and the result record. It returns null; a
 * non-null result means that the call could not run, and the client is
 * answered with a system error instead of the reply. */
typedef void* (*local_call_t)();
/* Releases the buffers of a result record: called as free_after(pback). */
typedef void (*free_call_t)();

/* One call as a dispatcher hands it to vl_serv_call. The record and the
 * two records it points to belong to the caller and need to live only
 * during vl_serv_call. */
typedef struct {
    caddr_t pover;            /* argument record, decoded into */
    int over_size;            /* its size, zeroed before decoding; 0 when the
                                   dispatcher has zeroed and prepared it */
    caddr_t pback;            /* result record, encoded into the reply */
    int back_size;            /* its size; zeroed before an early reply */
    SVCXPRT* ptransport;      /* transport the request came in on */
    struct svc_req* psvc_req; /* the request */
    void (*proc)();           /* reserved: set to 0, never read */
    local_call_t local;       /* performs the call */
    free_call_t free_after;   /* 0, or releases the result after the reply */
    xdrproc_t xdr_over;       /* decodes and frees the argument record */
    xdrproc_t xdr_back;       /* encodes the result record */
    int reply_now;            /* non-zero: reply with the zeroed result
                                   record before local runs */
    int mt_on_call;           /* 0: run in this process; any other value:
                                   run in a forked child */
} vlrpc_call_struct;

/* Values of mt_on_call. Both fork a child for the call: no thread is ever
 * started. */
enum { VELORIN_FORKING = 1, VELORIN_THREADING = 2 };

/* Executes one request whose procedure the dispatcher has chosen: zeroes
 * and decodes the arguments (a decode error is answered with
 * svcerr_decode and local never runs), runs local in this process or in a
 * forked child (a failed fork is answered with svcerr_systemerr), replies
 * (a reply that cannot be sent is followed by svcerr_systemerr), calls
 * free_after and releases the decoded arguments. Returns when the call is
 * done, or at once when a child runs it. A call a child runs on one of
 * the runtime's TCP connections holds that connection's next call until
 * the child has ended, which the SIGCHLD handler of vl_serv_init notes. */
void vl_serv_call(vlrpc_call_struct* info);

/* Start-up: call once, before any handler is registered and before
 * vl_serv_mainloop. Also installs the SIGCHLD handler that reaps ended
 * children: from then on it collects every child of the process that
 * ends, also those the program forks itself. And it sets SIGPIPE to
 * ignored when its disposition is still the default, so that a client
 * that goes away before its reply is written costs the server only that
 * connection (the write fails with EPIPE) instead of the process; a
 * handler the program installed before keeps its place. Like every
 * ignored signal, it stays ignored in the server's children, also across
 * exec. */
void vl_serv_init(void);
/* The main loop (and vl_serv_once) takes the new connections of every TCP
 * transport into a connection transport of the runtime's own, which reads
 * without blocking: a call is served once its whole record has arrived,
 * in however many fragments, so a client that sends part of a call and
 * then waits, or sends it a byte at a time, holds up no other client. A
 * record larger than this bound (in bytes) ends its connection. A program
 * that needs another bound sets it before its loop takes connections (for
 * example in its INIT_BEFORE_REGISTER function) with
 * rpc_control(RPC_SVC_CONNMAXREC_SET, &bytes); connections taken after
 * that have the program's bound. */
#define VL_MAX_CALL_RECORD (64 * 1024 * 1024)
/* A reply that the socket cannot take at once waits in its connection and
 * leaves as the peer reads, while the loop serves every other connection
 * and datagram; the connection has no further call served until its reply
 * is out. A connection whose peer takes nothing of a waiting reply for
 * this many seconds is closed and what it held released. The environment
 * variable VELORIN_REPLY_STALL_SECONDS, when it holds a whole number from
 * 1 to 86400 as the server starts a connection, sets another time. Under
 * fork per call, the child writes the reply itself and ends the
 * connection after the same time without progress; the connection's next
 * call is served only once that child has ended, so that the replies on
 * one connection never mix. */
#define VL_REPLY_STALL_SECONDS 30
/* The bound, in bytes, of the memory that the partial call records and
 * the waiting replies of all connections of a process hold together (two
 * records of the record bound when that is more). A connection that
 * would pass it first takes the memory that idle connections keep for
 * their next calls; then the connection holding the most bytes of a
 * record not yet whole is closed, or, when no record is partial, the one
 * that holds most; when that is the connection itself, its call fails and
 * it is closed. A call of ordinary size thus goes on while large partial
 * records of others are dropped. Each connection further keeps about
 * 128 KiB of buffers of its own, outside this bound. */
#define VL_MAX_HELD_BYTES (256 * 1024 * 1024)
/* Handlers of the program's own descriptors, called from the main loop
 * with the descriptor when it is readable, writable or has an exceptional
 * condition. A null handler removes one. Descriptors outside 0 to
 * FD_SETSIZE - 1, and registrations before vl_serv_init, are ignored. */
void vl_serv_input_handler(int fd, void (*handler)(int fd));
void vl_serv_output_handler(int fd, void (*handler)(int fd));
void vl_serv_exception_handler(int fd, void (*handler)(int fd));
/* The server loop over the RPC service descriptors and the handlers.
 * dofork non-zero forks per connection: a child per new TCP connection
 * on tcp_master, or, without a TCP transport, a child per datagram on
 * udp_master (either transport may be null). exit_idle non-zero ends the
 * process with status 0 once no service descriptor is left. Ends the
 * process with status 1 when vl_serv_init has not run; returns only
 * after select fails.
 * A new connection that would land on a descriptor at or above
 * FD_SETSIZE, which select cannot watch, is closed at once: its client
 * sees the connection end. A connection that cannot be taken for now
 * (the descriptor table is full, or the fork for it fails) waits; the
 * loop reports the cause once through vlrpc_report_event and tries again
 * every tenth of a second, serving everything else meanwhile. */
void vl_serv_mainloop(SVCXPRT* tcp_master, SVCXPRT* udp_master, int dofork, int exit_idle);
/* One wait (timeout as for select; null waits without limit) and one
 * serving pass over the RPC service descriptors; handlers play no part.
 * The wait ends early when the stall time of a waiting reply is up. */
void vl_serv_once(struct timeval* timeout);
/* The idle check: ends the process with status 0 when no service
 * descriptor is left or vl_serv_init has not run. */
void vl_serv_validate(void);
/* Number of descriptors every scan and select covers: the soft
 * RLIMIT_NOFILE limit, at most FD_SETSIZE. */
int vl_getdtablesize(void);
/* 1 when no descriptor below vl_getdtablesize() is set in set, else 0. */
int vl_fdset_empty(fd_set* set);
/* Clears every descriptor of set but fd. */
void vl_keep_master_fd(fd_set* set, int fd);
/* Closes every RPC service descriptor but fd and removes it from
 * svc_fdset. */
void close_fds(int fd);
/* Installs the SIGCHLD handler that reaps ended children (stopped
 * children are left alone); always 0. */
int vl_install_sigchld_handler(void);

/* Forks for the master descriptor fd when it is set in readfds: the child
 * takes the request (for TCP the connection, which it goes on serving;
 * for UDP, is_udp non-zero, the whole call, after which it exits), the
 * parent waits until it has and leaves readfds empty. 0 when fd is not
 * in readfds, else 1. */
int fork_on_connect(fd_set* readfds, int fd, int is_udp);
/* Forks; *status becomes -1 when the fork fails and 1 in the child; it is
 * left as it was in the parent. */
void vl_fork_on_call(int* status);

/* Asynchronous mode: for programs busy in a loop of their own. A watcher
 * child waits for a request on the service descriptors and signals the
 * server with SIGUSR2; the handler serves the pending requests (one pass,
 * no waiting) and arms the next watcher.
 *
 * The requests are served INSIDE the SIGUSR2 handler: the RPC library,
 * the dispatcher, the server procedures and whatever they call (malloc,
 * stdio, ...) run at the point where the program was interrupted. None
 * of that is async-signal-safe. The program must therefore keep SIGUSR2
 * blocked (sigprocmask) around its own use of malloc, stdio, the RPC
 * library and any data its server procedures share, or keep its loop free
 * of them. Interrupted system calls of the program are restarted where
 * the system allows it; sleeps and waits such as select may end early
 * with EINTR. The program must not install its own SIGUSR2 handler.
 * A watcher watches the service descriptors the process had when it was
 * armed; transports registered later count from the next request on.
 *
 * vl_serv_async_enable: 0 when a watcher was started, -1 when one is
 * already armed or the fork failed. vl_serv_async_cancel: stops the
 * watcher (0 when none is armed, else the result of kill); the mode may
 * be armed again afterwards. A watcher that dies without signalling
 * (killed, crashed) disarms the mode when it is reaped: requests are then
 * served only by the main loop, if the program runs one, until the mode
 * is armed again. */
int vl_serv_async_enable(void);
int vl_serv_async_cancel(void);

/* Socket for a server on port (all local addresses) over protocol "tcp"
 * or "udp"; a TCP socket has SO_REUSEADDR and is already listening. A
 * port another socket holds is a failure for either protocol. Ready
 * for svctcp_create or svcudp_create. On failure the reason is reported
 * through vlrpc_report_event and the process ends with status 1. */
int vl_serv_fd(int port, const char* protocol);

/* ---- Client side: client creation, codecs, serialisation, reporting ---- */

/* Report function: called with the text of every runtime report. */
typedef void (*vlrpc_perr_call_t)(char*);

/* Client handle for prog/vers on hostname at port (host byte order; 0 asks
 * the host's portmapper) over the protocol named proto ("tcp" or "udp").
 * sendsz/recvsz are the TCP buffer sizes (0: library defaults). The handle's
 * call timeout is 25 seconds. Null on failure, the reason in rpc_createerr. */
CLIENT* vl_clnt_create(const char* hostname, u_short port, u_long prog, u_long vers,
                       const char* proto, u_int sendsz, u_int recvsz);
/* Status of the last call made on cl. */
enum clnt_stat vl_clnt_errno(CLIENT* cl);
/* Socket connected to host:port: a stream socket when type is 1, else a
 * datagram socket. -1 when the host is unknown or the connection fails. */
int vl_sock_connect(const char* host, u_short port, int type);

/* Arrays and byte strings whose count travels outside the encoded data:
 * *sizep is read, never written; nothing but the elements is on the wire. */
bool_t xdr_array_vl(XDR* xdrs, caddr_t* addrp, u_int* sizep, u_int maxsize, u_int elsize,
                    xdrproc_t elproc);
bool_t xdr_bytes_vl(XDR* xdrs, char** cpp, u_int* sizep, u_int maxsize);

/* long and unsigned long in the 32 bits XDR gives them: encoding fails for
 * a value outside -2^31 .. 2^31-1, respectively above 2^32-1; decoding
 * reads a signed, respectively unsigned, 32-bit number. */
bool_t xdr_long_vl(XDR* xdrs, long* lp);
bool_t xdr_u_long_vl(XDR* xdrs, u_long* ulp);

/* Releases ptr, an object of size bytes decoded with proc, and everything
 * proc allocated inside it. A null ptr does nothing. */
void vl_free_reference(xdrproc_t proc, void* ptr, u_int size);
/* Runs xdrproc on pdata over a stdio XDR stream on fp in direction op;
 * returns the filter's result. */
int vl_serialize(FILE* fp, xdrproc_t xdrproc, void* pdata, enum xdr_op op);

/* Hands text unchanged to the installed report function. */
void vlrpc_report_event(char* text);
/* Installs f as the report function; a null f is ignored. */
void vl_set_err_report_func(vlrpc_perr_call_t f);
/* The default report function: writes text to the standard error stream. */
void print_stderr(char* text);

/* ---- Helpers of the generated XDR code, stubs and server code ---- */

/* Sizes of the XDR code in 64 bits: an overflow, a negative value (a
 * subtraction below 0, or an operand with its top bit set: a negative int
 * converted, or ~0ULL itself) or a division by zero gives ~0ULL, a value
 * that no 32-bit count reaches, and every operation keeps it. */
unsigned long long vlrpc_size_add(unsigned long long a, unsigned long long b);
unsigned long long vlrpc_size_sub(unsigned long long a, unsigned long long b);
unsigned long long vlrpc_size_mul(unsigned long long a, unsigned long long b);
unsigned long long vlrpc_size_div(unsigned long long a, unsigned long long b);
unsigned long long vlrpc_size_mod(unsigned long long a, unsigned long long b);
/* Shifts of sizes: an operand with its top bit set, a count of 64 or
 * more, or bits shifted out on the left, give ~0ULL. */
unsigned long long vlrpc_size_shl(unsigned long long a, unsigned long long b);
unsigned long long vlrpc_size_shr(unsigned long long a, unsigned long long b);
/* Values of expressions over decoded data that C could trap on or leave
 * undefined (a discriminant, the test inside a size), as ints in 64 bits.
 * A division by zero, a shift by a count outside 0 to 31, a left shift of
 * a negative value and a result outside int cannot be computed: they give
 * vlrpc_value_none(), the one value that no int takes, which every later
 * operation keeps. Operands are ints or unsigned values of 32 bits;
 * vlrpc_value_operand tells whether a value is one, vlrpc_value_int
 * whether a result is an int (else none), vlrpc_value_unknown whether a
 * value is none. */
long long vlrpc_value_none(void);
int vlrpc_value_unknown(long long v);
int vlrpc_value_operand(long long v);
long long vlrpc_value_int(long long v);
long long vlrpc_value_add(long long a, long long b);
long long vlrpc_value_sub(long long a, long long b);
long long vlrpc_value_mul(long long a, long long b);
long long vlrpc_value_div(long long a, long long b);
long long vlrpc_value_mod(long long a, long long b);
long long vlrpc_value_shl(long long a, long long b);
long long vlrpc_value_shr(long long a, long long b);
long long vlrpc_value_neg(long long a);
long long vlrpc_value_not(long long a);
/* &, |, ^, <, >, <=, >=, ==, !=, && and ||: only an operand that is not
 * one (none among them) gives none. */
long long vlrpc_value_bitand(long long a, long long b);
long long vlrpc_value_bitor(long long a, long long b);
long long vlrpc_value_bitxor(long long a, long long b);
long long vlrpc_value_lt(long long a, long long b);
long long vlrpc_value_gt(long long a, long long b);
long long vlrpc_value_le(long long a, long long b);
long long vlrpc_value_ge(long long a, long long b);
long long vlrpc_value_eq(long long a, long long b);
long long vlrpc_value_ne(long long a, long long b);
long long vlrpc_value_and(long long a, long long b);
long long vlrpc_value_or(long long a, long long b);
/* A value as a size: none saturates to ~0ULL. */
unsigned long long vlrpc_value_size(long long v);
/* The smaller of a size and a limit, as a count of the wire: at most
 * 0xffffffff. */
u_int vlrpc_clamp(unsigned long long n, unsigned long long limit);
/* The count to send for a size: TRUE and *count set when n is within bound
 * and a 32-bit count; FALSE, *count untouched, otherwise. */
bool_t vlrpc_count_fits(unsigned long long n, unsigned long long bound, u_int* count);
/* Zeroed storage of n elements of size bytes (one for n 0) for a result
 * buffer; null for a count that the wire cannot carry or when memory is
 * short. It may be a block that vlrpc_free kept, cleared over the pages
 * that memory holds; either way a malloc block that free may release. */
void* vlrpc_alloc(unsigned long long n, size_t size);
/* Storage as vlrpc_alloc gives it, for an argument to be decoded into,
 * except that a kept block comes as its last user left it: the decoder
 * overwrites what arrives, and vlrpc_clear_room clears the rest, so that
 * what the previous call wrote is cleared only where no new data lands. */
void* vlrpc_alloc_room(unsigned long long n, size_t size);
/* Clears elements from up to n, of size bytes each, of storage from
 * vlrpc_alloc_room (over the pages memory holds, as vlrpc_alloc does); a
 * null block or from not below n clears nothing. */
void vlrpc_clear_room(void* block, unsigned long long from, unsigned long long n, size_t size);
/* Releases a block of malloc, keeping a few for vlrpc_alloc. */
void vlrpc_free(void* block);
/* Releases, with the element filter when it is not null, count decoded
 * elements of size bytes at *array, frees *array and sets it to null. */
void vlrpc_release(char** array, u_int count, u_int size, xdrproc_t element);
/* Decodes (or encodes, or frees) count elements of size bytes each at
 * *array with the element filter, or raw bytes when it is null. When
 * *array is null, storage is allocated as the elements arrive, with one
 * zeroed element behind them (a terminator for bytes); when decoding then
 * fails, that storage is released and *array is null again. */
bool_t vlrpc_decode_elements(XDR* xdrs, char** array, u_int count, u_int size, xdrproc_t element);
/* Bytes measured by their own terminator: TRUE when one ends the count
 * bytes decoded, written behind them where room has a place for it, or
 * found among them. FALSE otherwise, and the last byte becomes one, so
 * that storage refused this way still holds a string. */
bool_t vlrpc_terminated(char* bytes, u_int count, u_int room);
/* A string measured by its own length: reads its count into *len, refuses
 * one beyond maxlen, and decodes the bytes into storage of its own (*string
 * null on entry) with a zeroed byte behind them. */
bool_t vlrpc_decode_string(XDR* xdrs, char** string, u_int maxlen, u_int* len);
/* The end of decoding a string: with given null, a string decoded whole (ok)
 * is kept and a refused one released. With given, the caller's storage of
 * room for the bound and the terminator, a whole string is copied into it
 * with its terminator, the decoded storage is released either way, and
 * *string is given again, unchanged when ok is FALSE. Returns ok. */
bool_t vlrpc_settle_string(char** string, char* given, bool_t ok);
/* A string measured by its own length, decoded into room of maxlen bytes
 * and a terminator that the server's dispatcher gave an argument: reads its
 * count into *len, refuses one beyond maxlen, and decodes the bytes into
 * the room with a zeroed byte behind them. A refused string leaves the room
 * to be released with the arguments. */
bool_t vlrpc_decode_string_in_room(XDR* xdrs, char* room, u_int maxlen, u_int* len);
/* 1 when the n elements of size bytes at array hold only zero bytes (a
 * caller's storage whose elements own nothing yet); 0 otherwise and for a
 * null array. */
int vlrpc_blank(const char* array, u_int n, u_int size);
/* Releases with the element filter what the n elements of size bytes at
 * array own and zeroes them; the storage itself stays the caller's. */
void vlrpc_clear(char* array, u_int n, u_int size, xdrproc_t element);

#ifdef __cplusplus
}
#endif

#endif /* VELORIN_H */
