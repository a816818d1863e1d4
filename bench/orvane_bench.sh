#!/usr/bin/env bash
# Orvane's figures: time from process start to the main window shown, the cost of one device-watch
# tick with no camera and with one, and the resident memory after a login. Runs under Xvfb when
# there is no display. Usage: bench/orvane_bench.sh [BUILD_DIR]   (default: build)
# Targets: window shown under 300 ms, a tick under 2 ms, under 60 MB resident.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" -j2 --target orvane camsim orvane_watch_tick >/dev/null

workdir=$(mktemp -d)
camsim_pid=
cleanup() {
  if [ -n "$camsim_pid" ]; then kill "$camsim_pid" 2>/dev/null || true; wait "$camsim_pid" 2>/dev/null || true; fi
  rm -rf "$workdir"
}
trap cleanup EXIT

"$build/manager/orvane_watch_tick" 200

socket="$workdir/camera.sock"
"$build/emulator/camsim" --socket "$socket" --model 33 --login-password 123456 2>/dev/null &
camsim_pid=$!
for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done

run() {
  local out start shown
  if [ -n "${DISPLAY:-}" ]; then
    start=$(date +%s%3N)
    out=$(DALVEX_DRIVES="E=unix:$socket" "$build/manager/orvane" --benchmark --password 123456 2>/dev/null)
  else
    # Xvfb's own start-up is not the program's: the clock starts inside the wrapper.
    out=$(DALVEX_DRIVES="E=unix:$socket" xvfb-run -a -s "-screen 0 1280x1024x24" \
      sh -c 'date +%s%3N; exec "$0" --benchmark --password 123456 2>/dev/null' "$build/manager/orvane")
    start=$(echo "$out" | head -1)
  fi
  shown=$(echo "$out" | awk '/^shown_epoch_ms/ {print $2}')
  entered=$(echo "$out" | awk '/^main_epoch_ms/ {print $2}')
  echo "$((shown - start)) $((entered - start)) $(echo "$out" | awk '/^cpu_ms_at_shown/ {print $2}') $(echo "$out" | awk '/^resident_kib_after_login/ {print $2}')"
}

uptime
for i in 1 2 3 4 5; do
  read -r ms loading cpu kib < <(run)
  printf 'run %d: start to main window shown %5d ms (loading until main() %4d ms; processor time %4d ms)   resident after login %6.1f MiB\n' \
    "$i" "$ms" "$loading" "$cpu" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
done
