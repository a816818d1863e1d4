#!/usr/bin/env bash
# Fetches the sources of Debian's jsoncpp (source package libjsoncpp of the release the machine
# runs) for the Windows build, which compiles them with MinGW-w64: Debian packages jsoncpp for
# Linux only. Uses apt-get with a private list folder, so the host's apt setup is not changed.
#   scripts/fetch-jsoncpp-source.sh DIR   prints the folder that holds the unpacked sources
set -euo pipefail
dest=$(mkdir -p "$1" && realpath "$1")
if [ -f "$dest/src/lib_json/json_value.cpp" ]; then
  echo "$dest"
  exit 0
fi
. /etc/os-release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $VERSION_CODENAME main" \
  >"$work/sources.list"
cat >"$work/apt.conf" <<CONF
Dir::Etc::sourcelist "$work/sources.list";
Dir::Etc::sourceparts "$work/parts";
Dir::State::lists "$work/lists";
Dir::Cache "$work/cache";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$work/apt.conf"
apt-get -qq update >&2
(cd "$work" && apt-get -qq source --download-only libjsoncpp >&2)
tar -xzf "$work"/libjsoncpp_*.orig.tar.gz -C "$work"
rm -rf "$dest"
mv "$work"/jsoncpp-*/ "$dest"
echo "$dest"
