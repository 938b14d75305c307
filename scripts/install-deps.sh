#!/usr/bin/env bash
# Installs the Debian packages Velorin needs to build and test, when missing.
set -eu
# clang with its sanitizer and libFuzzer runtimes (libclang-rt-dev) builds
# the fuzz targets.
packages="g++ cmake make flex bison libtirpc-dev rpcbind cpp libgtest-dev pkg-config clang libclang-rt-dev python3"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
  echo "run as root, or install these packages:$missing" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq $missing
