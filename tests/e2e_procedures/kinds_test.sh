#!/usr/bin/env bash
# Every way an argument travels, through the generated C stubs over TCP and
# UDP and through the generated C++ class: the server built from the
# generated makefile, found through the portmapper.
source "$(dirname "$0")/proc_lib.sh"

e2e_setup kinds
proc_claim_program progA
proc_claim_program progB
proc_compile a kinds.idl kinds -DKINDS_PROGRAM_NUMBER=$progA
proc_build kinds
[ -x kinds_server ] && [ -x kinds_client ] && [ -x kinds_cxx_client ] ||
  e2e_abort "make built no server and clients"
# A second server of the same interface under another program number.
proc_compile b kinds.idl kinds -DKINDS_PROGRAM_NUMBER=$progB
proc_build kinds CLIENT_SRCS= CXX_CLIENT_SRCS=
cd "$work" || e2e_abort "cd $work"

e2e_start_server kindsA "$work/a" "$(e2e_registered $progA 1)" ./kinds_server
e2e_start_server kindsB "$work/b" "$(e2e_registered $progB 1)" ./kinds_server

# The generated dispatcher answers the null procedure on both transports.
for proto in t u; do
  out=$(timeout 10 rpcinfo -$proto 127.0.0.1 $progA 1 2>&1)
  e2e_expect "rpcinfo -$proto" "program $progA version 1 ready and waiting" "$out"
done

unbound="unbound add 0
unbound movept 0 0
unbound twice 21
unbound counter 0
unbound add_wrap -125"
# A null string travels as an empty one.
results="add -42
scale 1000194.00
twice 42
split 4 5
length 12
length of a null string 0
upper VELORIN RPC
movept 13 4
mirror 4 3
sum 5050
sum of none 0
fill 0 1 4 9 16 25 0
reverse 5 4 3 2 1
fixedsum 255
fixedsquare 4 9 16 25
fixedcount 1 2 3 4
bytesum 33586
tagsum 198
listsum 60
listsum of none 0
listmake 1 2 3 4
counter 3
status 0"
for proto in tcp udp; do
  out=$(timeout 20 ./a/kinds_client 127.0.0.1 $proto 2>&1)
  e2e_expect "C stubs over $proto" "$unbound
$results" "$out"
done

out=$(timeout 20 ./a/kinds_cxx_client 127.0.0.1 $progA $progB 2>&1)
e2e_expect "two objects of the client class" "unbound method add 0
counter A 3 B 1
method movept 6 2
method sum 15
stub counter 0
destroyed A counter 0, B counter 2" "$out"

e2e_servers_alive
e2e_finish
