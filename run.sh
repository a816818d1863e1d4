#!/usr/bin/env bash
# Builds the project and runs Orvane against an emulated camera (unless DALVEX_DRIVES already
# names drives, or a real camera is to be used: set DALVEX_DRIVES yourself, or USE_REAL_CAMERA=1).
#
# The emulated camera is model 33 with WiFi and the CMS server settings (six tabs), serial
# DEMO123456, login password 123456.
#
# With a display, the program opens and runs until you close it. Without one (no DISPLAY), it runs
# under Xvfb in its scripted mode: it logs in, writes PNG pictures of the main window, of each tab
# and of the About box, and prints their paths. SCREENSHOT_DIR chooses where they go.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"

# The options of test.sh's normal build: the objects built here serve it (and ccache's store)
# instead of being compiled again with other flags.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" --target orvane camsim dalvex_probe

workdir=$(mktemp -d)
camsim_pid=
cleanup() {
  if [ -n "$camsim_pid" ]; then
    kill "$camsim_pid" 2>/dev/null || true
    wait "$camsim_pid" 2>/dev/null || true
  fi
  rm -rf "$workdir"
}
trap cleanup EXIT

DEMO_PASSWORD=123456
if [ -z "${DALVEX_DRIVES:-}" ] && [ -z "${USE_REAL_CAMERA:-}" ]; then
  socket="$workdir/camera.sock"
  build/emulator/camsim --socket "$socket" --model 33 --wifi 1 --no-cms 0 \
    --serial DEMO123456 --login-password "$DEMO_PASSWORD" &
  camsim_pid=$!
  for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
  export DALVEX_DRIVES="E=unix:$socket"
  echo "Emulated camera on E: ($socket), login password $DEMO_PASSWORD"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  build/manager/orvane
else
  shots=${SCREENSHOT_DIR:-$PWD/screenshots}
  mkdir -p "$shots"
  echo "No display: running Orvane under Xvfb, pictures go to $shots"
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    build/manager/orvane --scripted "$shots" --password "${ORVANE_PASSWORD:-$DEMO_PASSWORD}" \
    2> >(grep -av '^Detected\|desc:\|Detected BWC' >&2)
fi
