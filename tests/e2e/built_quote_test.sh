#!/usr/bin/env bash
# The stock-quote programs of the project build, with the interface's own
# program number, answer a quote.
#   built_quote_test.sh <quote_server> <quote_client>
source "$(dirname "$0")/lib.sh"

server=$1
client=$2
e2e_setup built-quote
# The interface's own number, the same in every build tree.
e2e_wait_claim program 12345
e2e_start_server quote "$work" "$(e2e_registered 12345 1)" "$server"
e2e_expect "quote" "quote: Ticker = QRVX, Low = 40.000000, High= 50.000000, Close = 45.000000" \
  "$("$client" 127.0.0.1 QRVX 2>&1)"
e2e_expect "unknown ticker" "Fail get quote" "$("$client" 127.0.0.1 XXXX 2>&1)"
e2e_servers_alive
e2e_finish
