#!/usr/bin/env bash
# Heap taken by decoding, Velorin's generated code against rpcgen's for the
# same bytes (heap_decode.c says what is measured). Not a test: it prints
# figures. Part of bench.sh; also runs alone:
#
#   bash bench/heap.sh             uses ./install (built when missing)
#   VELORIN_PREFIX=dir bash bench/heap.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib.sh"
bench_installation
bench_workdir
cp "$top/bench/heap.idl" "$top/bench/heap_rpcgen.x" "$top/bench/heap_decode.c" "$work"
cd "$work"
"$prefix/bin/Velorin" heap.idl >velorin.log 2>&1 || { cat velorin.log >&2; exit 1; }
rpcgen -h -o heap_rpcgen.h heap_rpcgen.x
rpcgen -c -o heap_rpcgen_xdr.c heap_rpcgen.x
cc -O2 $tirpc_cflags -I"$prefix/include" -o velorin_heap heap_decode.c heap_xdr.c "$prefix/lib/libvlrpc.a" \
  $tirpc_libs
cc -O2 $tirpc_cflags -DRPCGEN -o rpcgen_heap heap_decode.c heap_rpcgen_xdr.c $tirpc_libs 2>/dev/null

# rpcgen's decoder follows the list's next pointers recursively.
ulimit -s 65536
read -r _ vlist _ vwide _ < <(./velorin_heap)
read -r _ glist _ gwide _ < <(./rpcgen_heap)
kib() { awk -v b="$1" 'BEGIN { printf "%.0f KiB", b / 1024 }'; }
echo
echo "== heap used to decode"
printf "%-40s %14s %14s %8s\n" "" Velorin rpcgen ratio
printf "%-40s %14s %14s %8s\n" "list of 20,000 entries, 1-byte names" "$(kib "$vlist")" "$(kib "$glist")" \
  "$(awk -v a="$vlist" -v b="$glist" 'BEGIN { printf "%.2f", a / b }')"
printf "%-40s %14s %14s %8s\n" "12 bytes announcing 2^26 ints (peak)" "$(kib "$vwide")" "$(kib "$gwide")" \
  "$(awk -v a="$vwide" -v b="$gwide" 'BEGIN { printf "%.4f", a / b }')"
