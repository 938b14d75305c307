#!/usr/bin/env bash
# A directory of 70,000 entries listed with filemate against the
# remote-file server: the reply is a list of 70,000 linked entries, which
# the server encodes and filemate decodes and frees. Both stay up, and
# every name arrives once, in order.
source "$(dirname "$0")/lib.sh"

entries=70000

e2e_setup filemate-long-listing
e2e_claim_port
e2e_claim_program
e2e_build_rfile $port $program

mkdir -p served/big local
(cd served/big && seq -f 'f%05g' 1 $entries | xargs touch) || e2e_abort "creating $entries files"
echo small >served/small.txt
e2e_start_rfile $port $program served

(cd local && ../filemate 127.0.0.1 >../session.out 2>../session.err) <<COMMANDS
ls big
ls
quit
COMMANDS
e2e_expect "filemate status" 0 "$?"
e2e_expect "error stream" "connected to server!" "$(cat session.err)"

P="../filemate> "
names=$(grep -c '^\(\.\./filemate> \)\{0,1\}f[0-9]\{5\}$' session.out)
e2e_expect "names listed" $entries "$names"
e2e_expect "every name once, in order" "$(seq -f 'f%05g' 1 $entries)" \
  "$(sed -e "s|^$P||" session.out | grep '^f[0-9]\{5\}$')"
# After the long listing the session goes on: the next listing and quit.
e2e_expect "the listing after the long one" "${P}big
small.txt
command successful.
${P}" "$(tail -n 4 session.out)"

e2e_servers_alive
e2e_finish
