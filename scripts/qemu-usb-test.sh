#!/usr/bin/env bash
# The Linux backend against the real kernel USB stack: boots Debian's own kernel under QEMU
# (software emulation), attaches two cameras (camsim) as USB mass-storage devices through QEMU's
# usb-redir device on an xHCI controller, and a plain USB stick (QEMU's usb-storage with a blank
# image) after them, and runs devicelib/tests/usb_guest inside the guest, with the udev rule's
# helper (dalvex-camera-id) and an unprivileged user in the group camera. Both cameras' card is
# one small FAT32 image (camsim --card-image) made here without root; after the switch to mass
# storage the guest mounts it read-only and offloads it with the tool (dalvex offload), which
# tells the camera copy-finished; camsim's state file then counts it. The guest
# prints one line per check and "USBTEST RESULT: N passed, N failed"; that line is the verdict
# (QEMU's own exit code says nothing about the guest).
#
#   scripts/qemu-usb-test.sh [BUILD_DIR]      (default: build; configured here when missing)
#
# Needs qemu-system-x86, busybox-static, cpio, dosfstools and mtools (installed here when run as
# root) and the
# Debian kernel package (fetched with apt-get download, unpacked, never installed; kept in
# BUILD_DIR/qemu-usb so that later runs are fast). Skips, with exit code 0, only where QEMU
# cannot be run: the tools cannot be had, or no kernel package can be had.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-${BUILD_DIR:-build}}
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
WORK=$BUILD/qemu-usb
JOBS=${JOBS:-2}

# What the emulated cameras are; the guest checks against the same values.
SERIAL_1=USBCAM0042
SERIAL_2=USBCAM0043
PASSWORD=314159
# The card image: over 1 GiB, since the library takes a smaller disk for the command disk (a
# camera's card is never that small); the file is sparse, and camsim reads only what the guest
# asks for.
CARD_MIB=1100
STICK_MIB=64
# The unprivileged user: its own group and the supplementary group camera.
USER_ID=1000
USER_GID=1000
CAMERA_GID=1001

say() { echo "qemu-usb-test: $*"; }
skip() {
  say "SKIPPED: $*"
  exit 0
}
fail() {
  say "FAILED: $*"
  exit 1
}

# ---- tools ----------------------------------------------------------------------------------
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in qemu-system-x86 busybox-static cpio dosfstools mtools; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    skip "needs ${missing[*]} (as root: apt-get install -y ${missing[*]})"
  fi
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    apt-get update -qq >/dev/null 2>&1
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
      skip "cannot install ${missing[*]}"
  fi
fi
QEMU=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 not found"
QBOOT=/usr/share/qemu/qboot.rom
[ -f "$QBOOT" ] || skip "$QBOOT not found"
"$QEMU" -device help 2>/dev/null | grep -q '"usb-redir"' || skip "this QEMU has no usb-redir device"
BUSYBOX=/bin/busybox

# ---- kernel ---------------------------------------------------------------------------------
mkdir -p "$WORK/kernels"
KPKG=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
if [ -z "$KPKG" ]; then
  # No package lists: a kernel fetched before will do.
  KPKG=$(ls "$WORK/kernels" 2>/dev/null | sort -V | tail -1)
  [ -n "$KPKG" ] || skip "cannot resolve the kernel package (apt-cache depends linux-image-amd64)"
fi
KDIR=$WORK/kernels/$KPKG
if [ ! -f "$KDIR/.unpacked" ]; then
  say "fetching $KPKG"
  rm -rf "$KDIR" "$WORK/download"
  mkdir -p "$WORK/download"
  if (cd "$WORK/download" && apt-get download -qq "$KPKG" >/dev/null 2>&1); then
    mkdir -p "$KDIR"
    dpkg-deb -x "$WORK"/download/"$KPKG"_*.deb "$KDIR" || fail "cannot unpack $KPKG"
    touch "$KDIR/.unpacked"
  else
    # Offline, with a newer kernel listed than the one kept: the kept one will do.
    KPKG=$(ls "$WORK/kernels" 2>/dev/null | sort -V | tail -1)
    [ -n "$KPKG" ] || skip "cannot download the kernel package"
    KDIR=$WORK/kernels/$KPKG
    say "cannot download the newest kernel; using $KPKG"
  fi
  rm -rf "$WORK/download"
