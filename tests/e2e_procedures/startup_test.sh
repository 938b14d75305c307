#!/usr/bin/env bash
# Start-up and naming properties: INIT_BEFORE_REGISTER runs before any
# transport exists, INIT_AFTER_REGISTER once both are registered, both with
# the server's arguments; GEN_MAIN_FUNC false leaves main to the programmer;
# SERV_CALL_PREFIX names the server functions (the procedure's own prefix
# before the version's); CLNT_CALL_SUFFIX is accepted and changes nothing;
# VERSION gives the version its number.
source "$(dirname "$0")/proc_lib.sh"


e2e_setup startup
proc_claim_program prog
proc_compile server startup.idl startup -DSTARTUP_PROGRAM_NUMBER=$prog
grep -i 'unknown property\|warning' velorin.log && e2e_fail "the compiler warned about the properties"
grep -q 'int\s*main' startup_svc.c && e2e_fail "a main function was generated"
# The implementation's main, the initialisation functions and the prefixed
# procedures link with the generated server only when all names agree.
proc_build startup CXX_CLIENT_SRCS=
[ -x startup_server ] && [ -x startup_client ] || e2e_abort "make built no server and client"

e2e_start_server startup "$work/server" "$(e2e_registered $prog 3)" ./startup_server "$work/init.log"
e2e_expect "start-up order" "own main
before: sockets 0, arguments 2
after: sockets 2, tcp registered 1, udp registered 1" "$(cat "$work/init.log")"

e2e_expect "calls through the stubs" "add 12 sub 2 version 3" "$(timeout 20 ./startup_client 127.0.0.1 2>&1)"
timeout 10 rpcinfo -u 127.0.0.1 $prog 3 >/dev/null 2>&1 || e2e_fail "version 3 does not answer over UDP"
timeout 10 rpcinfo -t 127.0.0.1 $prog 1 >/dev/null 2>&1 && e2e_fail "version 1 answers, though VERSION made it 3"

e2e_servers_alive
e2e_finish
