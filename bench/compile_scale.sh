#!/usr/bin/env bash
# How Velorin's compile time and memory grow with the interface, against
# rpcgen (Debian package rpcsvc-proto). Not a test: it prints figures for
# this machine.
#
#  1. Interfaces of n structs and n procedures (n = 1000, 10000 and 50000
#     unless SIZES names others): CPU time (user and system, the
#     preprocessor included), the time per item (one struct and one
#     procedure) and the peak memory, for Velorin and for rpcgen on an
#     equivalent .x file. Velorin's procedures take a struct in and give one
#     back out; rpcgen's take one and return one.
#  2. A struct of 40000 members, against rpcgen.
#  3. Declarators of many levels: a struct member with 10000 array
#     dimensions, a typedef of 9990 pointer levels (the deepest the
#     parser's stack takes: each prefix holds a place on it) and a typedef
#     of 4000 fixed-array dimensions that a procedure takes, whose 4000
#     element types each carry the name of their element in their own
#     (names of up to 20000 characters, 670 MB of generated files).
#     rpcgen's language has no such declarators.
#
#   bash bench/compile_scale.sh          uses ./install (built when missing)
#   VELORIN_PREFIX=dir ROUNDS=3 RPCGEN_ROUNDS=1 SIZES="1000 10000" bash bench/compile_scale.sh
#
# Each figure is the run of least CPU time among ROUNDS runs (3; rpcgen,
# whose time grows with the square of n, RPCGEN_ROUNDS runs, 1), with the
# peak resident memory of that run. Structs are named by their tags: the
# table of declared types holds 1024 entries, and tags are found without it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib.sh"
rounds=${ROUNDS:-3}
rpcgen_rounds=${RPCGEN_ROUNDS:-1}
sizes=${SIZES:-"1000 10000 50000"}

bench_installation
if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: install the package time" >&2
  exit 1
fi
bench_workdir

make_idl() {
  awk -v n="$1" 'BEGIN {
    for (i = 1; i <= n; i++) printf "struct S%d { int a; double b; char tag[8]; };\n", i
    print "interface big {"
    for (i = 1; i <= n; i++) printf "  int p%d(in struct S%d* a, out struct S%d* b);\n", i, i, i
    print "} = 0x30000000;"
  }'
}
make_x() {
  awk -v n="$1" 'BEGIN {
    for (i = 1; i <= n; i++) printf "struct S%d { int a; double b; opaque tag[8]; };\n", i
    print "program BIG { version BIG_V1 {"
    for (i = 1; i <= n; i++) printf "  S%d P%d(S%d) = %d;\n", i, i, i, i
    print "} = 1; } = 0x30000000;"
  }'
}
# A struct of n int members passed to one procedure.
make_wide_idl() {
  awk -v n="$1" 'BEGIN {
    print "struct W {"; for (i = 0; i < n; i++) printf "  int m%d;\n", i; print "};"
    print "interface wide { int f(in struct W* w); } = 0x30000002;"
  }'
}
make_wide_x() {
  awk -v n="$1" 'BEGIN {
    print "struct W {"; for (i = 0; i < n; i++) printf "  int m%d;\n", i; print "};"
    print "program WIDE { version WIDE_V1 { int F(W) = 1; } = 1; } = 0x30000002;"
  }'
}
# A declarator of n levels: array dimensions of a member or of a typedef,
# or pointer prefixes.
make_deep() {
  awk -v n="$2" -v kind="$1" 'BEGIN {
    if (kind == "array") {
      printf "struct deep { int a"; for (i = 0; i < n; i++) printf "[2]"; print "; };"
    } else if (kind == "typedef-array") {
      printf "typedef int A"; for (i = 0; i < n; i++) printf "[2]"; print ";"
      print "interface deep { int f(in A a); } = 0x30000001;"
      exit
    } else {
      printf "typedef int "; for (i = 0; i < n; i++) printf "*"; print " P;"
      print "struct deep { P p; };"
    }
    print "interface deep { int f(); } = 0x30000001;"
  }'
}

