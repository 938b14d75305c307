#!/usr/bin/env bash
# Strings sized by their own length, travelling both ways: an inout string
# argument and a string member of an inout struct; strings measured without
# their terminator at their bound, to the server and back, and one
# character more, which the client does not send (1: cannot encode).
source "$(dirname "$0")/proc_lib.sh"


e2e_setup strings
proc_claim_program prog
proc_compile server strings.idl strings -DSTRINGS_PROGRAM_NUMBER=$prog
proc_build strings
e2e_start_server strings "$work/server" "$(e2e_registered $prog 1)" ./strings_server
for proto in tcp udp; do
  e2e_expect "strings over $proto" "reversestr desserts birthday 37 ADA 37 status 0
lookup 2551024 status 0
readpath 1 status 0
longer name 0 status 1" \
    "$(timeout 20 ./strings_client 127.0.0.1 $proto 2>&1)"
done
e2e_servers_alive
e2e_finish
