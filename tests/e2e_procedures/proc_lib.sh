# Steps shared by the tests of generated procedures, on top of the
# end-to-end harness: the compiler on an interface of this folder, a build
# with the generated makefile and -Wall, clients in the background, and
# hand-made requests.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

procs_dir=$VELORIN_SOURCE_DIR/tests/e2e_procedures
# The tests compare what clients print, on both streams: a leak report of
# the sanitizer build shows up there, the list of suppressions used need not.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}print_suppressions=0"
# The system's interpreter when there is one: a version manager's shim in
# front of it can take seconds to start on a busy machine.
if [ -x /usr/bin/python3 ]; then proc_python=/usr/bin/python3; else proc_python=python3; fi

# proc_claim_program <variable>: claims a program number that no other run
# uses (see e2e_claim) and stores it, in decimal, in the variable.
proc_claim_program() {
  e2e_claim program $E2E_PROGRAMS
  printf -v "$1" %d "$claimed"
}

# The hand-made requests need the interpreter; without it the test is
# skipped.
proc_need_python() {
  command -v "$proc_python" >/dev/null || { echo "python3 is not installed"; exit 77; }
}

# proc_build <file base> [make argument...]: builds with the generated
# makefile and the warnings switched on; warnings in the generated C files
# are shown in the log, not counted (their fixed texts draw some). C++, the
# generated class and the clients that bind it with string literals, builds
# without any warning (-Werror). One make job:
# a test that builds several programs at once declares as many processors
# to CTest (see CMakeLists.txt).
proc_build() {
  local base=$1
  shift
  if ! make -f "$base.mak" CFLAGS="-g -Wall $VELORIN_TEST_CC_FLAGS" \
      CXXFLAGS="-g -Wall -Werror $VELORIN_TEST_CC_FLAGS" "$@" >make.log 2>&1; then
    cat make.log >&2
    e2e_abort "make -f $base.mak $* failed"
  fi
  grep 'warning:' make.log | sort -u >&2
}

# proc_compile <directory> <interface> <file base> [Velorin option...]: a
# fresh directory with the interface and the sources named like its base
# (<base>_impl.c, <base>_client.c, ...), the compiler run in it.
proc_compile() {
  local dir=$1 idl=$2 base=$3
  shift 3
  mkdir -p "$work/$dir" && cd "$work/$dir" || e2e_abort "cd $dir"
  cp "$procs_dir/$idl" .
  local src
  for src in "$procs_dir/${base}"*_*.c "$procs_dir/${base}"*_*.cpp; do
    [ -e "$src" ] && cp "$src" .
  done
  e2e_velorin "$idl" "$@"
}

# proc_prepare <directory> <interface> <file base> [Velorin option...]:
# proc_compile and proc_build of the default programs, in the background;
# proc_prepared waits for all of them. Builds are most of a test's time.
proc_prepare_jobs=()
proc_prepare() {
  (proc_compile "$@" && proc_build "$3") >"$work/$1.build.log" 2>&1 &
  proc_prepare_jobs+=("$!:$1")
}

proc_prepared() {
  local job
  for job in "${proc_prepare_jobs[@]}"; do
    if ! wait "${job%%:*}"; then
      cat "$work/${job#*:}.build.log" >&2
      e2e_abort "building ${job#*:} failed"
    fi
    grep 'warning:' "$work/${job#*:}.build.log" | sort -u >&2
  done
  proc_prepare_jobs=()
  cd "$work" || e2e_abort "cd $work"
}

# proc_background <name> <command...>: runs the command in the background,
# its output into <name>.out in the working directory; proc_background_wait
# waits for all of them.
proc_background_jobs=()
proc_background() {
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>&1 &
  proc_background_jobs+=("$!")
}

proc_background_wait() {
  local job
  for job in "${proc_background_jobs[@]}"; do
    wait "$job"
  done
  proc_background_jobs=()
}

# proc_between <what> <low> <high> <value>: low <= value < high.
proc_between() {
  if ! awk -v v="$4" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v < hi) }'; then
    e2e_fail "$1: $4 s, expected at least $2 s and less than $3 s"
  fi
}

# proc_null <tcp|udp> <port> <program> <version>: succeeds when the null
# procedure answers on that port, asked without the portmapper (rpcinfo
# -n still looks the program up there first).
proc_null() {
  timeout 10 "$proc_python" "$procs_dir/rpc_sender.py" null "$@"
}
