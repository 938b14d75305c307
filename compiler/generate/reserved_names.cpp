// The lists are fixed here rather than read from the headers of the machine
// that builds the compiler: generated files are built on other machines,
// against other C libraries, and an interface must be refused or accepted
// the same way wherever it is compiled. They hold the names of the standard
// headers that generated files and ordinary implementation files include
// (stdio, stdlib, string, ctype, time, signal, setjmp, unistd, fcntl,
// sys/stat, sys/wait, sys/select, sys/socket, netdb, arpa/inet, the RPC
// headers), not of libraries that a generated program does not link, such
// as the math library.
#include "generate/reserved_names.h"

#include <sstream>
#include <unordered_set>

namespace {

// The words of a list. A name longer than every word is none of them and
// is not hashed: the names a deep declarator forms run to thousands of
// characters.
class wordSet {
public:
    explicit wordSet(const char* text)
    {
        std::istringstream in(text);
        std::string word;
        while (in >> word) {
            if (word.size() > longest_)
                longest_ = word.size();
            words_.insert(word);
        }
    }

    bool contains(const std::string& name) const
    {
        return name.size() <= longest_ && words_.count(name) != 0;
    }

private:
    std::unordered_set<std::string> words_;
    std::string::size_type longest_ = 0;
};

const char* const cKeywords =
    "auto break case char const continue default do double else enum extern float for goto if "
    "inline int long register restrict return short signed sizeof static struct switch typedef "
    "union unsigned void volatile while _Alignas _Alignof _Atomic _Bool _Complex _Generic "
    "_Imaginary _Noreturn _Static_assert _Thread_local alignas alignof bool constexpr false "
    "nullptr static_assert thread_local true typeof typeof_unqual";

const char* const cxxKeywords =
    "and and_eq asm bitand bitor catch char8_t char16_t char32_t class compl concept consteval "
    "constinit const_cast co_await co_return co_yield decltype delete dynamic_cast explicit "
    "export friend mutable namespace new noexcept not not_eq operator or or_eq private "
    "protected public reinterpret_cast requires static_cast template this throw try typeid "
    "typename using virtual wchar_t xor xor_eq";

const char* const libraryNames =
    // stdio.h
    "remove rename tmpfile tmpnam fclose fflush fopen freopen setbuf setvbuf fprintf fscanf "
    "printf scanf snprintf sprintf sscanf vfprintf vfscanf vprintf vscanf vsnprintf vsprintf "
    "vsscanf fgetc fgets fputc fputs getc getchar gets putc putchar puts ungetc fread fwrite "
    "fgetpos fseek fsetpos ftell rewind clearerr feof ferror perror fileno fdopen popen pclose "
    "getline getdelim dprintf FILE fpos_t "
    // stdlib.h
    "atof atoi atol atoll strtod strtof strtold strtol strtoll strtoul strtoull rand srand "
    "calloc free malloc realloc aligned_alloc abort atexit at_quick_exit exit _Exit getenv "
    "quick_exit system bsearch qsort abs labs llabs div ldiv lldiv mblen mbtowc wctomb mbstowcs "
    "wcstombs setenv unsetenv putenv mkstemp mkdtemp mktemp realpath random srandom "
    "posix_memalign div_t ldiv_t lldiv_t "
    // string.h, strings.h
    "memcpy memmove strcpy strncpy strcat strncat memcmp strcmp strcoll strncmp strxfrm memchr "
    "strchr strcspn strpbrk strrchr strspn strstr strtok memset strerror strlen strdup strndup "
    "strnlen strtok_r strcasecmp strncasecmp bzero bcopy bcmp index rindex ffs "
    // ctype.h
    "isalnum isalpha isblank iscntrl isdigit isgraph islower isprint ispunct isspace isupper "
    "isxdigit tolower toupper "
    // time.h, sys/time.h
    "clock difftime mktime time asctime ctime gmtime localtime strftime nanosleep gettimeofday "
    "clock_t time_t "
    // signal.h, setjmp.h, errno.h
    "signal raise kill sigaction sigemptyset sigfillset sigaddset sigdelset sigismember "
    "sigprocmask sig_atomic_t setjmp longjmp jmp_buf "
    // unistd.h, fcntl.h, sys/stat.h, sys/wait.h
    "access alarm chdir chown close dup dup2 execl execle execlp execv execve execvp _exit fork "
    "fsync ftruncate getcwd getegid geteuid getgid getgroups gethostname getlogin getopt "
    "getpgrp getpid getppid getuid isatty link lseek nice pause pipe read readlink rmdir setgid "
    "setpgid setsid setuid sleep symlink sync sysconf truncate ttyname unlink usleep write "
    "optarg optind opterr optopt environ open creat fcntl stat fstat lstat mkdir chmod umask "
    "mkfifo wait waitpid ioctl mmap munmap "
    // sys/select.h, poll.h, sys/socket.h, netdb.h, arpa/inet.h
    "select pselect poll fd_set accept bind connect getpeername getsockname getsockopt listen "
    "recv recvfrom recvmsg send sendmsg sendto setsockopt shutdown socket socketpair "
    "gethostbyname gethostbyaddr getaddrinfo freeaddrinfo getnameinfo getprotobyname "
    "getservbyname gai_strerror herror htonl htons ntohl ntohs inet_addr inet_ntoa inet_ntop "
    "inet_pton "
    // sys/types.h and the RPC headers' types
    "size_t ssize_t off_t pid_t uid_t gid_t mode_t caddr_t u_char u_short u_int u_long "
    "int8_t int16_t int32_t int64_t uint8_t uint16_t uint32_t uint64_t u_int32_t quad_t "
    "u_quad_t bool_t enum_t rpcprog_t rpcvers_t rpcproc_t xdrproc_t XDR CLIENT SVCXPRT AUTH "
    // ONC RPC: clients, servers, the portmapper and XDR
    "authnone_create authunix_create authunix_create_default auth_destroy callrpc "
    "clnt_broadcast clnt_call clnt_control clnt_create clnt_create_timed clnt_create_vers "
    "clnt_destroy clnt_freeres clnt_geterr clnt_pcreateerror clnt_perrno clnt_perror "
    "clnt_spcreateerror clnt_sperrno clnt_sperror clnt_tli_create clnt_tp_create "
    "clnt_vc_create clnt_dg_create clnt_raw_create clntraw_create clnttcp_create "
    "clntudp_create clntudp_bufcreate clntunix_create get_myaddress getrpcbyname "
    "getrpcbynumber getrpcport bindresvport pmap_getmaps pmap_getport pmap_rmtcall pmap_set "
    "pmap_unset registerrpc rpc_createerr rpc_control rpcb_getaddr rpcb_getmaps rpcb_set "
    "rpcb_unset svc_create svc_destroy svc_exit svc_fdset svc_max_pollfd svc_pollfd "
    "svc_freeargs svc_getargs svc_getcaller svc_getreq svc_getreqset svc_getreq_common "
    "svc_getreq_poll svc_register svc_reg svc_run svc_sendreply svc_unregister svc_unreg "
    "svcerr_auth svcerr_decode svcerr_noproc svcerr_noprog svcerr_progvers svcerr_systemerr "
    "svcerr_weakauth svcfd_create svcraw_create svctcp_create svcudp_bufcreate svcudp_create "
    "svcunix_create svc_tli_create svc_tp_create svc_vc_create svc_dg_create svc_fd_create "
    "xprt_register xprt_unregister xdrmem_create xdrrec_create xdrrec_endofrecord xdrrec_eof "
    "xdrrec_skiprecord xdrstdio_create xdr_accepted_reply xdr_array xdr_authunix_parms xdr_bool "
    "xdr_bytes xdr_callhdr xdr_callmsg xdr_char xdr_des_block xdr_double xdr_enum xdr_float "
    "xdr_free xdr_hyper xdr_int xdr_int8_t xdr_int16_t xdr_int32_t xdr_int64_t xdr_long "
    "xdr_longlong_t xdr_netbuf xdr_netobj xdr_opaque xdr_opaque_auth xdr_pmap xdr_pmaplist "
    "xdr_pointer xdr_quad_t xdr_reference xdr_rejected_reply xdr_replymsg xdr_rmtcall_args "
    "xdr_rmtcallres xdr_short xdr_sizeof xdr_string xdr_u_char xdr_u_hyper xdr_u_int "
    "xdr_u_int8_t xdr_u_int16_t xdr_u_int32_t xdr_u_int64_t xdr_u_long xdr_u_longlong_t "
    "xdr_u_quad_t xdr_u_short xdr_uint8_t xdr_uint16_t xdr_uint32_t xdr_uint64_t xdr_union "
    "xdr_vector xdr_void xdr_wrapstring "
    // the call statuses, whose constants are ordinary identifiers
    "RPC_SUCCESS RPC_CANTENCODEARGS RPC_CANTDECODERES RPC_CANTSEND RPC_CANTRECV RPC_TIMEDOUT "
    "RPC_VERSMISMATCH RPC_AUTHERROR RPC_PROGUNAVAIL RPC_PROGVERSMISMATCH RPC_PROCUNAVAIL "
    "RPC_CANTDECODEARGS RPC_SYSTEMERROR RPC_UNKNOWNHOST RPC_UNKNOWNPROTO RPC_PMAPFAILURE "
    "RPC_PROGNOTREGISTERED RPC_FAILED XDR_ENCODE XDR_DECODE XDR_FREE "
    // the Velorin runtime's own names without its prefixes
    "fork_on_connect close_fds print_stderr local_call_t free_call_t xdr_array_vl xdr_bytes_vl "
    "xdr_long_vl xdr_u_long_vl";

const char* const libraryMacros =
    "NULL EOF TRUE FALSE stdin stdout stderr errno assert offsetof BUFSIZ SEEK_SET SEEK_CUR "
    "SEEK_END EXIT_SUCCESS EXIT_FAILURE RAND_MAX FD_SETSIZE RPC_ANYSOCK NULLPROC CLSET_TIMEOUT "
    "CLGET_TIMEOUT IPPROTO_TCP IPPROTO_UDP VELORIN_FORKING VELORIN_THREADING VL_MAX_CALL_RECORD";

// Tags of the structs, unions and enumerations those headers define.
const char* const libraryTags =
    "timeval timespec tm sockaddr sockaddr_in hostent servent protoent stat sigaction "
    "opaque_auth svc_req rpc_err rpc_msg clnt_stat xdr_op vlrpc_call_struct";

// Names of the runtime and of the generated helper functions begin so.
const char* const runtimePrefixes[] = {"vl_", "vlrpc_"};

}  // namespace

const char* keywordLanguage(const std::string& name)
{
    static const wordSet c(cKeywords);
    static const wordSet cxx(cxxKeywords);
    if (c.contains(name))
        return "C";
    if (cxx.contains(name))
        return "C++";
    return nullptr;
}

int isLibraryName(const std::string& name)
{
    static const wordSet names(libraryNames);
    for (const char* prefix : runtimePrefixes)
        if (name.compare(0, std::string(prefix).size(), prefix) == 0)
            return 1;
    return names.contains(name) ? 1 : isLibraryMacro(name);
}

int isLibraryMacro(const std::string& name)
{
    static const wordSet macros(libraryMacros);
    return macros.contains(name) ? 1 : 0;
}

int isLibraryTag(const std::string& name)
{
    static const wordSet tags(libraryTags);
    return tags.contains(name) ? 1 : 0;
}
