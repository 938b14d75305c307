#include "driver/signals.h"

#include "driver/compile_flow.h"
#include "output/output_files.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool keepsDefaultAction(int signalNumber)
{
    switch (signalNumber) {
    case SIGCHLD: case SIGWINCH: case SIGURG: case SIGCONT:
    case SIGTSTP: case SIGTTIN: case SIGTTOU:
        return true;
    default:
        return false;
    }
}

void writeError(const char* text)
{
    ssize_t ignored = write(2, text, std::strlen(text));
    (void)ignored;
}

volatile std::sig_atomic_t cleaningUp = 0;

} // namespace

void installSignalHandlers()
{
    for (int signalNumber = 0; signalNumber < 32; ++signalNumber)
        if (!keepsDefaultAction(signalNumber))
            std::signal(signalNumber, onSignal);   // fails harmlessly for 0, SIGKILL, SIGSTOP
}

void onSignal(int)
{
    // A second signal while the first clean-up runs must not start another.
    if (cleaningUp)
        _exit(1);
    cleaningUp = 1;
    writeError("Interrupted by signal.\n");
    removeGeneratedFiles(currentFiles);
    writeError("clean up ... exiting\n");
    std::exit(1);
}