# "cpu-seconds peak-kilobytes" of the run of least CPU time among $1 runs
# of a command in the current directory; the command must succeed.
measure() {
  local runs=$1 best="" line
  shift
  for _ in $(seq 1 "$runs"); do
    if ! /usr/bin/time -f "%U %S %M" -o "$work/time.txt" "$@" >"$work/run.log" 2>&1; then
      cat "$work/run.log" >&2
      echo "failed: $*" >&2
      exit 1
    fi
    line=$(awk '{ printf "%.2f %d", $1 + $2, $3 }' "$work/time.txt")
    if [ -z "$best" ] || awk -v a="${line% *}" -v b="${best% *}" 'BEGIN{ exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}

echo "== compile time and peak memory of n structs and n procedures"
echo "   (CPU seconds, the least of $rounds runs for Velorin and of $rpcgen_rounds for rpcgen)"
printf "%-7s %10s %12s %10s %12s %12s %12s %8s\n" n "Velorin s" "Velorin us/n" "Velorin MB" \
  "rpcgen s" "rpcgen us/n" "rpcgen MB" ratio
first_per_item=""
last_per_item=""
for n in $sizes; do
  d=$work/size$n
  mkdir -p "$d/velorin" "$d/rpcgen"
  make_idl "$n" >"$d/velorin/big.idl"
  make_x "$n" >"$d/rpcgen/big.x"
  # A first run leaves the makefile, which later runs only find there; it
  # also checks the output.
  (cd "$d/velorin" && "$prefix/bin/Velorin" big.idl >velorin.log 2>&1) || true
  if ! grep -qw "p${n}_wrap" "$d/velorin/big_cln.c" 2>/dev/null; then
    cat "$d/velorin/velorin.log" >&2
    echo "Velorin failed on the interface of size $n" >&2
    exit 1
  fi
  result=$(cd "$d/velorin" && measure "$rounds" "$prefix/bin/Velorin" big.idl)
  set -- $result
  v=$1 vkb=$2
  result=$(cd "$d/rpcgen" && measure "$rpcgen_rounds" rpcgen big.x)
  set -- $result
  g=$1 gkb=$2
  per_item=$(awk -v t="$v" -v n="$n" 'BEGIN{ printf "%.1f", t * 1e6 / n }')
  [ -n "$first_per_item" ] || first_per_item=$per_item
  last_per_item=$per_item
  printf "%-7s %10s %12s %10s %12s %12s %12s %8s\n" "$n" "$v" "$per_item" \
    "$(awk -v k="$vkb" 'BEGIN{ printf "%.0f", k / 1024 }')" "$g" \
    "$(awk -v t="$g" -v n="$n" 'BEGIN{ printf "%.1f", t * 1e6 / n }')" \
    "$(awk -v k="$gkb" 'BEGIN{ printf "%.0f", k / 1024 }')" \
    "$(awk -v a="$v" -v b="$g" 'BEGIN{ if (b == 0) b = 0.01; printf "%.2f", a / b }')"
done
echo "   (ratio: Velorin's time over rpcgen's; us/n: CPU microseconds per struct and procedure)"
awk -v a="$first_per_item" -v b="$last_per_item" 'BEGIN{
  printf "   time per item, largest n over smallest: %.2f (linear within 1.5x: %s)\n", b / a,
    (b <= 1.5 * a ? "yes" : "no") }'

echo
echo "== a struct of 40000 members (CPU seconds, the least of $rounds runs)"
d=$work/wide
mkdir -p "$d"
make_wide_idl 40000 >"$d/wide.idl"
make_wide_x 40000 >"$d/wide.x"
result=$(cd "$d" && measure "$rounds" "$prefix/bin/Velorin" wide.idl)
set -- $result
v=$1 vkb=$2
result=$(cd "$d" && measure "$rounds" rpcgen wide.x)
set -- $result
printf "%-24s %10s %10s %12s %12s\n" "" "Velorin s" "Velorin MB" "rpcgen s" "rpcgen MB"
printf "%-24s %10s %10s %12s %12s\n" "40000 members" "$v" "$(awk -v k="$vkb" 'BEGIN{ printf "%.0f", k / 1024 }')" \
  "$1" "$(awk -v k="$2" 'BEGIN{ printf "%.0f", k / 1024 }')"

echo
echo "== declarators of many levels (CPU seconds, the least of $rounds runs)"
printf "%-28s %10s %10s\n" declarator "Velorin s" "Velorin MB"
for deep in "array 10000" "pointer 9990" "typedef-array 4000"; do
  set -- $deep
  d=$work/deep_$1
  mkdir -p "$d"
  make_deep "$1" "$2" >"$d/deep.idl"
  result=$(cd "$d" && measure "$rounds" "$prefix/bin/Velorin" deep.idl)
  set -- $deep $result
  printf "%-28s %10s %10s\n" "$2 $1 levels" "$3" "$(awk -v k="$4" 'BEGIN{ printf "%.0f", k / 1024 }')"
  rm -rf "$d"
done
