#!/usr/bin/env bash
# Instructions per call that a server spends in user space, Velorin's
# servers against rpcgen servers of the same wire format: the quote call
# over TCP and UDP, calls of 64 KiB and 1 MiB in and back over TCP, and
# the pb interface: int arrays of a 1,000,000 bound carrying 16 KiB, 64 KiB
# and 1 MiB out and inout over TCP, a bounded string in and back and a call
# without data over UDP.
# Not a test: it prints figures for this machine. Needs valgrind.
#
# Each server runs under callgrind twice, for a short and a long run of the
# benchmark's client loop (1000 and 6000 quote, ping and echo calls, 20
# and 120 bulk and array calls unless SHORT_RUN, LONG_RUN, SHORT_BULK and
# LONG_BULK say otherwise); the difference of the two totals over the difference of the
# counts is the cost of one call, without start-up, registration and end.
#
#   bash bench/loop_cost.sh        uses ./install (built when missing)
#   VELORIN_PREFIX=dir bash bench/loop_cost.sh
#   ROWS='out|inout' bash bench/loop_cost.sh   only the rows whose name matches
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib.sh"
command -v valgrind >/dev/null || { echo "valgrind is missing" >&2; exit 1; }
bench_installation
bench_workdir
rpcbind_state=$work/rpcbind.pid
server_pid=""
stop_all() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  bash "$top/tests/support/portmapper.sh" stop "$rpcbind_state" >/dev/null
  rm -rf "$work"
}
trap stop_all EXIT
bash "$top/tests/support/portmapper.sh" start "$rpcbind_state" >/dev/null

prog=$((${VELORIN_BENCH_PROGRAM:-0x200003f4}))
bench_build_velorin_quote "$prefix" "$work/velorin" $prog
bench_build_rpcgen quote_rpcgen "$work/rpcgen" $((prog + 1))
bench_build_velorin_bulk "$prefix" "$work/velorin_bulk" $((prog + 2))
bench_build_rpcgen bulk_rpcgen "$work/rpcgen_bulk" $((prog + 3))
bench_build_velorin "$prefix" "$work/velorin_pb" $((prog + 4)) pb "$top/bench/pb_impl.c" "$top/bench/pb_loop.c"
bench_build_rpcgen pb_rpcgen "$work/rpcgen_pb" $((prog + 5))

# Instructions a server executes while a client loop makes some calls:
#   instructions <server program> <program number> <client command...>
# where the client command takes the program number and the count of
# calls as its last two arguments. Each run writes a callgrind file of its
# own: the function runs in a command substitution, where a counter kept
# in the shell would not last from one run to the next.
instructions() {
  local server=$1 number=$2 out
  shift 2
  out=$(mktemp "$work/callgrind.XXXXXX")
  valgrind --tool=callgrind --callgrind-out-file="$out" "$server" </dev/null >"$out.log" 2>&1 &
  server_pid=$!
  bench_wait_registered "$number" 900
  "${@:1:$#-1}" "$number" "${@: -1}" </dev/null >/dev/null
  kill -TERM "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
  awk '/^summary:/ { print $2 }' "$out"
}

# per_call <short> <long> <server> <program number> <client command...>
per_call() {
  local short=$1 long=$2 a b
  shift 2
  a=$(instructions "$1" "$2" "${@:3}" "$short")
  b=$(instructions "$1" "$2" "${@:3}" "$long")
  echo $(( (b - a) / (long - short) ))
}

# row <name> <short> <long> <client command before the program number...>
row() {
  local name=$1 short=$2 long=$3 kind=$4 v g
  shift 4
  if [ "$kind" = quote ]; then
    v=$(per_call "$short" "$long" "$work/velorin/quote_server" $prog "$@")
    g=$(per_call "$short" "$long" "$work/rpcgen/quote_rpcgen_server" $((prog + 1)) "$@")
  elif [ "$kind" = bulk ]; then
    v=$(per_call "$short" "$long" "$work/velorin_bulk/bulk_server" $((prog + 2)) "$@")
    g=$(per_call "$short" "$long" "$work/rpcgen_bulk/bulk_rpcgen_server" $((prog + 3)) "$@")
  else
    v=$(per_call "$short" "$long" "$work/velorin_pb/pb_server" $((prog + 4)) "$@")
    g=$(per_call "$short" "$long" "$work/rpcgen_pb/pb_rpcgen_server" $((prog + 5)) "$@")
  fi
  printf "%-20s %12s %12s %8s\n" "$name" "$v" "$g" "$(awk -v a="$v" -v b="$g" 'BEGIN{ printf "%.3f", a/b }')"
}

short=${SHORT_RUN:-1000}
long=${LONG_RUN:-6000}
short_bulk=${SHORT_BULK:-20}
long_bulk=${LONG_BULK:-120}
quote_loop() { "$work/velorin/quote_client" 127.0.0.1 "$2" "$1" 0 "$3"; }
bulk_loop() { "$work/velorin_bulk/bulk_client" 127.0.0.1 "$2" "$1" 0 "$3"; }
# pb_loop <transport> <call> <ints> <program number> <calls>
pb_loop() { "$work/velorin_pb/pb_client" 127.0.0.1 "$4" "$1" "$2" "$3" "$5"; }
only=${ROWS:-.}

echo "== user-space instructions per call of the server (callgrind)"
printf "%-20s %12s %12s %8s\n" call Velorin rpcgen ratio
while read -r name count kind call; do
  [[ $name =~ $only ]] || continue
  if [ "$count" = quick ]; then
    row "${name//_/ }" "$short" "$long" $kind $call
  else
    row "${name//_/ }" "$short_bulk" "$long_bulk" $kind $call
  fi
done <<'ROWS'
tcp quick quote quote_loop tcp
udp quick quote quote_loop udp
64_KiB_inout bulk bulk bulk_loop 65536
1_MiB_inout bulk bulk bulk_loop 1048576
out_16_KiB bulk pb pb_loop tcp fill 4096
out_64_KiB bulk pb pb_loop tcp fill 16384
out_1_MiB bulk pb pb_loop tcp fill 262144
inout_16_KiB bulk pb pb_loop tcp twice 4096
inout_64_KiB bulk pb pb_loop tcp twice 16384
inout_1_MiB bulk pb pb_loop tcp twice 262144
udp_echo_str256 quick pb pb_loop udp echo 0
udp_ping quick pb pb_loop udp ping 0
ROWS
