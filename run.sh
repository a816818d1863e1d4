#!/usr/bin/env bash
# Builds the project and runs it against an emulated camera (unless DALVEX_DRIVES already names
# drives, or a real camera is to be used: set DALVEX_DRIVES yourself, or USE_REAL_CAMERA=1).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
ensure_packages

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

workdir=$(mktemp -d)
camsim_pid=
cleanup() {
  [ -n "$camsim_pid" ] && kill "$camsim_pid" 2>/dev/null && wait "$camsim_pid" 2>/dev/null
  rm -rf "$workdir"
}
trap cleanup EXIT

if [ -z "${DALVEX_DRIVES:-}" ] && [ -z "${USE_REAL_CAMERA:-}" ]; then
  socket="$workdir/camera.sock"
  build/emulator/camsim --socket "$socket" --model 33 --serial DEMO123456 &
  camsim_pid=$!
  for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
  export DALVEX_DRIVES="E=unix:$socket"
  echo "Emulated camera on E: ($socket)"
fi

build/devicelib/dalvex_probe
