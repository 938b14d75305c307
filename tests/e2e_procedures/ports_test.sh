#!/usr/bin/env bash
# The transport properties: a server of TCP or UDP alone, found through the
# portmapper, and servers on a fixed port that stay out of the portmapper;
# the generated bind functions pick the matching default protocol and port.
source "$(dirname "$0")/proc_lib.sh"
proc_need_python

e2e_setup ports
for name in tcp_prog udp_prog port_prog udpport_prog; do
  proc_claim_program $name
done
e2e_claim_port
fixed_port=$port
e2e_claim_port
udp_fixed_port=$port

# rpcinfo's check of one transport: "ok" when the null procedure answers.
answers() {
  if timeout 10 rpcinfo "$@" >/dev/null 2>&1; then echo ok; else echo none; fi
}

on_port() {
  if proc_null "$1" "$2" "$3" 1; then echo ok; else echo none; fi
}

# name | program | Velorin options | ready check | tcp | udp | on port tcp | on port udp | clients
cases="tcp|$tcp_prog|-DPORTS_TRANSPORT=tcp|rpcinfo -t 127.0.0.1 \$prog 1|ok|none|||-=ok tcp=ok udp=none
udp|$udp_prog|-DPORTS_TRANSPORT=udp|rpcinfo -u 127.0.0.1 \$prog 1|none|ok|||-=ok udp=ok tcp=none
port|$port_prog|-DPORTS_SERVER_PORT=$fixed_port|proc_null tcp $fixed_port \$prog 1|none|none|ok|ok|-=ok tcp=ok udp=ok
udpport|$udpport_prog|-DPORTS_TRANSPORT=udp -DPORTS_SERVER_PORT=$udp_fixed_port|proc_null udp $udp_fixed_port \$prog 1|none|none|none|ok|-=ok udp=ok"

while IFS='|' read -r name prog options _; do
  # shellcheck disable=SC2086
  proc_prepare "$name" ports.idl ports -DPORTS_PROGRAM_NUMBER=$((prog)) $options
done <<<"$cases"
proc_prepared

while IFS='|' read -r name prog options ready tcp udp port_tcp port_udp clients; do
  prog=$((prog))
  cd "$work/$name" || e2e_abort "cd $name"
  port=${options##*PORTS_SERVER_PORT=}
  [ "$port" = "$options" ] && port=
  e2e_start_server "$name" "$work/$name" "$(eval echo "\"$ready\"")" ./ports_server
  e2e_expect "$name: rpcinfo -t" "$tcp" "$(answers -t 127.0.0.1 $prog 1)"
  e2e_expect "$name: rpcinfo -u" "$udp" "$(answers -u 127.0.0.1 $prog 1)"
  if [ -n "$port" ]; then
    e2e_expect "$name: null call on port $port over tcp" "$port_tcp" "$(on_port tcp "$port" $prog)"
    e2e_expect "$name: null call on port $port over udp" "$port_udp" "$(on_port udp "$port" $prog)"
  fi
  for client in $clients; do
    proto=${client%%=*}
    expected=${client#*=}
    [ "$expected" = ok ] && expected="add 5 status 0" || expected="bind failed"
    e2e_expect "$name: client with protocol $proto" "$expected" "$(timeout 20 ./ports_client 127.0.0.1 "$proto" 2>&1)"
  done
  e2e_servers_alive
  e2e_stop_servers
done <<<"$cases"

e2e_finish
