# Shared steps of the end-to-end tests: the installed compiler on an
# interface file in a fresh directory, a build with the makefile it writes,
# servers started on this host and stopped again, and checks of what the
# programs print.
#
# The environment names the installation (VELORIN_TEST_PREFIX), the flags to
# build generated C with (VELORIN_TEST_CC_FLAGS) and the source tree
# (VELORIN_SOURCE_DIR). Source this file, then call e2e_setup.
set -u

: "${VELORIN_TEST_PREFIX:?the installation to test}"
: "${VELORIN_SOURCE_DIR:?the source tree}"
VELORIN_TEST_CC_FLAGS=${VELORIN_TEST_CC_FLAGS:-}

e2e_failures=0
e2e_server_pids=()

e2e_fail() {
  echo "FAIL: $*" >&2
  e2e_failures=$((e2e_failures + 1))
}

# Ends the test at once, e.g. when a build step fails.
e2e_abort() {
  echo "ABORT: $*" >&2
  exit 1
}

# A fresh working directory, removed at the end (kept when E2E_KEEP is set).
# HOME points there too, so that no per-user configuration of whoever runs
# the tests takes part.
e2e_setup() {
  work=$(mktemp -d "/tmp/velorin-e2e-$1.XXXXXX") || e2e_abort "no temporary directory"
  export HOME=$work
  trap e2e_cleanup EXIT
  cd "$work" || e2e_abort "cd $work"
}

e2e_cleanup() {
  local status=$?
  e2e_stop_servers
  if [ "$status" -eq 0 ] && [ "$e2e_failures" -ne 0 ]; then
    status=1
  fi
  if [ -n "${E2E_KEEP:-}" ]; then
    echo "kept $work" >&2
  else
    cd / && rm -rf "$work"
  fi
  exit "$status"
}

