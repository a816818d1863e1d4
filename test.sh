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

# Runs one stage, records its time and result; a failed stage fails the run but not the others.
stage() {
  local name=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  last_rc=$rc
  local result=ok
  [ $rc -eq 0 ] || { result="FAILED ($rc)"; status=1; }
  stage_rows+=("$(printf '%-28s %6d  %s' "$name" $((SECONDS - start)) "$result")")
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
printf '%-28s %6s  %s\n' stage seconds result
printf '%s\n' "${stage_rows[@]}"
printf '%-28s %6d\n' total $SECONDS
if [ $status -ne 0 ]; then
  echo "test.sh: FAILED"
else
  echo "test.sh: all tests passed"
fi
exit $status
