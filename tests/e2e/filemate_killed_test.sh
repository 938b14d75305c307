#!/usr/bin/env bash
# Clients that are killed in the middle of a get leave nothing behind on
# the remote-file server: more of them than the server has file slots, and
# afterwards the server holds the descriptors it held before, has no
# process left for them, and a new client still opens and copies files.
source "$(dirname "$0")/lib.sh"

# More clients than the server's 64 file slots, killed in rounds of a few
# at a time.
clients=72
round=8

e2e_setup filemate-killed
e2e_claim_port
e2e_claim_program
e2e_build_rfile $port $program
mkdir served
# A large file that a get is still copying when its client is killed; being
# sparse, it costs no disk space.
truncate -s 1G served/big
echo small >served/small
echo "get big" >get_big
e2e_start_rfile $port $program served
server=${e2e_server_pids[-1]}

descriptors() { ls "/proc/$1/fd" | wc -l; }
children() { ps -o pid= --ppid "$1"; }
before=$(descriptors $server)

# Starts a filemate that gets the large file in a directory of its own and
# waits until the copy has begun, so that the remote file is open.
start_getting() {
  mkdir "client$1"
  (cd "client$1" && exec ../filemate 127.0.0.1 <../get_big >out 2>err) &
  getting+=("$!")
}

copying() { [ -s "client$1/big" ]; }

for ((first = 1; first <= clients; first += round)); do
  getting=()
  for ((i = first; i < first + round && i <= clients; i++)); do
    start_getting $i
  done
  for ((i = first; i < first + round && i <= clients; i++)); do
    pid=${getting[i - first]}
    for _ in $(seq 1 300); do
      copying $i || ! kill -0 $pid 2>/dev/null && break
      sleep 0.1
    done
    copying $i || e2e_fail "client $i did not begin its get: $(cat "client$i/err")"
  done
  kill -KILL "${getting[@]}"
  wait "${getting[@]}" 2>/dev/null
  rm -rf client*
done

for _ in $(seq 1 300); do
  [ -z "$(children $server)" ] && [ "$(descriptors $server)" -le "$before" ] && break
  sleep 0.1
done
e2e_expect "server processes left for killed clients" "" "$(children $server)"
e2e_expect "server descriptors after the killed clients" "$before" "$(descriptors $server)"

mkdir late
(cd late && echo "get small" | ../filemate 127.0.0.1 >../late.out 2>../late.err)
e2e_expect "get after the killed clients" "../filemate> command successful.
../filemate> " "$(cat late.out)"
e2e_expect "messages after the killed clients" "connected to server!" "$(cat late.err)"
e2e_expect "file got after the killed clients" small "$(cat late/small 2>/dev/null)"

e2e_servers_alive
e2e_finish
