/* The C server of the tests: program, version and procedure numbers, and
 * its start-up. */
#ifndef RUNTIME_SERVER_C_SERVER_H
#define RUNTIME_SERVER_C_SERVER_H

#define CALC_PROG 0x20000101
#define CALC_VERS 1
#define CALC_ADD 1
#define CALC_PING 2

#ifdef __cplusplus
extern "C" {
#endif

/* Serves on port over TCP and UDP; never returns while it serves. */
void calc_1_main(int port);

#ifdef __cplusplus
}
#endif

#endif
