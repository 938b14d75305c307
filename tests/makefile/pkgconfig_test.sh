#!/usr/bin/env bash
# The installed pkg-config file: the CMake build of the quote server that
# the README shows, run on the generated sources, and a build by hand with
# pkg-config's flags. Both servers must start and answer a null call.
source "$VELORIN_SOURCE_DIR/tests/e2e/lib.sh"

e2e_setup pkgconfig
command -v pkg-config >/dev/null || { echo "pkg-config is not installed"; exit 77; }
export PKG_CONFIG_PATH="$VELORIN_TEST_PREFIX/lib/pkgconfig"
e2e_expect "include directory" "$(realpath "$VELORIN_TEST_PREFIX/include")" \
  "$(realpath "$(pkg-config --variable=includedir velorin)")"
e2e_expect_contains "flags" "include" "$(pkg-config --cflags velorin)"
e2e_expect_contains "library" "-lvlrpc" "$(pkg-config --libs velorin)"
pkg-config --print-requires velorin | grep -qx libtirpc || e2e_fail "libtirpc is not a requirement"

e2e_claim_program
cp "$VELORIN_SOURCE_DIR/examples/quote/quote.idl" "$VELORIN_SOURCE_DIR/examples/quote/tickerimpl.c" .
e2e_velorin quote.idl -DQUOTE_PROGRAM_NUMBER="$program"

# The README's example, as it stands there.
sed -n '/^```cmake$/,/^```$/p' "$VELORIN_SOURCE_DIR/README.md" | sed '1d;$d' >CMakeLists.txt
grep -q pkg_check_modules CMakeLists.txt || e2e_abort "no CMake example in the README"
cmake -S . -B build -DCMAKE_C_COMPILER="$VELORIN_TEST_CC" -DCMAKE_C_FLAGS="$VELORIN_TEST_CC_FLAGS" \
  >cmake.log 2>&1 && cmake --build build >>cmake.log 2>&1 || { cat cmake.log >&2; e2e_abort "the CMake build failed"; }
[ -x build/quote_server ] || e2e_abort "CMake built no quote_server"

# By hand, with nothing but pkg-config's flags.
mkdir -p byhand
for src in quote_svc.c quote_xdr.c tickerimpl.c; do
  "$VELORIN_TEST_CC" $VELORIN_TEST_CC_FLAGS $(pkg-config --cflags velorin) -I. -c -o "byhand/${src%.c}.o" "$src" ||
    e2e_abort "cc $src failed"
done
"$VELORIN_TEST_CC" $VELORIN_TEST_CC_FLAGS -o byhand/quote_server byhand/*.o $(pkg-config --libs velorin) ||
  e2e_abort "linking with pkg-config's flags failed"

for server in build byhand; do
  e2e_start_server "$server" "$work" "$(e2e_registered "$program" 1)" "$work/$server/quote_server"
  e2e_stop_servers
  e2e_forget_program "$program"
done

e2e_finish
