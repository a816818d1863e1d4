#!/usr/bin/env bash
# Installs the Debian packages that building and running the programs, and the tests, need, when
# they are missing. Sourced by run.sh and test.sh. As root it runs apt-get; otherwise it prints
# the line to run.

# Building the library, Orvane and camsim and running them (run.sh, also without a display), and
# what configuring the tree insists on: the tool (CLI11, OpenSSL's libcrypto, GIO for udisks2) and
# the tests (GoogleTest) are part of every configure, so that one build folder serves run.sh and
# test.sh.
BUILD_PACKAGES=(
  cmake g++ make pkg-config ccache
  libjsoncpp-dev libusbredirparser-dev libwxgtk3.2-dev libgtk-3-dev
  libcli11-dev libssl-dev libglib2.0-dev libgtest-dev
  xvfb xauth fonts-wqy-microhei
)
# What only the tests need (test.sh): the GUI tests' accessibility bus, the map formats' reader,
# the metrics' checker (promtool), the fuzz runs' clang, the Debian package checks (nodejs runs
# the dock's polkit rule, systemd judges its units), the Windows cross build and Wine, QEMU,
# Ansible with its linter (the collection's test), the stand-in udisks2 of the tool's mount tests
# (a private dbus-daemon) and the FAT tools that make camsim's card images without root.
TEST_PACKAGES=(
  libgmock-dev at-spi2-core libatspi2.0-dev dbus-daemon python3-dbusmock gpsbabel
  prometheus
  clang libclang-rt-14-dev
  dpkg-dev file lintian nodejs systemd
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64
  qemu-system-x86 busybox-static cpio
  ansible-core ansible-lint
  dosfstools mtools
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# ensure_packages PACKAGE...: installs those not installed, with one apt-get run.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq || return 1
    apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
  else
    echo "Missing packages. Run as root:"
    echo "  apt-get install -y ${missing[*]}"
    return 1
  fi
}

# Whether this kernel runs 32-bit x86 programs (some virtual machines' kernels are built without
# it): assembles and runs a program that only exits.
kernel_runs_i386() {
  local dir rc=1
  dir=$(mktemp -d)
  if printf '.globl _start\n_start: mov $1, %%eax\n xor %%ebx, %%ebx\n int $0x80\n' |
    as --32 -o "$dir/probe.o" - 2>/dev/null &&
    ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null; then
    "$dir/probe" 2>/dev/null && rc=0
  fi
  rm -rf "$dir"
  return $rc
}

# 32-bit Wine for the tests of the 32-bit DLL: the i386 architecture's wine32, installed only
# where the kernel can run it. Never fails; scripts/windows-test.sh says what did not run.
ensure_wine32() {
  installed wine32:i386 && return 0
  kernel_runs_i386 || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "For the 32-bit Windows tests, run as root:"
    echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y wine32:i386"
    return 0
  fi
  echo "Installing: wine32:i386"
  export DEBIAN_FRONTEND=noninteractive
  { dpkg --add-architecture i386 && apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends wine32:i386; } ||
    echo "wine32:i386 could not be installed; the 32-bit Windows tests will not run"
  return 0
}
