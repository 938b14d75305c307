#!/usr/bin/env bash
# From a fresh checkout: installs what is missing, builds Velorin and
# installs it into ./install, then shows the stock-quote example the way a
# programmer builds it: the installed compiler on the interface file, the
# generated makefile, the server registered with the portmapper, and the
# client asking it for the quote of "QRVX".
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
prefix=$top/install

bash "$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$(nproc 2>/dev/null || echo 4)" >/dev/null
cmake --install "$top/build" --prefix "$prefix" >/dev/null
echo "Velorin installed into $prefix"

work=$(mktemp -d /tmp/velorin-demo.XXXXXX)
rpcbind_state=$work/rpcbind.pid
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  # Stops the portmapper only when it was started here.
  bash "$top/tests/support/portmapper.sh" stop "$rpcbind_state" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

bash "$top/tests/support/portmapper.sh" start "$rpcbind_state"

# The installation of this checkout, whatever a per-user configuration says.
export VELORIN_HOME=$prefix
cd "$work"
cp "$top/examples/quote/quote.idl" .
cp "$top/examples/quote/tickerimpl.c" quote_impl.c
cp "$top/examples/quote/tickercaller.c" quote_client.c
"$prefix/bin/Velorin" quote.idl >velorin.log 2>&1 || { cat velorin.log >&2; exit 1; }
make -s -f quote.mak >make.log 2>&1 || { cat make.log >&2; exit 1; }
echo "quote server and client built in $work with quote.mak"

./quote_server >server.log 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  rpcinfo -t 127.0.0.1 12345 1 >/dev/null 2>&1 && break
  kill -0 "$server_pid" 2>/dev/null || { cat server.log >&2; echo "the quote server ended" >&2; exit 1; }
  sleep 0.1
done

echo "$ ./quote_client 127.0.0.1 QRVX"
./quote_client 127.0.0.1 QRVX
