#!/usr/bin/env bash
# The process models and timeouts of generated servers and clients: calls
# in place, forked per call (FORK_ON_CALL, THREAD_ON_CALL), answered before
# they run (NON_BLOCKING), servers that fork per connection (per datagram
# when they have no TCP transport), and the client timeouts of the stubs
# (TIMEOUT_VALUE) and of the class (the object's own timeout). Whether two calls overlap is seen by the calls
# themselves (see slow.idl), so a busy machine does not change the answers.
source "$(dirname "$0")/proc_lib.sh"

e2e_setup slow
proc_claim_program prog
proc_claim_program conn_prog
proc_claim_program dgram_prog
proc_prepare calls slow.idl slow -DSLOW_PROGRAM_NUMBER=$prog
proc_prepare connection slow.idl slow -DSLOW_PROGRAM_NUMBER=$conn_prog -DSLOW_FORK_ON_CONNECTION
proc_prepare datagram slow.idl slow -DSLOW_PROGRAM_NUMBER=$dgram_prog -DSLOW_FORK_ON_CONNECTION \
  -DSLOW_TRANSPORT=udp
proc_prepared

e2e_start_server calls "$work/calls" "$(e2e_registered $prog 1)" ./slow_server
server=${e2e_server_pids[-1]}
e2e_start_server connection "$work/connection" "$(e2e_registered $conn_prog 1)" ./slow_server
conn_server=${e2e_server_pids[-1]}
e2e_start_server datagram "$work/datagram" "rpcinfo -u 127.0.0.1 $dgram_prog 1" ./slow_server
dgram_server=${e2e_server_pids[-1]}
calls_client=$work/calls/slow_client
conn_client=$work/connection/slow_client
dgram_client=$work/datagram/slow_client

# ran_in <server or child> <server pid> <client output> <what>: the call
# succeeded and ran in the server itself, or in another process.
ran_in() {
  local pid
  pid=$(sed -n 's/^result \([0-9]*\) seen .* status 0$/\1/p' <<<"$3")
  if [ -z "$pid" ]; then
    e2e_fail "$4: the call failed: $3"
  elif [ "$1" = server ] && [ "$pid" != "$2" ]; then
    e2e_fail "$4: ran in process $pid, not in the server $2"
  elif [ "$1" = child ] && [ "$pid" = "$2" ]; then
    e2e_fail "$4: ran in the server itself, not in a child"
  fi
}

seen_of() { sed -n 's/^result .* seen \(-\{0,1\}[0-9]*\) status .*/\1/p' "$work/$1.out"; }
elapsed_of() { sed -n 's/^elapsed //p' "$work/$1.out" | awk '{ printf "%.2f", $1 / 1000 }'; }

# Where each call runs.
key=1
for proto in tcp udp; do
  for proc in nap forked_nap threaded_nap; do
    where=child
    [ $proc = nap ] && where=server
    ran_in $where $server "$(timeout 20 "$calls_client" 127.0.0.1 $proto $proc $key 0)" "$proc over $proto"
    key=$((key + 1))
  done
done
ran_in child $conn_server "$(timeout 20 "$conn_client" 127.0.0.1 tcp nap $key 0)" \
  "nap on a TCP connection of the server that forks per connection"
ran_in server $conn_server "$(timeout 20 "$conn_client" 127.0.0.1 udp nap $((key + 1)) 0)" \
  "nap over UDP to the server that forks per connection (it has a TCP transport)"
ran_in child $dgram_server "$(timeout 20 "$dgram_client" 127.0.0.1 udp nap $((key + 2)) 0)" \
  "nap over UDP to a server without TCP that forks per connection"

# Two calls of the same key at once: both see each other when the call, or
# the connection, has a process of its own.
# name | client | protocol | procedure | key
pairs="forked_tcp|$calls_client|tcp|forked_nap|101
forked_udp|$calls_client|udp|forked_nap|102
threaded|$calls_client|tcp|threaded_nap|103
per_connection|$conn_client|tcp|nap|104"
while IFS='|' read -r name client proto proc key; do
  proc_background "$name.1" timeout 90 "$client" 127.0.0.1 $proto $proc $key 40000
  proc_background "$name.2" timeout 90 "$client" 127.0.0.1 $proto $proc $key 40000
