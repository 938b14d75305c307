#!/usr/bin/env bash
# The makefile that the installed compiler leaves: named after the last
# version of a program with two, its six variable lines and the installed
# template byte for byte, left alone by a later run, and good for building
# the server from the generated implementation template. Then the habits of
# a make user: flags on the command line that add to the build's own, an
# installation whose path holds a blank, and a server implemented in C++,
# each built and called.
source "$VELORIN_SOURCE_DIR/tests/e2e/lib.sh"

e2e_setup makefile
cat >twov.idl <<'IDL'
program twov {
	version first {
		void f1(in int a);
	} = 1;
	version second {
		void f2(in int a);
		void g2();
	} = 2;
} = 0x20000320;
IDL
e2e_without_leak_check "$VELORIN_TEST_PREFIX/bin/Velorin" twov.idl >out.log 2>err.log || e2e_abort "Velorin failed: $(cat err.log)"

[ -e twov1.mak ] && e2e_fail "a makefile for the first version"
[ -f twov2.mak ] || e2e_abort "no makefile twov2.mak"
e2e_expect_contains "report" "Makefile twov2.mak generated." "$(cat out.log)"
e2e_expect "variable lines" "CC=cc
APP=twov
IDLFILE=twov.idl
FILE_PREFIX=twov2
$(grep '^SYS_LDFLAGS=' "$VELORIN_TEST_PREFIX/Velorin.init")" "$(head -5 twov2.mak)"
home=$(sed -n 6p twov2.mak)
e2e_expect "installation" "$(realpath "$VELORIN_TEST_PREFIX")" "$(realpath "${home#VELORIN_HOME=}")"
tail -n +7 twov2.mak | cmp -s - "$VELORIN_TEST_PREFIX/data/makefile.tml" ||
  e2e_fail "the template is not copied unchanged"

# The server of the last version, from the template of its procedures.
cp twov2_impl_tmp.c twov2_impl.c
e2e_make twov2
[ -x twov_server ] || e2e_fail "no server built"

# A makefile the programmer has edited survives the next run.
echo "# mine" >>twov2.mak
cp twov2.mak edited.mak
e2e_without_leak_check "$VELORIN_TEST_PREFIX/bin/Velorin" twov.idl >out.log 2>err.log || e2e_abort "second run failed"
e2e_expect_contains "second run" "Makefile already exists, skip makefile generation." "$(cat err.log)"
cmp -s twov2.mak edited.mak || e2e_fail "the edited makefile was changed"

# Regenerated after a change of the interface file, the sources come from
# the same -I and -D options as the run that wrote the makefile, also those
# the shell and make would otherwise change.
mkdir -p regen/inc && cd regen
echo '#define PROCEDURE_NUMBER 7' >inc/numbers.h
cat >regen.idl <<'IDL'
#include "numbers.h"
%static const char* regen_text = TEXT;
interface regen {
	int f(in int a) = PROCEDURE_NUMBER;
} = PROGRAM_NUMBER;
IDL
e2e_without_leak_check "$VELORIN_TEST_PREFIX/bin/Velorin" -I inc -D PROGRAM_NUMBER=0x20000321 \
  -D 'TEXT="a #b $HOME;  two"' regen.idl >out.log 2>err.log || e2e_abort "Velorin failed: $(cat err.log)"
touch -d '1 hour ago' regen.h regen_svc.c regen_xdr.c regen_cln.c regenClient.hpp regenClient.cpp
e2e_make regen regen.h
[ regen.h -nt regen.idl ] || e2e_fail "make did not regenerate the sources"
e2e_expect "regenerated numbers" "#define F  (unsigned long)(7)
#define REGEN  (unsigned long)(536871713)" "$(grep -E '^#define (F|REGEN) ' regen.h)"
e2e_expect "regenerated text" 'static const char* regen_text = "a #b $HOME;  two";' \
  "$(grep regen_text regen.h)"
cd ..


# habits_row <directory> <compiler> <make argument...>: the habits interface
# compiled in a fresh directory by the given installed compiler, built with
# the makefile and the arguments, its server started on a claimed port.
habits_row() {
  local dir=$1 velorin=$2
  shift 2
  mkdir -p "$work/$dir" && cd "$work/$dir" || e2e_abort "cd $dir"
  cp "$VELORIN_SOURCE_DIR"/tests/makefile/habits* .
  e2e_claim_port
  e2e_without_leak_check "$velorin" -DHABITS_PORT="$port" habits.idl >velorin.log 2>&1 ||
    e2e_abort "Velorin in $dir failed: $(cat velorin.log)"
  e2e_make habits "$@"
  [ -x habits_server ] && [ -x habits_client ] || e2e_abort "$dir: no server and client built"
  # The client is the ready check: it fails until the server answers.
  e2e_start_server "$dir" "$work/$dir" "./habits_client 127.0.0.1 0" ./habits_server
  cd "$work" || e2e_abort "cd $work"
}

# The conventional variables on make's command line come on top of what the
# build needs: the header and the library of a helper, which the server
# procedure uses.
mkdir -p helper/include helper/lib
echo 'int habit_offset(void);' >helper/include/habit.h
echo 'int habit_offset(void) { return 7; }' >helper/habit.c
"$VELORIN_TEST_CC" $VELORIN_TEST_CC_FLAGS -c -o helper/habit.o helper/habit.c &&
  ar rc helper/lib/libhabit.a helper/habit.o || e2e_abort "no helper library"
habits_row flags "$VELORIN_TEST_PREFIX/bin/Velorin" CPPFLAGS="-DHABITS_FACTOR=3 -I$work/helper/include" \
  LDFLAGS="-L$work/helper/lib" LDLIBS=-lhabit
e2e_expect "server built with the command line's flags" "133 0" "$(flags/habits_client 127.0.0.1 42)"

# An installation whose path holds a blank.
cp -a "$VELORIN_TEST_PREFIX" "$work/my velorin"
habits_row blank "$work/my velorin/bin/Velorin" CPPFLAGS="-DHABITS_FACTOR=2 -I$work/helper/include" \
  LDFLAGS="-L$work/helper/lib" LDLIBS=-lhabit
e2e_expect_contains "the blank's installation" "$work/my velorin/include" "$(cat blank/make.log)"
e2e_expect "server of the installation with a blank" "91 0" "$(blank/habits_client 127.0.0.1 42)"

# A server procedure in C++, with CPPFLAGS from the environment.
export CPPFLAGS=-DHABITS_BASE=100
habits_row cxx "$VELORIN_TEST_PREFIX/bin/Velorin" IMPL_SRCS=habits_cxx_impl.cpp
unset CPPFLAGS
e2e_expect "server implemented in C++" "4202 0" "$(cxx/habits_client 127.0.0.1 42)"
e2e_servers_alive

e2e_finish
