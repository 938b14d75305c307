// The compiler's clean-up on signals: which signals reach the handler, and
// what the handler removes.

#include "driver/compile_flow.h"
#include "driver/signals.h"
#include "output/output_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(SignalRouting, TerminatingSignalsReachTheHandler)
{
    installSignalHandlers();
    // These only ignore or stop by default: a compile must survive them.
    const int keepDefault[] = {SIGCHLD, SIGWINCH, SIGURG, SIGCONT, SIGTSTP, SIGTTIN, SIGTTOU};
    for (int signalNumber = 1; signalNumber < 32; ++signalNumber) {
        if (signalNumber == SIGKILL || signalNumber == SIGSTOP)
            continue;
        struct sigaction action;
        ASSERT_EQ(sigaction(signalNumber, nullptr, &action), 0);
        bool expectDefault = false;
        for (int keep : keepDefault)
            expectDefault = expectDefault || keep == signalNumber;
        if (expectDefault)
            EXPECT_EQ(action.sa_handler, SIG_DFL) << strsignal(signalNumber);
        else
            EXPECT_EQ(action.sa_handler, &onSignal) << strsignal(signalNumber);
    }
}

// The handler removes the current version's header and C files, keeps the
// C++ client files and the template, and ends the process with status 1.
TEST(SignalCleanUp, RemovesTheGeneratedCFiles)
{
    GTEST_FLAG_SET(death_test_style, "fast");   // the child must see these files
    char pattern[] = "/tmp/signal_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    std::string* const removed[] = {&currentFiles.header, &currentFiles.server, &currentFiles.xdr,
                                    &currentFiles.client};
    std::string* const kept[] = {&currentFiles.classHeader, &currentFiles.classSource,
                                 &currentFiles.implTemplate};
    const char* const suffixes[] = {".h", "_svc.c", "_xdr.c", "_cln.c", "Client.hpp",
                                    "Client.cpp", "_impl_tmp.c"};
    int i = 0;
    for (std::string* name : removed)
        *name = dir + "/calc" + suffixes[i++];
    for (std::string* name : kept)
        *name = dir + "/calc" + suffixes[i++];
    for (const std::string* name : removed)
        std::ofstream(*name) << "x";
    for (const std::string* name : kept)
        std::ofstream(*name) << "x";

    installSignalHandlers();
    EXPECT_EXIT(raise(SIGTERM), ::testing::ExitedWithCode(1),
                "^Interrupted by signal\\.\nclean up \\.\\.\\. exiting\n$");
    EXPECT_EXIT(raise(SIGHUP), ::testing::ExitedWithCode(1), "Interrupted by signal");

    for (const std::string* name : removed)
        EXPECT_FALSE(exists(*name)) << *name;
    for (const std::string* name : kept)
        EXPECT_TRUE(exists(*name)) << *name;

    const std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

} // namespace
