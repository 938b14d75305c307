#!/usr/bin/env bash
# Calls over TCP far larger than one record fragment (70,000 ints and
# 1 MiB), and a reply of 1 MiB, in every process model of a generated
# server: in place, forked per call, forked per connection and in the
# asynchronous mode; each through the generated C stub, through a plain
# handle of the RPC library (clnt_create, default buffers) and through one
# with 256 KiB buffers. The clients send records of 16 and more fragments.
# And in each model, the storage of out and inout arrays and of an inout
# string, which the procedure reads before it writes, found zeroed.
source "$(dirname "$0")/proc_lib.sh"

e2e_setup bulk
proc_claim_program prog
proc_claim_program conn_prog
proc_claim_program async_prog
proc_prepare calls bulk.idl bulk -DBULK_PROGRAM_NUMBER=$prog
proc_prepare connection bulk.idl bulk -DBULK_PROGRAM_NUMBER=$conn_prog -DBULK_FORK_ON_CONNECTION
proc_prepare asynchronous bulk.idl bulk -DBULK_PROGRAM_NUMBER=$async_prog -DBULK_ASYNCHRONOUS
proc_prepared

e2e_start_server calls "$work/calls" "$(e2e_registered $prog 1)" ./bulk_server
e2e_start_server connection "$work/connection" "$(e2e_registered $conn_prog 1)" ./bulk_server
e2e_start_server asynchronous "$work/asynchronous" "$(e2e_registered $async_prog 1)" ./bulk_server

# model | server directory | procedure
models="in place|calls|sum
fork on call|calls|forked_sum
fork on connection|connection|sum
asynchronous|asynchronous|sum
in place, 1 MiB back|calls|negate
fork on connection, 1 MiB back|connection|negate
asynchronous, 1 MiB back|asynchronous|negate"
while IFS='|' read -r model dir proc; do
  for how in stub plain wide; do
    for n in 70000 262144; do
      e2e_expect "$model, $how client, $n ints" "ok $proc $n" \
        "$(timeout 60 "$work/$dir/bulk_client" 127.0.0.1 $how $proc $n 2>&1)"
    done
  done
done <<<"$models"

# Storage zeroed up to the bound, on the first call and on one after a call
# that filled it (kept small blocks, fresh large ones, inout arrays decoded
# into their result storage).
blanks="in place|calls|
fork on call|calls|forked_
fork on connection|connection|
asynchronous|asynchronous|"
while IFS='|' read -r model dir prefix; do
  for storage in out inout string; do
    e2e_expect "$model, $storage storage found zeroed" "ok ${prefix}${storage}_blank" \
      "$(timeout 60 "$work/$dir/bulk_client" 127.0.0.1 stub ${prefix}${storage}_blank 1000 2>&1)"
  done
done <<<"$blanks"

e2e_servers_alive
e2e_finish
