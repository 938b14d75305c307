#!/usr/bin/env bash
# A program with versions 1 and 2: the servers of both versions run side
# by side under one program number, each answering its own version.
source "$(dirname "$0")/proc_lib.sh"


e2e_setup twover
proc_claim_program prog
proc_compile build twover.idl twover -DTWOVER_PROGRAM_NUMBER=$prog
# The makefile is written for the last version; each version's programs are
# built with it by naming their file base and program name.
proc_build twover2 APP=twover2
proc_build twover2 FILE_PREFIX=twover1 APP=twover1
for program in twover1_server twover1_client twover2_server twover2_client; do
  [ -x $program ] || e2e_abort "make built no $program"
done

e2e_start_server version1 "$work/build" "$(e2e_registered $prog 1)" ./twover1_server
# The second server's start must not take the first one's registration.
e2e_start_server version2 "$work/build" "$(e2e_registered $prog 2)" ./twover2_server
for proto in t u; do
  for version in 1 2; do
    timeout 10 rpcinfo -$proto 127.0.0.1 $prog $version >/dev/null 2>&1 ||
      e2e_fail "version $version does not answer rpcinfo -$proto"
  done
done
for proto in tcp udp; do
  e2e_expect "version 1 over $proto" "which 1 add 5" "$(timeout 20 ./twover1_client 127.0.0.1 $proto 2>&1)"
  e2e_expect "version 2 over $proto" "which 2 add 5 mul 6" "$(timeout 20 ./twover2_client 127.0.0.1 $proto 2>&1)"
done
e2e_servers_alive
e2e_finish
