#!/usr/bin/env bash
# filemate's command line and every command at its prompt, driven through a
# pipe against the remote-file server: the whole transcript is compared, so
# that a stray prompt or message shows. The server keeps to the directory it
# was started in.
source "$(dirname "$0")/lib.sh"

e2e_setup filemate-commands
e2e_claim_port
e2e_claim_program
# A port that nothing listens on.
e2e_claim port $E2E_PORTS
idle_port=$claimed
e2e_build_rfile $port $program

# The command line, and a server that is not running.
for args in "" "127.0.0.1 extra"; do
  out=$(./filemate $args 2>&1)
  status=$?
  e2e_expect "usage with arguments '$args'" "Usage: ./filemate hostname" "$out"
  e2e_expect "usage status" 1 "$status"
done
mkdir idle && cp rfile.idl rfileserver.c filemate.cpp idle/
(
  cd idle && e2e_velorin rfile.idl -DRFILE_SERVER_PORT=$idle_port -DRFILE_PROGRAM_NUMBER=$program &&
    e2e_make rfile IMPL_SRCS=rfileserver.c CLIENT_SRCS= CXX_CLIENT_SRCS=filemate.cpp CXX_CLIENT=filemate
) || e2e_abort "build for the idle port"
out=$(idle/filemate 127.0.0.1 </dev/null 2>&1)
status=$?
e2e_expect "no server: first line" "Fail to connect to server!" "$(echo "$out" | head -1)"
e2e_expect_contains "no server: the library's reason" "127.0.0.1: " "$(echo "$out" | tail -n +2)"
e2e_expect "no server status" 1 "$status"

mkdir -p served/sub outside local
echo alpha >served/a.txt
echo beta >served/b.txt
echo inner >served/sub/inner.txt
echo secret >outside/secret
ln -s ../outside served/link
ln -s ../outside/secret served/peek
echo mine >local/keep.txt
mkdir local/link
echo evil >local/link/evil
e2e_start_rfile $port $program served

long_word=$(printf 'x%.0s' $(seq 1 300))
long_name=$(printf 'y%.0s' $(seq 1 1500))
# What of the long line fits the 1024-byte line buffer.
cut_name=${long_name:0:1019}

(cd local && ../filemate 127.0.0.1 >../session.out 2>../session.err) <<COMMANDS
help
ls
ls sub
cd sub
ls
get inner.txt
cd ..
cd ..
ls /
cd nosuchdir
ls nosuchdir
cd link
get link/secret
get ../outside/secret
get peek
put link/evil
get
put
get keep.txt
put nolocal.txt
frobnicate

$long_word
put $long_name
cd
quit
ls
COMMANDS
status=$?
e2e_expect "status after quit" 0 "$status"

P="../filemate> "
help="Available commands
get ==> get a remote file
put ==> send local file to remote system
ls ==> list the contents of a directory
cd ==> change remote working directory
quit ==> exit"
ok="command successful."
failed="command failed."
root_listing="a.txt
b.txt
link
peek
sub"
expected="${P}$help
$ok
${P}$root_listing
$ok
${P}inner.txt
$ok
${P}$ok
${P}inner.txt
$ok
${P}$ok
${P}$ok
${P}$failed
${P}$root_listing
$ok
${P}$failed
${P}$failed
${P}$failed
${P}$failed
${P}$failed
${P}$failed
${P}$failed
${P}No file name supplied for GET.
$ok
${P}No file name supplied for PUT.
$ok
${P}$failed
${P}$failed
${P}$help
$ok
${P}$ok
${P}$help
$ok
${P}$failed
${P}$ok
${P}"
e2e_expect "transcript" "$expected" "$(cat session.out)"
e2e_expect "messages" "connected to server!
Fail to open remote file!
Fail to open remote file!
Fail to open remote file!
Fail to open remote file!
Fail to open remote file!
nolocal.txt: No such file or directory
$cut_name: File name too long" "$(cat session.err)"

e2e_expect "file got from a subdirectory" inner "$(cat local/inner.txt)"
# A remote file that is missing leaves the local one alone.
e2e_expect "local file of a failed get" mine "$(cat local/keep.txt)"
[ -e local/secret ] || [ -e local/peek ] && e2e_fail "a file outside the served directory was copied"
[ -e outside/evil ] && e2e_fail "a file was written outside the served directory"

e2e_servers_alive

# A server that goes away during a session: every command that needs it
# reports the failure.
mkfifo commands
(cd local && ../filemate 127.0.0.1 <../commands >../late.out 2>../late.err) &
client=$!
exec 3>commands
echo "ls" >&3
for _ in $(seq 1 100); do
  grep -q "command successful\." late.out && break
  sleep 0.1
done
e2e_stop_servers
printf '%s\n' "ls" "cd sub" "get a.txt" >&3
exec 3>&-
wait $client
e2e_expect "status after the server went away" 0 "$?"
e2e_expect "commands after the server went away" "${P}$root_listing
$ok
${P}$failed
${P}$failed
${P}$failed
${P}" "$(cat late.out)"
[ -e local/a.txt ] && e2e_fail "a failed get left a local file"

e2e_finish
