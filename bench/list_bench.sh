#!/usr/bin/env bash
# A list of NODES nodes (1,000,000 unless given) through the XDR code of
# Velorin and of rpcgen for the same type, struct node { int value; struct
# node* next; }: encode, decode and free in one process whose stack is
# limited to STACK_KB (1024 unless given). Not a test: it prints what each
# did, the milliseconds of each step and the peak resident memory. rpcgen's
# code recurses once per node, so it is also run with an unlimited stack,
# for its times.
#
#   bash bench/list_bench.sh            uses ./install (built when missing)
#   VELORIN_PREFIX=dir NODES=200000 STACK_KB=512 bash bench/list_bench.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib.sh"
nodes=${NODES:-1000000}
stack_kb=${STACK_KB:-1024}

bench_installation
bench_workdir

mkdir -p "$work/velorin" "$work/rpcgen"
(
  cd "$work/velorin"
  printf 'struct node {\n\tint value;\n\tstruct node *next;\n};\ninterface lists { int count(in struct node* head); } = 0x30000001;\n' >lists.idl
  "$prefix/bin/Velorin" lists.idl >/dev/null 2>&1
  cc -O2 $tirpc_cflags -I"$prefix/include" -I. -DLIST_HEADER='"lists.h"' -o roundtrip \
    "$top/bench/list_roundtrip.c" lists_xdr.c "$prefix/lib/libvlrpc.a" $tirpc_libs
)
(
  cd "$work/rpcgen"
  printf 'struct node {\n\tint value;\n\tnode *next;\n};\n' >lists.x
  rpcgen -h -o lists.h lists.x && rpcgen -c -o lists_xdr.c lists.x
  cc -O2 $tirpc_cflags -I. -DLIST_HEADER='"lists.h"' -o roundtrip "$top/bench/list_roundtrip.c" lists_xdr.c \
    $tirpc_libs 2>/dev/null
)

# run <program> <stack limit>: one line of the table.
run() {
  local program=$1 stack=$2 out status
  out=$( (ulimit -s "$stack" && "$program" "$nodes") 2>/dev/null) && status=0 || status=$?
  if [ "$status" -eq 0 ]; then
    set -- $out
    printf "%12s %12s %12s %12s %14s\n" "$stack" "$3" "$4" "$5" "$6"
  elif [ "$status" -gt 128 ]; then
    printf "%12s   killed by signal %d\n" "$stack" $((status - 128))
  else
    printf "%12s   failed: %s\n" "$stack" "$out"
  fi
}

echo "== a list of $nodes nodes ($((8 * nodes)) bytes on the wire): encode, decode, free"
printf "%-8s %12s %12s %12s %12s %14s\n" code "stack KiB" "encode ms" "decode ms" "free ms" "peak RSS KiB"
printf "%-8s" Velorin; run "$work/velorin/roundtrip" "$stack_kb"
printf "%-8s" rpcgen; run "$work/rpcgen/roundtrip" "$stack_kb"
printf "%-8s" rpcgen; run "$work/rpcgen/roundtrip" unlimited
