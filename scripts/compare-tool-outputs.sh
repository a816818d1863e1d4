#!/usr/bin/env bash
# Runs two builds of the dalvex tool through the same sessions against fresh emulated cameras and
# compares what each printed (standard output, standard error, exit code), the audit lines (time
# masked) and the camera's state afterwards. Used to check that a rework of the tool changed no
# output: scripts/compare-tool-outputs.sh OLD_DALVEX NEW_DALVEX CAMSIM
set -uo pipefail
old=$(realpath "$1") new=$(realpath "$2") camsim=$(realpath "$3")
work=$(mktemp -d)
# COMPARE_KEEP=1 keeps the recorded outputs and prints where they are.
if [ -n "${COMPARE_KEEP:-}" ]; then
  echo "compare-tool-outputs: outputs kept in $work"
else
  trap 'rm -rf "$work"' EXIT
fi

# One session: the tool's commands (one a line, run through bash) against a camera of the model
# options given, recorded under $work/<binary>/<name>.
session() {
  local name=$1 options=$2 commands=$3 which bin dir pid n=0
  for which in old new; do
    bin=${!which}
    dir=$work/$which/$name
    mkdir -p "$dir"
    # shellcheck disable=SC2086
    "$camsim" --socket "$dir/cam.sock" --state "$dir/state.json" --reboot-ms 100 \
      --format-polls 1 $options >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do [ -S "$dir/cam.sock" ] && break; sleep 0.05; done
    while IFS= read -r line; do
      [ -n "$line" ] || continue
      n=$((n + 1))
      (
        export DALVEX_DRIVES="E=unix:$dir/cam.sock" DALVEX_PASSWORD=000000 HOME=$dir USER=tester
        cd "$dir" && eval "${line//@D/\"$bin\"}" >"$dir/$n.out" 2>"$dir/$n.err" </dev/null
        echo "exit $?" >>"$dir/$n.out"
      )
    done <<<"$commands"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if [ -f "$dir/.local/state/dalvex/audit.log" ]; then
      sed -E 's/"time":"[^"]*"/"time":"T"/; s/"new":"[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}"/"new":"NOW"/' \
        "$dir/.local/state/dalvex/audit.log" >"$dir/audit.masked"
      rm "$dir/.local/state/dalvex/audit.log"
    fi
    sed -E 's/"(clock|time|lastTime)[A-Za-z]*" *: *"[^"]*"/"\1":"T"/g' "$dir/state.json" >"$dir/state.masked" 2>/dev/null
    rm -f "$dir/state.json" "$dir/cam.sock"
    n=0
  done
}

# One shell command line a line; @D stands for the program.
commands='@D list
@D --json list
@D get all
@D --json get all
@D get wifi
@D get nosuch
@D set setting videoLength=1
@D set setting videoLength=3
@D set user deviceId=DEVID1234567890
@D --json set user userId=OFFICER0001 userName=Jane
@D set setting nosuch=1
@D set wifi port=99999
printf %s "{\"records\":{\"user\":{\"userName\":\"Bob\",\"deviceId\":\"D2\"},\"setting\":{\"freeSpaceMB\":5}}}" >p.json; @D apply --dry-run p.json
@D --json apply --dry-run p.json
@D apply p.json
@D --json get setting
@D time sync
@D reboot
@D format --yes
@D storage expose
@D list
@D storage release
@D --json list
DALVEX_PASSWORD=999999 @D get all
DALVEX_PASSWORD=1234567 @D get all
printf "000000\n654321\n" >pw; @D password change login --password-fd 3 3<pw
DALVEX_PASSWORD=654321 @D get all --letter Q
DALVEX_PASSWORD=654321 @D --json get all --letter E
@D --help
@D gps --help'

session model33 "--model 33 --wifi 1 --no-cms 0 --serial EMU3300001" "$commands"
session rk20 "--model 48 --serial EMU4800001" "$commands"
session rk40 "--model 208 --serial EMU2080001" "$commands
DALVEX_PASSWORD=654321 @D set config volume=High
DALVEX_PASSWORD=654321 @D --json get config"
session rk50 "--model 240 --serial EMU2400001" "$commands
DALVEX_PASSWORD=654321 @D set config plateNumber=ABC123456789
DALVEX_PASSWORD=654321 @D get config"
session model16 "--model 16 --wifi 0" "$commands"

if diff -r -x '*.sock' "$work/old" "$work/new" >"$work/diff"; then
  echo "compare-tool-outputs: the two builds printed and stored the same"
else
  cat "$work/diff"
  echo "compare-tool-outputs: the outputs differ"
  exit 1
fi
