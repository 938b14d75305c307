#!/usr/bin/env bash
# Starts rpcbind when no portmapper answers on 127.0.0.1, and stops it again
# afterwards. Only a portmapper started here is ever stopped, by its own pid.
set -u
action=$1
state=$2

answers() { rpcinfo -p 127.0.0.1 >/dev/null 2>&1; }

case "$action" in
start)
  rm -f "$state"
  if answers; then
    echo "portmapper already running"
    exit 0
  fi
  command -v rpcbind >/dev/null || { echo "rpcbind is not installed" >&2; exit 1; }
  # A stale registration file from an earlier run would be loaded back.
  rm -f /run/rpcbind/*.xdr
  mkdir -p /run/rpcbind
  rpcbind -f </dev/null >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    if answers; then
      echo "$pid" > "$state"
      echo "started rpcbind, pid $pid"
      exit 0
    fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  echo "rpcbind did not answer" >&2
  exit 1
  ;;
stop)
  if [ -s "$state" ]; then
    pid=$(cat "$state")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$state"
    echo "stopped rpcbind, pid $pid"
  fi
  exit 0
  ;;
*)
  echo "usage: portmapper.sh start|stop STATEFILE" >&2
  exit 2
  ;;
esac
