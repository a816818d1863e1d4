#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, the QEMU, package and Windows stages, then the bounded fuzz runs
# where clang is present. Prints each stage's time at the end; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

JOBS=${JOBS:-$(nproc)}
status=0
stage_rows=()
last_rc=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
times_file=$work/times
# CPU seconds (user and system) of the programs this script has run so far: on a machine shared
# with other builds the wall-clock time says little, the CPU time stays.
# Sets cpu_now (times runs in this shell: in a $(...) it would count the subshell's children).
cpu_seconds() {
  times >"$times_file"
  cpu_now=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); s += p[1] * 60 + p[2] }
                           printf "%d", s }' "$times_file")
}

# Runs one stage, records its times and result; a failed stage fails the run but not the others.
stage() {
  local name=$1 start=$SECONDS cpu rc=0
  shift
  cpu_seconds
  cpu=$cpu_now
  "$@" || rc=$?
  last_rc=$rc
  local result=ok
  [ $rc -eq 0 ] || { result="FAILED ($rc)"; status=1; }
  cpu_seconds
  stage_rows+=("$(printf '%-20s %7d %7d  %s' "$name" $((SECONDS - start)) $((cpu_now - cpu)) \
    "$result")")
}

# stage_start NAME COMMAND...: runs a stage in the background, beside the next stage; its output
# and its row wait for stage_wait. For stages that leave a core idle, so that it does not stay so.
stage_start() {
  local name=$1
  shift
  (
    times_file=$work/times-bg
    stage_rows=()
    status=0
    stage "$name" "$@" >"$work/bg-output" 2>&1
    printf '%s\n' "${stage_rows[@]}" >"$work/bg-row"
    exit $status
  ) &
  bg_pid=$!
}

stage_wait() {
  local rc=0
  wait "$bg_pid" || rc=$?
  cat "$work/bg-output"
  stage_rows+=("$(cat "$work/bg-row")")
  [ $rc -eq 0 ] || status=1
}

packages() {
  ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" && ensure_wine32
}

# build DIR [TARGET...] -- [CMAKE OPTION...]
build() {
  local dir=$1 targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    targets+=(--target "$1")
    shift
  done
  [ $# -eq 0 ] || shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON "$@" >/dev/null &&
    cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

run_tests() {
  (cd "$1" && ctest --output-on-failure -j "$JOBS" --timeout 600)
}

asan() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$@"
}

echo "== packages =="
stage "packages" packages
[ $last_rc -eq 0 ] || { echo "test.sh: FAILED: the packages are missing"; exit 1; }

echo "== build and test =="
# With the QEMU stage's guest programs and card writer, so that no stage builds in this folder
# while another stage (the packages) runs beside it.
stage "build" build build all dalvex_usb_guest dalvex_camera_id_guest dalvex_card_files
if [ $last_rc -ne 0 ]; then
  echo "test.sh: FAILED: the build does not build"
  exit 1
fi
stage "test" run_tests build

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
# Line tables (-g1) are all the sanitizers' reports need (function, file, line); full debug
# information costs a tenth of the compile time and most of the link time.
stage "asan build" build build-asan -- -DDALVEX_SANITIZE=ON -DDALVEX_BUILD_BENCH=OFF \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
if [ $last_rc -eq 0 ]; then
  stage "asan test" asan run_tests build-asan
fi

# Side by side: the QEMU guest mostly waits (USB enumeration, time-outs, a camera's restart: 12 s
# of CPU in a minute), the package stage runs one program at a time. Their output comes one after
# the other.
stage_start "qemu usb" scripts/qemu-usb-test.sh
echo "== Debian packages: build, unpack, use from outside the tree, lintian =="
stage "debian packages" scripts/package-test.sh build
echo "== the Linux backend against the kernel's USB stack, under QEMU (beside the packages) =="
stage_wait

echo "== dalvex.dll for Windows (MinGW-w64), its tests under Wine =="
stage "windows" scripts/windows-test.sh

if [ -x scripts/fuzz.sh ]; then
  echo "== bounded fuzz runs =="
  stage "fuzz" scripts/fuzz.sh
fi

echo
printf '%-20s %7s %7s  %s\n' stage seconds 'cpu s' result
printf '%s\n' "${stage_rows[@]}"
cpu_seconds
printf '%-20s %7d %7d\n' total $SECONDS "$cpu_now"
if [ $status -ne 0 ]; then
  echo "test.sh: FAILED"
else
  echo "test.sh: all tests passed"
fi
exit $status