# The test's result: 0 when every check passed.
e2e_finish() {
  if [ "$e2e_failures" -ne 0 ]; then
    echo "$e2e_failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# The compiler keeps its model to the end of the run by design, so a
# sanitizer build checks it for everything but leaks. Runs a command so.
e2e_without_leak_check() {
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$@"
}

# e2e_velorin <interface file> [option...]: runs the installed compiler in
# the current directory; its output goes to velorin.log.
e2e_velorin() {
  local idl=$1
  shift
  if ! e2e_without_leak_check "$VELORIN_TEST_PREFIX/bin/Velorin" "$@" "$idl" >velorin.log 2>&1; then
    cat velorin.log >&2
    e2e_abort "Velorin $idl failed"
  fi
}

# e2e_make <file base> [make argument...]: builds with the generated
# makefile, with the test build's flags; the output goes to make.log. The
# makefile may run the compiler again.
e2e_make() {
  local base=$1
  shift
  if ! e2e_without_leak_check make -f "$base.mak" CFLAGS="-g $VELORIN_TEST_CC_FLAGS" CXXFLAGS="-g $VELORIN_TEST_CC_FLAGS" \
      "$@" >make.log 2>&1; then
    cat make.log >&2
    e2e_abort "make -f $base.mak failed"
  fi
}

# e2e_start_server <name> <directory> <ready check> <command...>: starts the
# server in the directory, its output into <name>.log, and waits until the
# ready check (a command) succeeds.
e2e_start_server() {
  local name=$1 dir=$2 ready=$3
  shift 3
  (cd "$dir" && exec "$@") >"$work/$name.log" 2>&1 &
  local pid=$!
  e2e_server_pids+=("$pid")
  local i
  for i in $(seq 1 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
      cat "$work/$name.log" >&2
      e2e_abort "server $name ended at start"
    fi
    if eval "$ready" >/dev/null 2>&1; then
      kill -0 "$pid" 2>/dev/null && return 0
    fi
    sleep 0.1
  done
  cat "$work/$name.log" >&2
  e2e_abort "server $name did not get ready"
}

# Checks that every server started here still runs (none crashed).
e2e_servers_alive() {
  local pid
  for pid in "${e2e_server_pids[@]}"; do
    kill -0 "$pid" 2>/dev/null || e2e_fail "server $pid is gone"
  done
}

# Stops every server started here, with the processes it forked (a server
# that forks per connection serves its clients from its children).
e2e_stop_servers() {
  local pid children
  for pid in "${e2e_server_pids[@]}"; do
    children=$(ps -o pid= --ppid "$pid")
    kill "$pid" 2>/dev/null
    [ -n "$children" ] && kill $children 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  e2e_server_pids=()
}

# Ready checks: a null call of the program over TCP and UDP, through the
# portmapper or on a fixed port without it.
e2e_registered() { echo "rpcinfo -t 127.0.0.1 $1 $2 && rpcinfo -u 127.0.0.1 $1 $2"; }
e2e_on_port() { echo "rpcinfo -n $1 -t 127.0.0.1 $2 $3 && rpcinfo -n $1 -u 127.0.0.1 $2 $3"; }

# Program numbers and ports of the tests. The same tests may run at the same
# time from several build trees on this host, so each run claims the numbers
# it uses: a lock on a file per number, which goes with the process that
# holds it, also when it is killed.
# The first numbers of the range 0x20000300... are left to earlier versions
# of these tests, which used fixed ones. The ports lie below the system's
# range of ephemeral ports (32768 and up), so that no client's local port
# can take one while its server starts.
E2E_PROGRAMS="$((0x20000340)) $((0x200003ef))"
E2E_PORTS="31220 31299"
E2E_CLAIMS=/tmp/velorin-e2e-claims

# e2e_claim <kind> <first> <last>: sets claimed to the first number of the
# range that no other run holds and holds it until this test ends.
e2e_claim() {
  local kind=$1 first=$2 last=$3 n fd
  mkdir -p "$E2E_CLAIMS" 2>/dev/null
  for ((n = first; n <= last; n++)); do
    exec {fd}>>"$E2E_CLAIMS/$kind-$n" || continue
    if flock -n "$fd"; then
      claimed=$n
      [ "$kind" = program ] && e2e_forget_program "$n"
      return 0
    fi
    exec {fd}>&-
  done
  e2e_abort "no free $kind in $first..$last"
}

# e2e_forget_program <number>: removes what earlier runs left in the
# portmapper under the number (a killed server never unregisters): a claimed
# number is this test's alone, and the portmapper answers a lookup of one
# version with the port of any other version it holds.
e2e_forget_program() {
  local version
  for version in $(rpcinfo -p 127.0.0.1 2>/dev/null | awk -v p="$1" '$1 == p { print $2 }' | sort -u); do
    rpcinfo -d "$1" "$version" >/dev/null 2>&1
  done
}

# e2e_claim_program, e2e_claim_port: set program, or port, to a claimed one.
e2e_claim_program() {
  e2e_claim program $E2E_PROGRAMS
  program=$claimed
}
e2e_claim_port() {
  e2e_claim port $E2E_PORTS
  port=$claimed
}

# e2e_wait_claim <kind> <number>: waits for a fixed number that every run
# uses (at most two minutes).
e2e_wait_claim() {
  local fd
  mkdir -p "$E2E_CLAIMS" 2>/dev/null
  exec {fd}>>"$E2E_CLAIMS/$1-$2" || e2e_abort "no claim file for $1 $2"
  flock -w 120 "$fd" || e2e_abort "$1 $2 stayed taken"
}

# e2e_expect <what> <expected> <actual>
e2e_expect() {
  if [ "$2" != "$3" ]; then
    e2e_fail "$1"
    echo "--- expected" >&2
    printf '%s\n' "$2" >&2
    echo "--- got" >&2
    printf '%s\n' "$3" >&2
  fi
}

# e2e_expect_contains <what> <text> <haystack>
e2e_expect_contains() {
  case "$3" in
  *"$2"*) ;;
  *)
    e2e_fail "$1: no \"$2\" in"
    printf '%s\n' "$3" >&2
    ;;
  esac
}

# e2e_build_rfile <port> <program number>: the remote-file server and the
# client filemate in the current directory, for the given port and program.
e2e_build_rfile() {
  local examples=$VELORIN_SOURCE_DIR/examples/rfile
  cp "$examples/rfile.idl" "$examples/rfileserver.c" "$examples/filemate.cpp" .
  e2e_velorin rfile.idl -DRFILE_SERVER_PORT="$1" -DRFILE_PROGRAM_NUMBER="$2"
  e2e_make rfile IMPL_SRCS=rfileserver.c CLIENT_SRCS= CXX_CLIENT_SRCS=filemate.cpp CXX_CLIENT=filemate
  [ -x rfile_server ] && [ -x filemate ] || e2e_abort "make built no rfile_server and filemate"
}

# e2e_start_rfile <port> <program number> <served directory>
e2e_start_rfile() {
  e2e_start_server rfile "$3" "$(e2e_on_port "$1" "$2" 5)" "$work/rfile_server"
}
