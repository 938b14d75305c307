#!/usr/bin/env bash
# Strings measured by their own length at and around their bound, inout and
# out, back into the caller's storage over TCP and UDP, from a Velorin server
# and from rpcgen's; a string one character longer is not sent (1: cannot
# encode), and calls that time out (5) leave the caller's string as it was.
source "$(dirname "$0")/proc_lib.sh"

command -v rpcgen >/dev/null || { echo "rpcgen is not installed"; exit 77; }

e2e_setup bound
proc_claim_program prog
proc_claim_program peer
proc_compile server bound.idl bound -DBOUND_PROGRAM_NUMBER=$prog
proc_build bound
e2e_start_server bound "$work/server" "$(e2e_registered $prog 1)" ./bound_server

mkdir -p "$work/peer" && cd "$work/peer" || e2e_abort "cd peer"
cp "$procs_dir/bound.x" "$procs_dir/bound_rpcgen_impl.c" .
rpcgen -DBOUND_PROGRAM_NUMBER=$peer -h -o bound.h bound.x &&
  rpcgen -DBOUND_PROGRAM_NUMBER=$peer -c -o bound_rpc_xdr.c bound.x &&
  rpcgen -DBOUND_PROGRAM_NUMBER=$peer -s udp -s tcp -o bound_rpc_svc.c bound.x ||
  e2e_abort "rpcgen bound.x failed"
cc -g $VELORIN_TEST_CC_FLAGS -I/usr/include/tirpc -o bound_peer bound_rpc_svc.c bound_rpc_xdr.c \
  bound_rpcgen_impl.c -ltirpc >make.log 2>&1 || { cat make.log >&2; e2e_abort "peer build failed"; }
# rpcgen's server leaves SIGPIPE as it is: its late answer to a client that
# has given up and closed would end it.
e2e_start_server peer "$work/peer" "$(e2e_registered $peer 1)" bash -c "trap '' PIPE; exec ./bound_peer"
peer_pid=${e2e_server_pids[-1]}
cd "$work/server" || e2e_abort "cd server"

expected="turn 0 [] status 0
turn 15 [AAAAAAAAAAAAAAA] status 0
turn 16 [AAAAAAAAAAAAAAAA] status 0
fill 0 [] status 0
fill 15 [ooooooooooooooo] status 0
fill 16 [oooooooooooooooo] status 0
turn 17 kept status 1"
for proto in tcp udp; do
  e2e_expect "Velorin server over $proto" "$expected" \
    "$(timeout 20 ./bound_client 127.0.0.1 $proto $prog 2>&1)"
  e2e_expect "rpcgen server over $proto" "$expected" \
    "$(timeout 20 ./bound_client 127.0.0.1 $proto $peer 2>&1)"
done

# The peer stopped: it takes the calls and never answers them.
kill -STOP "$peer_pid"
for proto in tcp udp; do
  e2e_expect "silent server over $proto" "silent turn kept status 5
silent fill kept status 5" "$(timeout 20 ./bound_client 127.0.0.1 $proto $peer silent 2>&1)"
done
kill -CONT "$peer_pid"
e2e_servers_alive
e2e_finish
