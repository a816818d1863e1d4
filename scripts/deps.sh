#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Sourced by run.sh and test.sh. As root it runs apt-get; otherwise it prints the line to run.
DEB_PACKAGES=(
  cmake g++ make pkg-config
  libjsoncpp-dev libgtest-dev libgmock-dev libusbredirparser-dev
  libwxgtk3.2-dev libgtk-3-dev xvfb xauth fonts-wqy-microhei
  at-spi2-core libatspi2.0-dev dbus-daemon
  clang libclang-rt-14-dev ccache
  libcli11-dev gpsbabel
  dpkg-dev file lintian
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64
)

ensure_packages() {
  local missing=()
  local p
  for p in "${DEB_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
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
