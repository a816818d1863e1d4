#!/usr/bin/env bash
# Compiles the library's sources for Windows (syntax and types only) when the MinGW-w64 compiler
# is installed (Debian: g++-mingw-w64-x86-64-posix). Skips quietly otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true)
if [ -z "$cxx" ]; then
  echo "check-windows: skipped (no MinGW-w64 compiler)"
  exit 0
fi
mapfile -t sources < <(find devicelib/src -name '*.cpp' \
  ! -path '*/platform/linux_*' ! -path '*/platform/emulated_drive.cpp' ! -path '*/gps/*' | sort)
"$cxx" -std=c++20 -DDALVEX_BUILDING -Wall -Wextra -Werror -fsyntax-only \
  -Idevicelib/include -Idevicelib/src $(pkg-config --cflags-only-I jsoncpp 2>/dev/null) "${sources[@]}"
echo "check-windows: ${#sources[@]} library sources compile for Windows"