fi
VMLINUZ=$(ls "$KDIR"/boot/vmlinuz-* 2>/dev/null | head -1)
[ -n "$VMLINUZ" ] || fail "no kernel image in $KPKG"
KVER=${VMLINUZ##*/vmlinuz-}
MODDIR=$KDIR/lib/modules/$KVER

# ---- programs -------------------------------------------------------------------------------
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVEX_WERROR=ON >/dev/null ||
    fail "cannot configure $BUILD"
fi
cmake --build "$BUILD" -j "$JOBS" --target camsim dalvex_usb_guest dalvex_camera_id_guest \
  dalvex_cli dalvex_card_files >/dev/null ||
  fail "cannot build camsim, the guest programs, the tool and dalvex_card_files in $BUILD"
CAMSIM=$BUILD/emulator/camsim
GUEST=$BUILD/devicelib/tests/dalvex_usb_guest
CAMERA_ID=$BUILD/devicelib/tests/dalvex_camera_id_guest
TOOL=$BUILD/cli/dalvex

# ---- card -----------------------------------------------------------------------------------
# The card's files, their sums as sha256sum prints them (the guest compares the archive's
# SHA256SUMS with them), and the FAT32 image they go into, all without root.
rm -rf "$WORK/card" "$WORK/card.img"
"$BUILD/devicelib/tests/dalvex_card_files" "$WORK/card" || fail "cannot write the card's files"
(cd "$WORK/card" && find . -type f -printf '%P\n' | LC_ALL=C sort |
  while IFS= read -r f; do sha256sum "$f"; done) >"$WORK/card.sha256" ||
  fail "cannot sum the card's files"
PATH=$PATH:/usr/sbin:/sbin mkfs.fat -C -F 32 -n CAMCARD "$WORK/card.img" $((CARD_MIB * 1024)) \
  >/dev/null 2>&1 && mcopy -s -m -i "$WORK/card.img" "$WORK"/card/* :: ||
  fail "cannot make the card's image"

# ---- initramfs ------------------------------------------------------------------------------
# Modules in load order: the USB core and xHCI, the SCSI core, usb-storage, and sd with what it
# needs for protection information, then sg. One that is missing is built into this kernel.
# Then FAT with its character sets, for the card.
MODULES="usb-common usbcore xhci-hcd xhci-pci scsi_common scsi_mod usb-storage crct10dif_common
crct10dif_generic crc-t10dif crc64 crc64-rocksoft t10-pi sd_mod sg fat vfat nls_cp437 nls_ascii
nls_utf8"
INITRAMFS=$WORK/initramfs
rm -rf "$INITRAMFS"
mkdir -p "$INITRAMFS"/{bin,dev,proc,sys,modules,etc,usr/lib/udev,root,tmp}
cp "$BUSYBOX" "$INITRAMFS/bin/busybox"
cp "$GUEST" "$INITRAMFS/bin/usb_guest"
cp "$CAMERA_ID" "$INITRAMFS/usr/lib/udev/dalvex-camera-id"
cp "$WORK/card.sha256" "$INITRAMFS/card.sha256"
# The tool as it is built (without its debugging sections, most of its size), with the shared
# libraries it names and their loader at their paths.
strip --strip-debug -o "$INITRAMFS/bin/dalvex" "$TOOL" || fail "cannot copy the tool"
for lib in $(ldd "$TOOL" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'); do
  mkdir -p "$INITRAMFS$(dirname "$lib")"
  cp -L "$lib" "$INITRAMFS$lib" || fail "cannot copy $lib for the tool"
done
printf 'root:x:0:0:root:/:/bin/sh\noperator:x:%d:%d:operator:/:/bin/sh\n' "$USER_ID" "$USER_GID" \
  >"$INITRAMFS/etc/passwd"
printf 'root:x:0:\ndisk:x:6:\noperator:x:%d:\ncamera:x:%d:operator\n' "$USER_GID" "$CAMERA_GID" \
  >"$INITRAMFS/etc/group"
n=10
for m in $MODULES; do
  f=$(find "$MODDIR" -name "$m.ko" -o -name "$m.ko.xz" -o -name "$m.ko.zst" | head -1)
  [ -n "$f" ] || continue
  target=$INITRAMFS/modules/$n-$m.ko
  case $f in
    *.xz) xz -dc "$f" >"$target" ;;
    *.zst) zstd -qdc "$f" >"$target" ;;
    *) cp "$f" "$target" ;;
  esac
  n=$((n + 1))
done
cat >"$INITRAMFS/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# New USB devices wait unauthorized (no driver binds them) until let in below.
for m in /modules/*.ko; do
  case \$m in
    *usbcore.ko) insmod \$m authorized_default=0 ;;
    *usb-storage.ko) insmod \$m delay_use=0 ;;
    *) insmod \$m ;;
  esac
done
usb_devices() { ls -d /sys/bus/usb/devices/[0-9]*-[0-9]* 2>/dev/null | grep -v ':'; }
# Waits (at most a minute; enumeration under emulation takes a few seconds) until the SCSI generic
# nodes of USB disks number \$1.
wait_sg() {
  i=0
  while [ \$i -lt 300 ] && [ "\$(ls -d /sys/block/sd*/device/scsi_generic/sg* 2>/dev/null | wc -l)" -lt \$1 ]; do
    usleep 200000
    i=\$((i + 1))
  done
}
# The stick's disk must come after the cameras' (the checks know the cameras as D: and E:), but a
# redirected device enumerates slower than QEMU's own: the cameras are let in first, the stick
# (QEMU's vendor id 46f4) once their disks are there, then every device that comes later (a
# camera back from its restart).
i=0
while [ \$i -lt 300 ] && [ "\$(usb_devices | wc -l)" -lt 3 ]; do
  usleep 200000
  i=\$((i + 1))
