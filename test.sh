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

times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
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

packages() {
  ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" && ensure_wine32
}

build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON "$@" >/dev/null &&
    cmake --build "$dir" -j "$JOBS"
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
stage "build" build build
if [ $last_rc -ne 0 ]; then
  echo "test.sh: FAILED: the build does not build"
  exit 1
fi
stage "test" run_tests build

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
stage "asan build" build build-asan -DDALVEX_SANITIZE=ON -DDALVEX_BUILD_BENCH=OFF
if [ $last_rc -eq 0 ]; then
  stage "asan test" asan run_tests build-asan
fi

echo "== the Linux backend against the kernel's USB stack, under QEMU =="
stage "qemu usb" scripts/qemu-usb-test.sh

echo "== Debian packages: build, unpack, use from outside the tree, lintian =="
stage "debian packages" scripts/package-test.sh build

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
