#!/usr/bin/env bash
# From a fresh checkout: installs what is missing, builds Velorin with its
# examples, installs it into ./install, and runs the stock-quote demo: starts
# the portmapper when none runs, starts the quote server, asks it for the
# ticker QRVX and prints the answer, then stops what it started.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" >/dev/null
cmake --build "$top/build" -j "$(nproc 2>/dev/null || echo 4)"
cmake --install "$top/build" --prefix "$top/install" >/dev/null
echo "installed into $top/install"

server=$top/build/examples/quote/quote_server
client=$top/build/examples/quote/quote_client
program=12345

state=$(mktemp)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  bash "$top/tests/support/portmapper.sh" stop "$state"
  rm -f "$state"
}
trap cleanup EXIT

bash "$top/tests/support/portmapper.sh" start "$state"
"$server" &
server_pid=$!
for _ in $(seq 1 100); do
  rpcinfo -t 127.0.0.1 $program 1 >/dev/null 2>&1 && break
  sleep 0.1
done
echo "quote server running, pid $server_pid"
"$client" 127.0.0.1 QRVX
