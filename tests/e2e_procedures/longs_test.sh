#!/usr/bin/env bash
# long and unsigned long at and beyond the 32 bits of the wire, through the
# generated C stubs over TCP and UDP: values that fit travel unchanged (the
# negative ones too), arguments that do not fit fail the call on the client
# with RPC_CANTENCODEARGS and reach no server, and a server result that does
# not fit reaches the caller as a failed call, never as a truncated value.
source "$(dirname "$0")/proc_lib.sh"

e2e_setup longs
proc_claim_program prog
proc_compile a longs.idl longs -DLONGS_PROGRAM_NUMBER=$prog
proc_build longs CXX_CLIENT_SRCS=
[ -x longs_server ] && [ -x longs_client ] || e2e_abort "make built no server and client"
cd "$work" || e2e_abort "cd $work"

e2e_start_server longs "$work/a" "$(e2e_registered $prog 1)" ./longs_server

for proto in tcp udp; do
  out=$(timeout 60 ./a/longs_client 127.0.0.1 $proto 2>&1)
  e2e_expect "longs over $proto" "echo 2^31-1 2147483647 success
echo -2^31 -2147483648 success
echo -1 -1 success
uecho 2^32-1 4294967295 success
sumpair 2147483647 success
sumfour -1 success
echo 2^31 0 cantencodeargs
echo -2^31-1 0 cantencodeargs
echo 2^33+5 0 cantencodeargs
uecho 2^32 0 cantencodeargs
sumpair wide long 0 cantencodeargs
sumpair wide unsigned 0 cantencodeargs
sumfour wide 0 cantencodeargs
widest 0 failed
echo after 7 success" "$out"
done

e2e_servers_alive
e2e_finish
