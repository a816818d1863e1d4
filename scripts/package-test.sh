#!/usr/bin/env bash
# Builds the Debian packages from a configured and built tree (default: build) and checks them
# without changing the host: they unpack into a throwaway root with the expected files, a C
# program outside the tree builds against that root with pkg-config and with find_package(Dalvex)
# and runs, and lintian finds no errors (its warnings are printed).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"; echo "package-test: cpack failed"; exit 1; }
mapfile -t debs < <(find "$work/debs" -maxdepth 1 -name '*.deb' | sort)
echo "package-test: built ${debs[*]##*/}"

root="$work/root"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done

expected=(
  usr/lib/libdalvex.so.1 usr/lib/libdalvex.so usr/include/dalvex.h usr/lib/pkgconfig/dalvex.pc
  usr/lib/cmake/Dalvex/DalvexConfig.cmake usr/lib/cmake/Dalvex/DalvexTargets.cmake
  usr/bin/orvane usr/bin/camsim usr/share/applications/orvane.desktop
  usr/share/icons/hicolor/scalable/apps/orvane.svg
  usr/share/metainfo/com.velmora.orvane.metainfo.xml
  usr/lib/udev/rules.d/70-orvane-camera.rules usr/lib/udev/dalvex-camera-id
)
dock=(
  usr/lib/systemd/system/dalvex-dock.service usr/lib/systemd/system/dalvex-dock.path
  usr/lib/dalvex/dalvex-dock-requests usr/lib/udev/rules.d/71-dalvex-dock.rules
  usr/lib/sysusers.d/dalvex.conf usr/share/polkit-1/rules.d/50-dalvex-dock.rules etc/dalvex/dock.conf
)
if [ -x "$build/cli/dalvex" ]; then
  expected+=(usr/bin/dalvex usr/share/man/man1/dalvex.1.gz usr/share/bash-completion/completions/dalvex
    "${dock[@]}")
fi
if [ -x "$build/cli/dalvex" ]; then
  expected+=(usr/lib/systemd/system/dalvex-metrics.service usr/lib/systemd/system/dalvex-metrics.timer)
fi
status=0
for file in "${expected[@]}"; do
  if [ -e "$root/$file" ]; then
    echo "  /$file"
  else
    echo "package-test: missing /$file"; status=1
  fi
done

# The dock: its files in the orvane package's listing, its settings a conffile, its units clean
# for systemd-analyze verify and well confined for systemd-analyze security, its user made by
# systemd-sysusers. Both judge a root, the packages unpacked with a copy of the host's systemd
# targets (paths.target, ...) beside the units: verify checks that the units' programs are there
# (/usr/bin/dalvex, /usr/lib/dalvex/dalvex-dock-requests) and their manual page (MANPATH into it).
if [ -x "$build/cli/dalvex" ]; then
  orvane_deb=$(printf '%s\n' "${debs[@]}" | grep '/orvane_')
  listing=$(dpkg-deb -c "$orvane_deb")
  for file in "${dock[@]}"; do
    grep -q " \./$file\$" <<<"$listing" || { echo "package-test: /$file not in orvane"; status=1; }
  done
  dpkg-deb --ctrl-tarfile "$orvane_deb" | tar -xO ./conffiles 2>/dev/null | grep -qx /etc/dalvex/dock.conf ||
    { echo "package-test: /etc/dalvex/dock.conf is not a conffile"; status=1; }
  units=$root/usr/lib/systemd/system
  cp -n /lib/systemd/system/*.target "$units/"
  if MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" \
    dalvex-dock.service dalvex-dock.path dalvex-metrics.service dalvex-metrics.timer; then
    echo "-- systemd-analyze verify: the dock's and the metrics' units are clean"
  else
    echo "package-test: systemd-analyze verify finds faults in the dock's or the metrics' units"; status=1
  fi
  # 0.7 today; above 1.0 a change weakened the confinement.
  exposure=$(systemd-analyze security --offline=yes --root="$root" --threshold=10 \
    dalvex-dock.service 2>&1) || { echo "$exposure"; status=1; }
  echo "-- systemd-analyze security: $(grep -o 'Overall exposure level.*' <<<"$exposure")"
  systemd-sysusers --root="$root" >/dev/null 2>&1
  if grep -q '^dalvex:[^:]*:[0-9]*:[0-9]*:Dalvex dock:/var/lib/dalvex:' "$root/etc/passwd" &&
    grep -q '^camera:.*:.*dalvex' "$root/etc/group"; then
    echo "-- systemd-sysusers: user dalvex, in group camera"
  else
    echo "package-test: systemd-sysusers did not make the user dalvex in group camera"; status=1
  fi
fi

# The program links with the installed library only, and runs against it.
consumer=packaging/tests
export DALVEX_DRIVES=
flags=$(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --cflags --libs dalvex)
cc -std=c11 -Wall -Werror -o "$work/consumer-pc" "$consumer/consumer.c" $flags
echo "-- built with pkg-config --cflags --libs dalvex:"
LD_LIBRARY_PATH="$root/usr/lib" "$work/consumer-pc" || status=1
cmake -S "$consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
echo "-- built with find_package(Dalvex):"
LD_LIBRARY_PATH="$root/usr/lib" "$work/consumer-cmake/consumer" || status=1

# lintian: errors fail the check, warnings are listed.
lintian_out=$(lintian --allow-root --tag-display-limit 0 "${debs[@]}" 2>&1 || true)
if [ -n "$lintian_out" ]; then
  echo "$lintian_out" | sed 's/^/  lintian: /'
fi
if echo "$lintian_out" | grep -q '^E: '; then
  echo "package-test: lintian reports errors"; status=1
fi
[ $status -eq 0 ] && echo "package-test: packages pass"
exit $status
