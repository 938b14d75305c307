#!/usr/bin/env bash
# The stock-quote example the way a programmer builds it: the interface file
# and the hand-written server procedure and client, compiled by the
# installed Velorin and built by the makefile it writes; then the client
# asks the server, found through the portmapper, for quotes.
source "$(dirname "$0")/lib.sh"

examples=$VELORIN_SOURCE_DIR/examples/quote

e2e_setup quote
e2e_claim_program
cp "$examples/quote.idl" .
cp "$examples/tickerimpl.c" quote_impl.c
cp "$examples/tickercaller.c" quote_client.c
e2e_velorin quote.idl -DQUOTE_PROGRAM_NUMBER=$program
# The makefile's own defaults: no source named on the command line.
e2e_make quote
[ -x quote_server ] && [ -x quote_client ] || e2e_abort "make built no server and client"

# The usage line.
for args in "" "127.0.0.1"; do
  out=$(./quote_client $args 2>&1)
  status=$?
  e2e_expect "usage with arguments '$args'" "Usage: ./quote_client server_host ticker" "$out"
  e2e_expect "usage status" 0 "$status"
done

e2e_start_server quote "$work" "$(e2e_registered $program 1)" ./quote_server

quote_line="quote: Ticker = QRVX, Low = 40.000000, High= 50.000000, Close = 45.000000"
long_ticker=$(printf 'QRVX%.0s' $(seq 1 500))
# ticker | expected line; an argument after the ticker is ignored, a long
# ticker is cut to the four characters the record holds.
while IFS='|' read -r ticker expected; do
  out=$(./quote_client 127.0.0.1 "$ticker" extra 2>&1)
  e2e_expect "ticker '${ticker:0:12}'" "$expected" "$out"
done <<EOF
QRVX|$quote_line
qrvx|Fail get quote
QRVx|Fail get quote
ABCD|Fail get quote
QRV|Fail get quote
|Fail get quote
$long_ticker|$quote_line
EOF

# The same server over UDP and TCP, called in a loop that checks every
# reply.
cp "$VELORIN_SOURCE_DIR/bench/call_loop.c" .
e2e_make quote CLIENT_SRCS=call_loop.c CLIENT=call_loop
for proto in udp tcp; do
  ./call_loop 127.0.0.1 $program $proto 0.3 >call_loop.log 2>&1 ||
    e2e_fail "call loop over $proto: $(cat call_loop.log)"
done

e2e_servers_alive
e2e_stop_servers

# A server that is not running (its registration left behind).
out=$(./quote_client 127.0.0.1 QRVX 2>&1)
status=$?
e2e_expect "no server" "fail connect to server" "$out"
e2e_expect "no server status" 0 "$status"

# A call that fails after the bind is no quote: a server of the same
# program whose reply lacks the result fails the client's decoding.
e2e_claim program $E2E_PROGRAMS
mismatched=$claimed
mkdir mismatch mismatch_client
(
  cd mismatch || exit 1
  sed 's/int getQuote(inout stkQuote\* quote);/void getQuote(inout stkQuote* quote);/' \
    "$examples/quote.idl" >quote.idl
  grep -q "void getQuote" quote.idl || e2e_abort "no void procedure in the mismatched interface"
  printf '#include "quote.h"\nvoid getQuote(stkQuote* quote) { (void)quote; }\n' >quote_impl.c
  e2e_velorin quote.idl -DQUOTE_PROGRAM_NUMBER=$mismatched
  e2e_make quote
) || e2e_abort "mismatched server"
(
  cd mismatch_client || exit 1
  cp "$examples/quote.idl" .
  cp "$examples/tickercaller.c" quote_client.c
  e2e_velorin quote.idl -DQUOTE_PROGRAM_NUMBER=$mismatched
  e2e_make quote quote_client
) || e2e_abort "client of the mismatched server"
e2e_start_server mismatch "$work/mismatch" "$(e2e_registered $mismatched 1)" ./quote_server
out=$(mismatch_client/quote_client 127.0.0.1 QRVX 2>&1)
e2e_expect "failed call" "Fail get quote" "$out"
e2e_stop_servers

# From the interface file and the server procedure alone, make builds the
# server, and it runs the compiler again when the generated files are gone.
mkdir server_only && cd server_only || e2e_abort "cd server_only"
cp "$examples/quote.idl" .
cp "$examples/tickerimpl.c" quote_impl.c
e2e_velorin quote.idl -DQUOTE_PROGRAM_NUMBER=$program
rm -f quote.h quote_svc.c quote_xdr.c quote_cln.c
e2e_make quote VELORIN_FLAGS=-DQUOTE_PROGRAM_NUMBER=$program
[ -x quote_server ] || e2e_fail "no server built from the interface and the procedure"
[ -e quote_client ] && e2e_fail "a client was built without client sources"

e2e_finish