done
for d in \$(usb_devices); do
  [ "\$(cat \$d/idVendor)" = 46f4 ] || echo 1 >\$d/authorized
done
wait_sg 2
for d in \$(usb_devices); do echo 1 >\$d/authorized; done
for h in /sys/bus/usb/devices/usb*; do echo 1 >\$h/authorized_default; done
wait_sg 3
echo "USBTEST disks: \$(ls /sys/block | tr '\n' ' ')"
/bin/usb_guest $SERIAL_1 $SERIAL_2 $PASSWORD $CARD_MIB $STICK_MIB /usr/lib/udev/dalvex-camera-id \\
  $USER_ID $USER_GID $CAMERA_GID /bin/dalvex /card.sha256
echo "USBTEST exit \$?"
reboot -f
EOF
chmod +x "$INITRAMFS/init"
(cd "$INITRAMFS" && find . | cpio -o -H newc --quiet | gzip -1) >"$WORK/initrd.gz" ||
  fail "cannot build the initramfs"

# ---- run ------------------------------------------------------------------------------------
SOCKDIR=$(mktemp -d /tmp/qemu-usb.XXXXXX)
CAMSIM_PIDS=()
# camsim writes its state file once more on its way out.
stop_cameras() {
  local pid
  for pid in "${CAMSIM_PIDS[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  CAMSIM_PIDS=()
}
cleanup() {
  stop_cameras
  rm -rf "$SOCKDIR"
}
trap cleanup EXIT

# The cameras listen first: QEMU connects to each socket once, when it starts.
for n in 1 2; do
  serial_var=SERIAL_$n
  rm -f "$WORK/camsim$n.state"
  "$CAMSIM" --usbredir "$SOCKDIR/camera$n.sock" --serial "${!serial_var}" \
    --login-password "$PASSWORD" --card-image "$WORK/card.img" --reboot-ms 2000 \
    --usb-silent 0xF2FD --state "$WORK/camsim$n.state" 2>"$WORK/camsim$n.log" &
  CAMSIM_PIDS+=($!)
done
for n in 1 2; do
  for _ in $(seq 50); do
    [ -S "$SOCKDIR/camera$n.sock" ] && break
    sleep 0.1
  done
  [ -S "$SOCKDIR/camera$n.sock" ] ||
    fail "camsim did not listen on $SOCKDIR/camera$n.sock ($(cat "$WORK/camsim$n.log"))"
done

# The stick: a blank image. The guest lets it in after the cameras, so that it is the last disk.
rm -f "$WORK/stick.img"
truncate -s "${STICK_MIB}M" "$WORK/stick.img" || fail "cannot make the stick's image"

say "booting $KPKG under QEMU (TCG) with two cameras and a stick on xHCI"
started=$(date +%s)
timeout 300 "$QEMU" -nodefaults -machine pc -accel tcg -m 256 -smp 1 \
  -bios "$QBOOT" -display none -serial stdio -no-reboot \
  -kernel "$VMLINUZ" -initrd "$WORK/initrd.gz" \
  -append "console=ttyS0 loglevel=4 panic=-1 usbcore.authorized_default=0" \
  -device qemu-xhci,id=xhci \
  -chardev socket,id=camera1,path="$SOCKDIR/camera1.sock" \
  -device usb-redir,chardev=camera1,bus=xhci.0 \
  -chardev socket,id=camera2,path="$SOCKDIR/camera2.sock" \
  -device usb-redir,chardev=camera2,bus=xhci.0 \
  -drive if=none,id=stick,file="$WORK/stick.img",format=raw \
  -device usb-storage,drive=stick,bus=xhci.0 \
  </dev/null >"$WORK/console.log" 2>&1
qemu_status=$?
say "guest ran for $(($(date +%s) - started)) s (QEMU exit $qemu_status); console in $WORK/console.log"
stop_cameras

# ---- verdict --------------------------------------------------------------------------------
tr -d '\r' <"$WORK/console.log" | grep -aE '^(ok|not ok) - ' | sed 's/^/  /'
result=$(tr -d '\r' <"$WORK/console.log" | grep -aoE 'USBTEST RESULT: [0-9]+ passed, [0-9]+ failed' | tail -1)
if [ -z "$result" ]; then
  tail -40 "$WORK/console.log" | sed 's/^/  | /'
  say "0 passed, 1 failed"
  fail "the guest printed no result line"
fi
passed=$(echo "$result" | awk '{ print $3 }')
failed=$(echo "$result" | awk '{ print $5 }')
# On the host: the one camera that was offloaded counted one copy-finished, the other none.
counts=$(for n in 1 2; do
  grep -o '"copyFinished" *: *[0-9]*' "$WORK/camsim$n.state" 2>/dev/null | grep -o '[0-9]*$'
done | sort | tr '\n' ' ')
if [ "$counts" = "0 1 " ]; then
  echo "  ok - camsim's state files count one copy-finished, on one camera"
  passed=$((passed + 1))
else
  echo "  not ok - camsim's state files count one copy-finished, on one camera: $counts"
  failed=$((failed + 1))
fi
say "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ] || fail "checks failed in the guest"
exit 0
