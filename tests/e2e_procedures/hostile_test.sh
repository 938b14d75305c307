#!/usr/bin/env bash
# Hostile requests to a generated server: malformed and truncated calls,
# counts above their bounds, strings that are empty or unterminated, over
# UDP and TCP. Each is answered with an error or dropped, and the server
# keeps serving.
source "$(dirname "$0")/proc_lib.sh"
proc_need_python


e2e_setup hostile
proc_claim_program prog
proc_compile server kinds.idl kinds -DKINDS_PROGRAM_NUMBER=$prog
proc_build kinds CLIENT_SRCS= CXX_CLIENT_SRCS=
e2e_start_server hostile "$work/server" "$(e2e_registered $prog 1)" ./kinds_server

port_of() { rpcinfo -p 127.0.0.1 | awk -v p="$prog" -v t="$1" '$1 == p && $2 == 1 && $3 == t { print $4; exit }'; }
tcp_port=$(port_of tcp)
udp_port=$(port_of udp)
[ -n "$tcp_port" ] && [ -n "$udp_port" ] || e2e_abort "the server's ports are not registered"

timeout 150 "$proc_python" "$procs_dir/rpc_sender.py" hostile "$work/server/kinds.h" "$prog" "$tcp_port" "$udp_port" \
  >sender.log 2>&1 || e2e_fail "hostile requests: $(cat sender.log)"

e2e_servers_alive
for proto in t u; do
  timeout 10 rpcinfo -$proto 127.0.0.1 $prog 1 >/dev/null 2>&1 || e2e_fail "no null call over -$proto at the end"
done
e2e_stop_servers
# The server's own complaints (the sanitizer's among them) end up in its log.
if grep -q 'ERROR: AddressSanitizer\|runtime error:' "$work/hostile.log"; then
  e2e_fail "the sanitizer reported: $(grep -A12 'ERROR: AddressSanitizer\|runtime error:' "$work/hostile.log")"
fi
e2e_finish
