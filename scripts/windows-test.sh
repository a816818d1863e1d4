#!/usr/bin/env bash
# Cross-compiles dalvex.dll for 64-bit and 32-bit Windows with MinGW-w64 and runs the Windows
# tests: the export table of each DLL, and under Wine the programs of devicelib/tests/windows.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
jsoncpp=$(scripts/fetch-jsoncpp-source.sh build-deps/jsoncpp)
status=0
for arch in x86_64 i686; do
  dir=build-win-$arch
  echo "-- dalvex.dll for $arch"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$arch.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON -DDALVEX_BUILD_BENCH=OFF \
    -DORVANE_BUILD_GUI=OFF -DDALVEX_JSONCPP_SOURCE_DIR="$jsoncpp" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" --timeout 300) || status=1
done
exit $status
