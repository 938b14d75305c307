#!/usr/bin/env bash
# filemate copies files to and from the remote-file server, driven through a
# pipe: sizes around the 1024-byte transfer block, an empty file and 1 MiB
# of binary data, each compared byte for byte; and a server under a file
# size limit, over TCP and UDP.
source "$(dirname "$0")/lib.sh"

sizes="0 1 1023 1024 1025 1500 1048576"

e2e_setup filemate-transfer
e2e_claim_port
e2e_claim_program
e2e_build_rfile $port $program
cp "$VELORIN_SOURCE_DIR/tests/e2e/rfile_udp_writer.c" .
e2e_make rfile IMPL_SRCS=rfileserver.c CLIENT_SRCS=rfile_udp_writer.c CLIENT=rfile_udp_writer \
  CXX_CLIENT_SRCS=
mkdir served local
for n in $sizes; do
  head -c "$n" /dev/urandom >"local/up_$n"
  head -c "$n" /dev/urandom >"served/down_$n"
done
e2e_start_rfile $port $program served

commands=$(for n in $sizes; do echo "put up_$n"; echo "get down_$n"; done)
(cd local && printf '%s\n' "$commands" | ../filemate 127.0.0.1 >../session.out 2>../session.err)
status=$?
e2e_expect "status at the end of input" 0 "$status"

for n in $sizes; do
  cmp -s "local/up_$n" "served/up_$n" || e2e_fail "put of $n bytes"
  cmp -s "served/down_$n" "local/down_$n" || e2e_fail "get of $n bytes"
done
count=$(grep -o "command successful\." session.out | wc -l)
e2e_expect "outcome lines" "$(echo "$commands" | wc -l)" "$count"
e2e_expect "messages" "connected to server!" "$(cat session.err)"

e2e_servers_alive
e2e_stop_servers

# A server that cannot store the whole file (its file size limit is 1 KiB):
# put reports the loss, whether the write or the closing flush fails.
e2e_start_server rfile-limited served "$(e2e_on_port $port $program 5)" \
  bash -c "ulimit -f 1; exec '$work/rfile_server'"
(cd local && printf '%s\n' "put up_1500" "put up_1048576" | ../filemate 127.0.0.1 >../limited.out 2>../limited.err)
e2e_expect "puts beyond the limit" "../filemate> command failed.
../filemate> command failed.
../filemate> " "$(cat limited.out)"
e2e_expect "messages beyond the limit" "connected to server!
Fail to write remote file!
Fail to write remote file!" "$(cat limited.err)"

# Over UDP the server process itself serves the write: the write past the
# limit fails, and the server answers the next call.
e2e_expect "a write past the limit over UDP" "write: 0
close: 0 -1
chdir: 0 0" "$(timeout 60 ./rfile_udp_writer 8192 2>&1)"

e2e_servers_alive
e2e_finish
