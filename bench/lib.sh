# Steps that the benchmark scripts share; sourced, with `top` set to the
# source tree.

# bench_installation: sets prefix to VELORIN_PREFIX or ./install, where
# Velorin is built (RelWithDebInfo) and installed when it is missing; ends
# the script when rpcgen is missing.
bench_installation() {
  prefix=${VELORIN_PREFIX:-$top/install}
  if [ ! -x "$prefix/bin/Velorin" ]; then
    echo "building and installing Velorin into $prefix"
    cmake -S "$top" -B "$top/build-bench" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$top/build-bench" -j "$(nproc 2>/dev/null || echo 4)" >/dev/null
    cmake --install "$top/build-bench" --prefix "$prefix" >/dev/null
  fi
  command -v rpcgen >/dev/null || { echo "rpcgen is missing: install the package rpcsvc-proto" >&2; exit 1; }
}

# bench_workdir: sets work to a fresh directory removed when the script
# ends, points Velorin's configuration at the installation only (not at a
# per-user file of whoever runs this) and sets the libtirpc flags.
bench_workdir() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME=$work
  export VELORIN_HOME=$prefix
  tirpc_cflags=$(pkg-config --cflags libtirpc)
  tirpc_libs=$(pkg-config --libs libtirpc)
}

# bench_build_velorin <installation> <directory> <program number> <base>
# <implementation> <client loop>: the server of interface <base>.idl (from
# examples/quote or bench) and the client loop, generated and built (-O2) by
# that installation in the directory: <base>_server and <base>_client.
bench_build_velorin() {
  local idl=$top/bench/$4.idl
  [ -e "$idl" ] || idl=$top/examples/$4/$4.idl
  mkdir -p "$2"
  (
    cd "$2"
    cp "$idl" "$5" "$6" .
    VELORIN_HOME=$1 "$1/bin/Velorin" -D${4^^}_PROGRAM_NUMBER=$3 $4.idl >/dev/null 2>&1
    make -s -f $4.mak IMPL_SRCS=$(basename "$5") CLIENT_SRCS=$(basename "$6") CFLAGS=-O2 >/dev/null
  )
}

# bench_build_velorin_quote <installation> <directory> <program number>.
bench_build_velorin_quote() {
  bench_build_velorin "$1" "$2" "$3" quote "$top/examples/quote/tickerimpl.c" "$top/bench/call_loop.c"
}

# bench_build_velorin_bulk <installation> <directory> <program number>.
bench_build_velorin_bulk() {
  bench_build_velorin "$1" "$2" "$3" bulk "$top/bench/bulk_impl.c" "$top/bench/bulk_loop.c"
}

# bench_build_rpcgen <name> <directory> <program number>: the rpcgen server
# of bench/<name>.x with bench/<name>_impl.c, built -O2: <name>_server.
bench_build_rpcgen() {
  mkdir -p "$2"
  (
    cd "$2"
    sed "s/= 0x20000000;/= $3;/" "$top/bench/$1.x" > $1.x
    cp "$top/bench/$1_impl.c" .
    rpcgen $1.x
    cc -O2 $tirpc_cflags -o $1_server $1_svc.c $1_xdr.c $1_impl.c $tirpc_libs 2>/dev/null
  )
}

# bench_wait_registered <program number> [tenths of a second]: waits until
# the program answers over TCP and UDP (10 s unless given); ends the script
# when it does not.
bench_wait_registered() {
  for _ in $(seq 1 "${2:-100}"); do
    rpcinfo -t 127.0.0.1 "$1" 1 >/dev/null 2>&1 && rpcinfo -u 127.0.0.1 "$1" 1 >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "server $1 did not register" >&2
  exit 1
}