done <<<"$pairs"
# Timeouts, meanwhile: impatient_nap is forked, so the server stays free.
# The stub gives up after TIMEOUT_VALUE (1 s); the class ignores it and
# uses the object's timeout, which stops one call (2 s) and lets another
# end (30 s). The calls that must time out nap far longer than their
# timeouts and are let go on afterwards; the one that must end naps 2 s,
# beyond TIMEOUT_VALUE and far within the object's timeout.
proc_background stub_timeout timeout 90 "$calls_client" 127.0.0.1 tcp impatient_nap 201 60000
proc_background class_timeout timeout 90 "$work/calls/slow_cxx_client" 127.0.0.1 2 202 60000
proc_background class_in_time timeout 90 "$work/calls/slow_cxx_client" 127.0.0.1 30 203 2000
proc_background_wait
# The mark of a second nap ends the naps whose callers gave up.
touch "$work/calls/meet.201.2" "$work/calls/meet.202.2"

while IFS='|' read -r name client proto proc key; do
  e2e_expect "$name: what two calls at once saw" "2 2" "$(seen_of "$name.1") $(seen_of "$name.2")"
done <<<"$pairs"
e2e_expect "stub timeout" "result 0 seen -1 status 5" "$(head -1 "$work/stub_timeout.out")"
proc_between "stub timeout" 0.9 20 "$(elapsed_of stub_timeout)"
e2e_expect "class timeout" "result 0 seen -1 status 5" "$(head -1 "$work/class_timeout.out")"
proc_between "class timeout" 1.9 20 "$(elapsed_of class_timeout)"
ran_in child $server "$(head -1 "$work/class_in_time.out")" "class call within its timeout"

# In place the calls take turns: the first waits alone. So they do in the
# server without TCP that forks per datagram, whose main loop waits for
# each child to serve its datagram.
turns="in_place|$calls_client|nap|301
per_datagram|$dgram_client|nap|302"
while IFS='|' read -r name client proc key; do
  proc_background "$name.1" timeout 30 "$client" 127.0.0.1 udp $proc $key 1000
  proc_background "$name.2" timeout 30 "$client" 127.0.0.1 udp $proc $key 1000
done <<<"$turns"
proc_background_wait
while IFS='|' read -r name client proc key; do
  e2e_expect "$name: what two calls saw" "1 2" \
    "$(printf '%s\n' "$(seen_of "$name.1")" "$(seen_of "$name.2")" | sort | xargs)"
done <<<"$turns"

# The early reply comes while the procedure still waits to be let go on,
# with the zeroed result; the procedure goes on afterwards.
e2e_expect "early reply" "result 0 seen -1 status 0" \
  "$(timeout 90 "$calls_client" 127.0.0.1 tcp early 0 40000 | head -1)"
[ -e "$work/calls/early.done" ] && e2e_fail "the early procedure had ended before its reply"
touch "$work/calls/early.release"
for _ in $(seq 1 300); do
  [ -e "$work/calls/early.done" ] && break
  sleep 0.1
done
[ -e "$work/calls/early.done" ] || e2e_fail "the early procedure did not go on after its reply"

# Every child has ended and was reaped; the servers still serve.
children_left() { ps -o pid=,stat=,args= --ppid "$1"; }
for _ in $(seq 1 300); do
  [ -z "$(children_left $server)$(children_left $conn_server)$(children_left $dgram_server)" ] && break
  sleep 0.1
done
e2e_expect "children left behind" "" \
  "$(children_left $server)$(children_left $conn_server)$(children_left $dgram_server)"
ran_in server $server "$(timeout 20 "$calls_client" 127.0.0.1 udp nap 401 0)" "nap at the end"
e2e_servers_alive
e2e_finish
