#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the bounded fuzz runs where clang is present.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
ensure_packages
ensure_wine32

JOBS=${JOBS:-$(nproc)}
status=0

build_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" --timeout 600) || status=1
}

echo "== build and test =="
build_and_test build
echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test build-asan -DDALVEX_SANITIZE=ON -DDALVEX_BUILD_BENCH=OFF

echo "== the Linux backend against the kernel's USB stack, under QEMU =="
scripts/qemu-usb-test.sh || status=1

echo "== Debian packages: build, unpack, use from outside the tree, lintian =="
scripts/package-test.sh build || status=1

echo "== dalvex.dll for Windows (MinGW-w64), its tests under Wine =="
scripts/windows-test.sh || status=1

if [ -x scripts/fuzz.sh ]; then
  echo "== bounded fuzz runs =="
  scripts/fuzz.sh || status=1
fi

if [ $status -ne 0 ]; then
  echo "test.sh: FAILED"
else
  echo "test.sh: all tests passed"
fi
exit $status
