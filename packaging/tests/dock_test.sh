#!/usr/bin/env bash
# The dock: the run requests kept or dropped around a run, and the service's command line (taken
# from the unit, its variables from a dock.conf) run against camsim with the login password in a
# credential folder as systemd makes it, no DALVEX_PASSWORD and no terminal.
# Usage: dock_test.sh DALVEX CAMSIM
set -euo pipefail
dalvex=$1
camsim=$2
here=$(cd "$(dirname "$0")/.." && pwd)
unit=$here/systemd/dalvex-dock.service
requests=$here/systemd/dalvex-dock-requests
work=$(mktemp -d)
camsim_pids=()
cleanup() {
  # camsim saves its state as it ends: wait for it before the folder goes.
  for pid in "${camsim_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
status=0
fail() { echo "dock_test: FAIL: $*"; status=1; }

# -- Requests: disks present when the run begins, disks that appear during it, disks present when
# it ends -> the requests left, which start another run.
export DALVEX_DOCK_RUN=$work/run DALVEX_DOCK_DISKS=$work/by-id
while IFS='|' read -r name before during after left; do
  rm -rf "$work/run" "$work/by-id"
  mkdir -p "$work/by-id"
  for d in $before; do touch "$work/by-id/usb-$d"; done
  "$requests" request CAM1  # the request that started the run
  "$requests" begin
  [ -z "$(ls "$work/run/requests")" ] || fail "$name: begin left requests"
  rm -f "$work/by-id"/*
  for d in $during; do "$requests" request "$d"; done
  for d in $after; do touch "$work/by-id/usb-$d"; done
  "$requests" end
  got=$(ls "$work/run/requests" | tr '\n' ' ' | sed 's/ $//')
  [ "$got" = "$left" ] || fail "$name: left '$got', expected '$left'"
done <<'TABLE'
nothing happened|CAM1|||
the run's own expose and release|CAM1|CAM1 CAM1-card|CAM1|
a camera docked during the run|CAM1|CAM2|CAM1 CAM2|CAM2
docked and undocked during the run|CAM1|CAM2||
two docked, one stays|CAM1 USB-STICK|CAM2 CAM3|CAM1 CAM3|CAM3
a disk without a serial (never a second run)|CAM1|unnamed|CAM1|
TABLE
rm -rf "$work/run"
"$requests" request CAM1
"$requests" end  # no begin: the service failed before its run
[ -z "$(ls "$work/run/requests")" ] || fail "a run that never began left its requests"
"$requests" request ../../etc/x
[ -e "$work/run/requests/unnamed" ] || fail "a serial with a slash is not a file name"
unset DALVEX_DOCK_RUN DALVEX_DOCK_DISKS

# -- The service's command line against camsim.
password=246810
serials=(DOCK0001 DOCK0002)
drives=
for i in 0 1; do
  card=$work/card$i
  mkdir -p "$card/DCIM/100MEDIA"
  head -c 300000 /dev/urandom >"$card/DCIM/100MEDIA/REC0001.MP4"
  printf 'picture' >"$card/DCIM/100MEDIA/PIC0001.JPG"
  "$camsim" --socket "$work/cam$i.sock" --model 33 --serial "${serials[$i]}" --card "$card" \
    --login-password "$password" --state "$work/cam$i.json" >"$work/camsim$i.log" 2>&1 &
  camsim_pids+=($!)
  drives+="$([ "$i" = 0 ] && echo E || echo F)=unix:$work/cam$i.sock;"
done
mkdir -p "$work/home"
for i in 0 1; do
  for _ in $(seq 100); do [ -S "$work/cam$i.sock" ] && break; sleep 0.05; done
done

# The cameras name their cards themselves: a dock.conf as an administrator writes it.
cat >"$work/dock.conf" <<CONF
# a test's dock.conf
ARCHIVE=$work/archive
OPTIONS=
CONF

# The unit's variables: its Environment= lines, then the EnvironmentFile's (NAME=value lines).
declare -A vars
while IFS= read -r line; do
  line=${line#Environment=}
  vars[${line%%=*}]=${line#*=}
done < <(grep '^Environment=' "$unit")
while IFS= read -r line; do
  case $line in '#'* | '') continue ;; esac
  vars[${line%%=*}]=${line#*=}
done <"$work/dock.conf"
# A unit's ExecStart as argv: ${NAME} is one word, $NAME splits at white space (as systemd
# substitutes them).
unit_argv() {
  local exec_start
  exec_start=$(sed -n 's/^ExecStart=//p' "$1")
  argv=()
  for word in $exec_start; do
    case $word in
      '${'*'}') name=${word#\$\{}; argv+=("${vars[${name%\}}]}") ;;
      '$'*) read -ra split <<<"${vars[${word#\$}]}"; argv+=("${split[@]}") ;;
      *) argv+=("$word") ;;
    esac
  done
}
unit_argv "$unit"
[ "${argv[0]}" = /usr/bin/dalvex ] || fail "ExecStart runs ${argv[0]}"
argv[0]=$dalvex
# credential: the file systemd would make, a wrong one, one through a link -> exit code.
while IFS='|' read -r kind expected; do
  creds=$work/credentials-$kind
  mkdir -m 0700 "$creds"
  case $kind in
    right) printf '%s' "$password" >"$creds/login-password" ;;
    wrong) printf '135790' >"$creds/login-password" ;;
    link) printf '%s' "$password" >"$work/elsewhere"; ln -s "$work/elsewhere" "$creds/login-password" ;;
  esac
  [ -L "$creds/login-password" ] || chmod 0400 "$creds/login-password"
  code=0
  env -i PATH=/usr/bin:/bin HOME="$work/home" DALVEX_DRIVES="$drives" \
    CREDENTIALS_DIRECTORY="$creds" setsid -w "${argv[@]}" </dev/null \
    >"$work/$kind.out" 2>"$work/$kind.err" || code=$?
  [ "$code" = "$expected" ] || fail "$kind credential: exit $code, expected $expected: $(cat "$work/$kind.err")"
  if grep -rqF -e "$password" "$work/$kind.out" "$work/$kind.err" "$work/home" "$work/archive" 2>/dev/null; then
    fail "$kind credential: the password shows in the output, the audit log or the archive"
  fi
done <<'TABLE'
link|2
wrong|4
right|0
TABLE
# Both cameras, side by side (--all): each archived, told, and one journal line each.
bytes=$((300000 + 7))
for i in 0 1; do
  serial=${serials[$i]}
  folder=$(find "$work/archive/$serial" -mindepth 1 -maxdepth 1 -type d | head -1)
  if [ -z "$folder" ] || ! (cd "$folder" && sha256sum --quiet --strict -c SHA256SUMS); then
    fail "the archive does not hold the card of $serial"
  fi
  grep -qx "$serial: 2 files, $bytes bytes, ok" "$work/right.out" "$work/right.err" ||
    fail "no journal line '$serial: 2 files, $bytes bytes, ok' in: $(cat "$work/right.out" "$work/right.err")"
  # camsim saves its state once the command is served: give it a moment.
  for _ in $(seq 40); do grep -q '"copyFinished" *: *1' "$work/cam$i.json" 2>/dev/null && break; sleep 0.05; done
  grep -q '"copyFinished" *: *1' "$work/cam$i.json" || fail "$serial was not told copy-finished once"
done
grep -q 'is not a regular file' "$work/link.err" || fail "the link's refusal does not say why"

# The metrics unit counts the offloads of dock.conf's archive (its textfile in our folder).
unit_argv "$here/systemd/dalvex-metrics.service"
argv[0]=$dalvex
argv[${#argv[@]}-1]=$work/dalvex.prom
env -i PATH=/usr/bin:/bin HOME="$work/home" "${argv[@]}" </dev/null || fail "metrics: exit $?"
for serial in "${serials[@]}"; do
  grep -qx "dalvex_offload_last_complete_bytes{serial=\"$serial\"} $bytes" "$work/dalvex.prom" ||
    fail "metrics: no last offload of $serial from dock.conf's archive: $(cat "$work/dalvex.prom")"
done

[ $status -eq 0 ] && echo "dock_test: all cases pass"
exit $status
