#!/usr/bin/env bash
# Peers that do not keep to the sizes of the interface. A lying server's
# replies whose counts exceed the room the request gave the caller's
# buffers, whose strings lack their terminator, or whose result claims more
# bytes than they brought, are refused by the generated client ("Can't
# decode result") over TCP and UDP, and one that switches a union of the
# caller's to a string arm is decoded into storage of its own; a call it
# leaves unanswered ends after the timeout the client set. A generated
# server refuses requests whose strings lack their terminator, whose sizes
# overflow 32 bits or exceed a result's bound, or whose sizes and
# discriminants divide by zero, overflow or shift too far; it allocates a
# large result buffer without touching it, gives every string of an inout
# array its full room, and keeps serving.
source "$(dirname "$0")/proc_lib.sh"
proc_need_python

e2e_setup lies
proc_claim_program prog
proc_compile server lies.idl lies -DLIES_PROGRAM_NUMBER=$prog
proc_build lies
cd "$work" || e2e_abort "cd $work"

# The lying server, and the generated client against it.
"$proc_python" "$procs_dir/lying_peer.py" serve "$work/liar.ports" >"$work/liar.log" 2>&1 &
e2e_server_pids+=("$!")
for _ in $(seq 1 100); do
  [ -s "$work/liar.ports" ] && break
  sleep 0.1
done
read -r liar_tcp liar_udp <"$work/liar.ports" || e2e_abort "the lying server did not start: $(cat "$work/liar.log")"
cant_decode=2
expected="fill 10: $cant_decode
fill 100: 0 100 99
fillnamed 1: $cant_decode
fillnamed 3: $cant_decode blank
fillnamed 4: 0 4 ab 3
name: $cant_decode
echo: $cant_decode
get 16: $cant_decode 0
get 2: 0 2 ab
swapheld: 0 2 liar"
for proto in tcp udp; do
  port=$liar_tcp
  [ $proto = udp ] && port=$liar_udp
  e2e_expect "the client against a lying server over $proto" "$expected" \
    "$(timeout 20 "$work/server/lies_client" "$port" $proto 2>&1)"
  # The lying server leaves names unanswered: the call timeout of one
  # second that the client set ends it (RPC_TIMEDOUT), and the caller's
  # array still holds its own buffers and strings.
  started=$(date +%s%N)
  e2e_expect "an unanswered call over $proto" "names: 5 own a bb ccc" \
    "$(timeout 60 "$work/server/lies_client" "$port" $proto names 1 2>&1)"
  proc_between "the unanswered call over $proto" 0.5 15 \
    "$(awk -v s="$started" -v e="$(date +%s%N)" 'BEGIN { printf "%.2f", (e - s) / 1e9 }')"
done

# Hostile requests to the generated server.
e2e_start_server lies "$work/server" "$(e2e_registered $prog 1)" ./lies_server
server_pid=${e2e_server_pids[-1]}
port_of() { rpcinfo -p 127.0.0.1 | awk -v p="$prog" -v t="$1" '$1 == p && $2 == 1 && $3 == t { print $4; exit }'; }
timeout 150 "$proc_python" "$procs_dir/lying_peer.py" hostile "$work/server/lies.h" "$prog" "$(port_of tcp)" \
  "$(port_of udp)" >hostile.log 2>&1 || e2e_fail "hostile requests: $(cat hostile.log)"
# The procedure fills every string of the inout array with 40 characters,
# in the room their type gives them; they come back in the caller's buffers.
for proto in tcp udp; do
  e2e_expect "the inout string array over $proto" "names: 0 own 40 40 40" \
    "$(timeout 150 "$work/server/lies_client" "$(port_of $proto)" $proto names 60 2>&1)"
done
# A result buffer of 2 GiB was allocated and never touched.
peak_kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$server_pid/status")
[ -n "$peak_kb" ] && [ "$peak_kb" -lt $((1024 * 1024)) ] ||
  e2e_fail "the server's resident memory reached ${peak_kb:-?} kB"

e2e_servers_alive
e2e_stop_servers
if grep -q 'ERROR: AddressSanitizer\|runtime error:' "$work/lies.log"; then
  e2e_fail "the sanitizer reported: $(grep -A12 'ERROR: AddressSanitizer\|runtime error:' "$work/lies.log")"
fi
e2e_finish
