#!/usr/bin/env bash
# filemate at a terminal: the prompt, commands typed one after the other,
# and quit.
source "$(dirname "$0")/lib.sh"

command -v python3 >/dev/null || { echo "python3 is needed to drive a terminal"; exit 77; }
e2e_setup filemate-tty
e2e_claim_port
e2e_claim_program
e2e_build_rfile $port $program
mkdir served local
echo alpha >served/a.txt
e2e_start_rfile $port $program served

printf '%s\n' "ls" "get a.txt" "quit" >commands
(cd local && python3 "$VELORIN_SOURCE_DIR/tests/e2e/pty_session.py" "filemate> " ../commands \
  ../filemate 127.0.0.1 >../terminal)
status=$?
out=$(tr -d '\r' <terminal)
e2e_expect "status after quit" 0 "$status"
e2e_expect "terminal" "connected to server!
../filemate> ls
a.txt
command successful.
../filemate> get a.txt
command successful.
../filemate> quit" "$out"
e2e_expect "file got" alpha "$(cat local/a.txt)"

e2e_servers_alive
e2e_finish
