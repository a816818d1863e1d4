#!/usr/bin/env bash
# Cross-compiles dalvex.dll for 64-bit and 32-bit Windows with MinGW-w64 and runs the Windows
# tests: the export table of each DLL and, under Wine, the library's unit, API and GPS tests
# (cameras served in-process on loopback TCP ports) and the programs of devicelib/tests/windows
# against a camsim of the Linux build (LINUX_BUILD, default build) serving a camera over TCP.
# The x86_64 tests run while the i686 DLL compiles.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
linux_build=${LINUX_BUILD:-build}
jsoncpp=$(scripts/fetch-jsoncpp-source.sh build-deps/jsoncpp)
. scripts/deps.sh

# camsim of the Linux build, brought up to date so that the Wine runs meet the current emulator.
[ -f "$linux_build/CMakeCache.txt" ] ||
  cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON >/dev/null
cmake --build "$linux_build" -j "$JOBS" --target camsim >/dev/null
log=$(mktemp)
"$linux_build/emulator/camsim" --tcp 0 --model 48 --serial WINE123456 \
  --login-password 654321 2>"$log" &
camsim_pid=$!
trap 'kill $camsim_pid 2>/dev/null || true; wait $camsim_pid 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do grep -q ' on tcp:' "$log" && break; sleep 0.1; done
DALVEX_TEST_CAMERA=$(sed -n 's/.* on \(tcp:[^ ]*\)$/\1/p' "$log")
if [ -z "$DALVEX_TEST_CAMERA" ]; then
  echo "windows-test.sh: camsim did not start serving on a TCP port:" >&2
  cat "$log" >&2
  exit 1
fi
export DALVEX_TEST_CAMERA
echo "-- camsim serves the test camera on $DALVEX_TEST_CAMERA"

# Without debug information (-g0): no test reads it, and it costs a third of the compile time of
# a test file and most of the static links'. The code is RelWithDebInfo's (-O2 -DNDEBUG).
build_arch() {
  local arch=$1 dir=build-win-$1 run_under_wine=ON
  echo "-- dalvex.dll for $arch"
  [ "$arch" = i686 ] && ! kernel_runs_i386 && run_under_wine=OFF
  cmake --no-warn-unused-cli -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$arch.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON -DDALVEX_BUILD_BENCH=OFF \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" \
    -DORVANE_BUILD_GUI=OFF -DDALVEX_JSONCPP_SOURCE_DIR="$jsoncpp" \
    -DDALVEX_RUN_UNDER_WINE=$run_under_wine >/dev/null &&
    cmake --build "$dir" -j "$JOBS"
}

test_arch() {
  local arch=$1 dir=build-win-$1 wine rc=0 start=$SECONDS
  wine=$(sed -n 's/^DALVEX_WINE:FILEPATH=\(\/.*\)$/\1/p' "$dir/CMakeCache.txt")
  if grep -q '^DALVEX_RUN_UNDER_WINE:.*=OFF$' "$dir/CMakeCache.txt"; then
    echo "-- i686: the test programs are built but NOT run: this machine's kernel cannot run"
    echo "   32-bit x86 programs, which 32-bit Wine is. The DLL's export table is checked."
  elif [ -n "$wine" ]; then
    echo "-- $arch under $wine: dalvex_unit_tests, dalvex_api_tests, dalvex_gps_tests and the"
    echo "   programs of devicelib/tests/windows; left out: unit/linux_*.cpp (the Linux backend)"
  elif [ "$arch" = i686 ]; then
    echo "-- i686: the test programs are built but NOT run: 32-bit Wine (package wine32 of the"
    echo "   i386 architecture, which test.sh installs where the kernel runs 32-bit programs) is"
    echo "   not installed. The DLL's export table is checked."
  else
    echo "-- $arch: the test programs are built but NOT run: wine64 is not installed"
    rc=1
  fi
  (cd "$dir" && ctest --output-on-failure --timeout 300) || rc=1
  echo "-- $arch: tests took $((SECONDS - start)) s"
  return $rc
}

# The x86_64 tests under Wine (one program at a time, mostly one core) run while i686 compiles;
# their output follows the i686 build's. The i686 tests then have the camera to themselves.
status=0
build_arch x86_64
tests_log=$(mktemp)
trap 'kill $camsim_pid 2>/dev/null || true; wait $camsim_pid 2>/dev/null || true
      rm -f "$log" "$tests_log"' EXIT
test_arch x86_64 >"$tests_log" 2>&1 &
tests_pid=$!
build_arch i686 || { wait $tests_pid; cat "$tests_log"; exit 1; }
wait $tests_pid || status=1
cat "$tests_log"
test_arch i686 || status=1
exit $status
