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
