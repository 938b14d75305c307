#ifndef VELORIN_DRIVER_SIGNALS_H
#define VELORIN_DRIVER_SIGNALS_H

// Routes every terminating signal below 32 to onSignal. Signals whose
// default action is to ignore or to stop the process (SIGCHLD, SIGWINCH,
// SIGURG, SIGCONT, SIGTSTP, SIGTTIN, SIGTTOU) keep their default, so that
// resizing a terminal or suspending the compiler does not abort a compile.
void installSignalHandlers();

// Removes the current version's header and C files and ends the process
// with status 1 through exit(), which also removes the temporary files.
void onSignal(int signalNumber);

#endif
