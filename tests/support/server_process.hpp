// Servers that a test builds and starts as a process of their own on
// 127.0.0.1: a free port of the test's range to serve on, and the running
// server, ended by its process id.
#ifndef TESTS_SUPPORT_SERVER_PROCESS_HPP
#define TESTS_SUPPORT_SERVER_PROCESS_HPP

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// True when a socket of that type can be bound to 127.0.0.1 at the port.
inline bool portFree(int type, int port)
{
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound =
        fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return bound;
}

// Claims the port for this process until it ends, against the same test
// run from other build trees on this host: a lock on a file per port, in
// the directory where the end-to-end tests claim theirs (tests/e2e/lib.sh).
inline bool claimPort(int port)
{
    const std::string dir = "/tmp/velorin-e2e-claims";
    mkdir(dir.c_str(), 0755);
    const std::string claim = dir + "/port-" + std::to_string(port);
    const int fd = open(claim.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;  // held until the process ends
    close(fd);
    return false;
}

// A port of first..last that no other test process holds and that is free
// for TCP and UDP, or 0 when there is none. Each test keeps to a range of
// its own, below the system's ephemeral ports (32768 and up), so that no
// client's local port takes it either.
inline int freeServerPort(int first, int last)
{
    for (int port = first; port <= last; ++port)
        if (claimPort(port) && portFree(SOCK_STREAM, port) && portFree(SOCK_DGRAM, port))
            return port;
    return 0;
}

// A server program run with the given arguments and environment variables;
// it is ready once its first output starts with "ready".
class serverProcess {
public:
    using environment = std::vector<std::pair<std::string, std::string>>;

    explicit serverProcess(const std::string& program,
                           const std::vector<std::string>& arguments = {},
                           const environment& variables = {})
    {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(ready[1], 1);
            close(ready[0]);
            for (const auto& variable : variables)
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(ready[1]);
        char line[16] = {0};
        const ssize_t n = read(ready[0], line, sizeof line - 1);
        close(ready[0]);
        ready_ = n > 0 && std::string(line).rfind("ready", 0) == 0;
    }
    ~serverProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    serverProcess(const serverProcess&) = delete;
    serverProcess& operator=(const serverProcess&) = delete;

    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace testsupport

#endif
