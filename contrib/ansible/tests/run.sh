#!/usr/bin/env bash
# The collection dalvex.cameras with Ansible against localhost and one emulated camera:
#   run.sh DALVEX CAMSIM
# Check mode reports the change and writes nothing, diff mode shows it, a run changes the camera,
# a second run changes nothing, a wrong password fails with the tool's message, no password
# appears anywhere, the documentation renders and ansible-lint passes. Exit 77 (skipped) only
# when ansible is not installed.
set -u

dalvex=$(realpath "$1")
camsim=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
collections=$(dirname "$here")

for program in ansible-playbook ansible-doc ansible-lint; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIP: $program is not installed (scripts/deps.sh installs ansible-core and ansible-lint)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/dalvex-ansible-test.XXXXXX)
camsim_pid=
finish() {
  [ -n "$camsim_pid" ] && kill "$camsim_pid" 2>/dev/null && wait "$camsim_pid" 2>/dev/null
  [ -n "${KEEP_TEST_OUTPUT:-}" ] || rm -rf "$work"
}
trap finish EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

password=4Rt9xq
secret=Wf-s3cret-77
"$camsim" --socket "$work/e.sock" --model 48 --serial ANS0000042 --login-password "$password" \
  --state "$work/camera.json" >"$work/camsim.log" 2>&1 &
camsim_pid=$!
for _ in $(seq 50); do
  [ -S "$work/e.sock" ] && break
  sleep 0.1
done
[ -S "$work/e.sock" ] || { cat "$work/camsim.log"; echo "FAIL: camsim did not start"; exit 1; }

export DALVEX_DRIVES="E=unix:$work/e.sock"
export XDG_STATE_HOME="$work/state"
export ANSIBLE_COLLECTIONS_PATH="$collections" ANSIBLE_COLLECTIONS_SCAN_SYS_PATH=false
export ANSIBLE_LOCAL_TEMP="$work/ansible-local" ANSIBLE_REMOTE_TEMP="$work/ansible-remote"
export ANSIBLE_HOME="$work/ansible-home" XDG_CACHE_HOME="$work/cache"
export ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 ANSIBLE_RETRY_FILES_ENABLED=false
export ANSIBLE_STDOUT_CALLBACK=default ANSIBLE_LOAD_CALLBACK_PLUGINS=false
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_HOST_KEY_CHECKING=false
unset DALVEX_PASSWORD

# The profile: a plain field and a secret, inline; the same as a file for the last run.
umask 077
cat >"$work/vars.json" <<EOF
{"dalvex_program": "$dalvex",
 "camera_profile": {"records": {"setting": {"videoLength": "10 Minutes"},
                                "wifi": {"password": "$secret"}}}}
EOF
cat >"$work/profile.json" <<EOF
{"records": {"setting": {"videoLength": "10 Minutes"}}}
EOF

# play NAME [ARG...]: one playbook run, its whole output in $work/NAME.out.
play() {
  local name=$1
  shift
  ansible-playbook -i localhost, -c local -e "@$work/vars.json" "$@" "$here/settings.yml" \
    >"$work/$name.out" 2>&1
}
recap() {
  grep -Eo "$2=[0-9]+" <(grep -A1 '^PLAY RECAP' "$work/$1.out" | tail -1)
}
expect() {  # expect NAME WHAT PATTERN: the run's output holds the pattern
  grep -qE -- "$3" "$work/$1.out" || { fail "$1: $2"; cat "$work/$1.out"; }
}
expect_recap() {  # expect_recap NAME changed=N failed=N
  local name=$1 want
  shift
  for want in "$@"; do
    [ "$(recap "$name" "${want%%=*}")" = "$want" ] || { fail "$name: want $want"; cat "$work/$name.out"; return; }
  done
}

export TEST_CAMERA_PASSWORD=$password
# camsim writes its state file within a tenth of a second of a command.
settle() { sleep 0.3; }
"$dalvex" list >/dev/null || fail "dalvex list"
settle
cp "$work/camera.json" "$work/camera.before" || exit 1
play check --check --diff
expect_recap check changed=1 failed=0
settle
cmp -s "$work/camera.json" "$work/camera.before" || fail "check mode changed the camera's state"
expect check "diff before" '^-.*"setting.videoLength": "5 Minutes"'
expect check "diff after" '^\+.*"setting.videoLength": "10 Minutes"'
expect check "secret shown as hidden" '"wifi.password": "\(hidden\) changed"'

play apply
expect_recap apply changed=1 failed=0
settle
cmp -s "$work/camera.json" "$work/camera.before" && fail "the run left the camera's state as it was"

play again -vvv
expect_recap again changed=0 failed=0

# A wrong password, the profile as a file, and every detail of the run printed.
TEST_CAMERA_PASSWORD=9x9x9x play wrong -vvv -e "camera_profile=$work/profile.json"
expect_recap wrong failed=1
expect wrong "the tool's message" 'the camera refused the login password'

for out in "$work"/*.out; do
  for value in "$password" 9x9x9x "$secret"; do
    grep -qF -- "$value" "$out" && fail "$(basename "$out" .out) shows a secret"
  done
done

for module in settings facts; do
  doc=$(ansible-doc "dalvex.cameras.$module" 2>&1)
  for part in OPTIONS EXAMPLES 'RETURN VALUES'; do
    grep -q "^$part" <<<"$doc" || fail "ansible-doc dalvex.cameras.$module has no $part"
  done
done

(cd "$collections/ansible_collections/dalvex/cameras" && ansible-lint --offline --nocolor) \
  >"$work/lint.out" 2>&1 || { fail "ansible-lint"; cat "$work/lint.out"; }

[ "$failures" -eq 0 ] && echo "ansible collection: all checks passed"
[ "$failures" -eq 0 ]
