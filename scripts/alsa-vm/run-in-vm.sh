#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs GUEST_SCRIPT inside a QEMU (TCG) guest that has a real ALSA sequencer:
# Debian 12's kernel + busybox initramfs, with snd-seq, snd-seq-dummy ("Midi
# Through") and snd-virmidi (VirMIDI ports over /dev/snd/midiC?D?) loaded.
#
# Usage: run-in-vm.sh GUEST_SCRIPT [FILE_OR_DIR...]
#   Each FILE_OR_DIR is copied into the guest at the same absolute path, with
#   every shared library its ELF files need (ldd). The guest script runs as
#   root from /, with busybox (call GNU date as /usr/bin/date: busybox sh
#   prefers its own applets), aconnect, aplaymidi, arecordmidi, aseqdump,
#   amidi, and the harness's seqcat and rawput (tools/*.c). Its output appears on stdout (with the kernel's console);
#   the exit status is the guest script's (marker line GUEST-EXIT=<n>).
#   124: qemu timed out; 125: harness error / no marker.
# Environment:
#   ALSA_VM_TIMEOUT   seconds before qemu is killed (default 600)
#   ALSA_VM_MODULES   modules to modprobe, in order (default: see init)
#   ALSA_VM_TTY=1     run the script on the console (a tty) instead of a pipe
#   ALSA_VM_STRIP=1   strip debug info from copied ELF files (smaller initrd)
#   ALSA_VM_LOG=FILE  also keep the whole console in FILE
#   ALSA_VM_MEM, ALSA_VM_SMP  (default 2048, 2)
#   ALSA_VM_APPEND    extra kernel command line
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)          # init and tools/*.c
CACHE=${ALSA_VM_CACHE:-/var/cache/alsa-vm}    # kernel, base image, runs
mkdir -p "$CACHE"
# Debian 12's current kernel (the one linux-image-amd64 points at), unless ALSA_VM_KVER names one.
KVER=${ALSA_VM_KVER:-$( (ls "$CACHE"/kernel/boot 2>/dev/null || true) | sed -n 's/^vmlinuz-//p' | head -1)}
KROOT=$CACHE/kernel
BASE_CPIO=$CACHE/base.cpio
TIMEOUT=${ALSA_VM_TIMEOUT:-600}

die() { echo "run-in-vm.sh: $*" >&2; exit 125; }
[ $# -ge 1 ] || { sed -n '2,22p' "$0" >&2; exit 125; }
GUEST_SCRIPT=$1; shift
[ -r "$GUEST_SCRIPT" ] || die "cannot read $GUEST_SCRIPT"
need=()
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
command -v cpio >/dev/null || need+=(cpio)
command -v depmod >/dev/null || need+=(kmod)
[ -x /bin/busybox ] || need+=(busybox-static)
command -v aseqdump >/dev/null || need+=(alsa-utils)
[ -e /usr/include/alsa/asoundlib.h ] || need+=(libasound2-dev)
command -v gcc >/dev/null || need+=(gcc)
if [ ${#need[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null 2>&1 ||
    { $sudo apt-get update >/dev/null 2>&1 && $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null; } ||
    die "cannot install ${need[*]}"
fi
kernel_of_the_day() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: linux-image-\([0-9][^ ]*-amd64\)$/\1/p' | head -1; }
[ -n "$KVER" ] || KVER=$(kernel_of_the_day)
[ -n "$KVER" ] || { apt-get update >/dev/null 2>&1 || true; KVER=$(kernel_of_the_day); }
[ -n "$KVER" ] || die "no Debian kernel package found"
KDEB_PKG=linux-image-$KVER
VMLINUZ=$KROOT/boot/vmlinuz-$KVER
VMLINUX=$CACHE/vmlinux-$KVER   # uncompressed ELF: qemu boots it via PVH, no xz decompression under TCG

is_elf() { [ -f "$1" ] && [ "$(head -c4 "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]; }

# copy_with_libs STAGE PATH: PATH (file, dir or symlink) at the same path under
# STAGE, plus the shared libraries of each ELF file in it.
copy_with_libs() {
  local stage=$1 src=$2 f lib
  src=$(realpath -s "$src")
  mkdir -p "$stage$(dirname "$src")"
  if [ -d "$src" ] && [ ! -L "$src" ]; then
    mkdir -p "$stage$src"
    cp -a "$src/." "$stage$src/"
  else
    cp -aL "$src" "$stage$src"
  fi
  while IFS= read -r -d '' f; do
    is_elf "$f" || continue
    if [ -n "${ALSA_VM_STRIP:-}" ] && [ "$stage" != "$CACHE/stage-base" ]; then
      objcopy --strip-debug "$f" 2>/dev/null || true
    fi
    # ldd of the host copy (same path) so $ORIGIN rpaths resolve the same way
    local orig=${f#"$stage"}
    [ -e "$orig" ] || orig=$f
    ldd "$orig" 2>/dev/null | awk '/=> \//{print $3} /^\t\//{print $1}' | while read -r lib; do
      [ -e "$stage$lib" ] && continue
      mkdir -p "$stage$(dirname "$lib")"
      cp -L "$lib" "$stage$lib"
    done
  done < <(find "$stage$src" -type f -print0)
}

build_base() {
  local st=$CACHE/stage-base
  rm -rf "$st"; mkdir -p "$st"
  if [ ! -e "$VMLINUZ" ]; then
    mkdir -p "$CACHE/deb"
    (cd "$CACHE/deb" && apt-get download "$KDEB_PKG") || die "apt-get download $KDEB_PKG failed"
    dpkg-deb -x "$CACHE"/deb/${KDEB_PKG}_*.deb "$KROOT"
  fi
  if [ ! -s "$VMLINUX" ]; then
    python3 -c 'import lzma,sys; d=open(sys.argv[1],"rb").read(); i=d.find(b"\xfd7zXZ\x00"); open(sys.argv[2],"wb").write(lzma.LZMADecompressor().decompress(d[i:]))' "$VMLINUZ" "$VMLINUX"
  fi
  mkdir -p "$st"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,run,root,etc,guest}
  cp /bin/busybox "$st/bin/busybox"
  local a
  for a in $(/bin/busybox --list-full); do
    [ -e "$st/$a" ] || ln -s /bin/busybox "$st/$a"
  done
  # sound modules only (uncompressed .ko in Debian 12), then modules.dep for them
  local m=lib/modules/$KVER
  mkdir -p "$st/$m"
  (cd "$KROOT/$m" && cp --parents kernel/sound/soundcore.ko kernel/sound/core/*.ko kernel/sound/core/seq/*.ko \
     kernel/sound/drivers/snd-virmidi.ko kernel/sound/drivers/snd-dummy.ko modules.builtin modules.builtin.modinfo modules.order "$st/$m/")
  depmod -b "$st" "$KVER"
  # independent ALSA clients + GNU date (busybox date has no %N)
  local b
  for b in /usr/bin/aconnect /usr/bin/aplaymidi /usr/bin/arecordmidi /usr/bin/aseqdump /usr/bin/amidi /usr/bin/date; do
    rm -f "$st$b"; copy_with_libs "$st" "$b"
  done
  # harness tools (tools/*.c): seqcat = independent sequencer reader, rawput =
  # rawmidi writer that drains after each 256-byte chunk (see README)
  local t
  for t in seqcat rawput; do
    gcc -O2 -Wall -o "$CACHE/$t" "$HERE/tools/$t.c" -lasound || die "cannot build tools/$t"
    mkdir -p "$st/usr/local/bin"; cp "$CACHE/$t" "$st/usr/local/bin/$t"
  done
  mkdir -p "$st/usr/share/alsa"
  cp -a /usr/share/alsa/alsa.conf /usr/share/alsa/cards "$st/usr/share/alsa/"
  echo 'root:x:0:0:root:/root:/bin/sh' >"$st/etc/passwd"
  echo 'root:x:0:' >"$st/etc/group"
  install -m755 "$HERE/init" "$st/init"
  (cd "$st" && find . | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) >"$BASE_CPIO.tmp"
  mv "$BASE_CPIO.tmp" "$BASE_CPIO"
  echo "$KVER" >"$BASE_CPIO.kver"
}

if [ ! -s "$VMLINUX" ] || [ ! -s "$BASE_CPIO" ] || [ "$HERE/init" -nt "$BASE_CPIO" ] || [ "$0" -nt "$BASE_CPIO" ] ||
   [ "$(cat "$BASE_CPIO.kver" 2>/dev/null)" != "$KVER" ]; then
  build_base
fi

# per-run overlay: the guest script, its settings, the files and their libraries
WORK=$(mktemp -d "$CACHE/run.XXXXXX")
cleanup() { rm -rf "$WORK"; }
trap cleanup EXIT
ST=$WORK/stage
mkdir -p "$ST/guest"
cp "$GUEST_SCRIPT" "$ST/guest/script.sh"
{
  [ -n "${ALSA_VM_MODULES:-}" ] && printf 'ALSA_VM_MODULES=%q\n' "$ALSA_VM_MODULES"
  [ -n "${ALSA_VM_TTY:-}" ] && echo ALSA_VM_TTY=1
  [ -n "${ALSA_VM_QUIET:-}" ] && echo ALSA_VM_QUIET=1
  true
} >"$ST/guest/env"
for p in "$@"; do
  [ -e "$p" ] || die "no such file: $p"
  copy_with_libs "$ST" "$p"
done
(cd "$ST" && find . | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) >"$WORK/overlay.cpio"
cat "$BASE_CPIO" "$WORK/overlay.cpio" >"$WORK/initrd"

LOG=${ALSA_VM_LOG:-$WORK/console.log}
start=$(date +%s.%N)
set +e
timeout --foreground -k 10 "$TIMEOUT" qemu-system-x86_64 \
  -machine pc,accel=tcg -cpu max -smp "${ALSA_VM_SMP:-2}" -m "${ALSA_VM_MEM:-2048}" \
  -nodefaults -no-user-config -display none -serial stdio -monitor none -no-reboot \
  -kernel "$VMLINUX" -initrd "$WORK/initrd" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3 mitigations=off tsc=reliable ${ALSA_VM_APPEND:-}" \
  </dev/null 2>&1 | tr -d '\r' | tee "$LOG"
qrc=${PIPESTATUS[0]}
set -e
end=$(date +%s.%N)
echo "ALSA-VM: qemu exit $qrc, wall $(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.2f", b-a}')s" >&2
rc=$(grep -aE "^GUEST-EXIT=[0-9]+$" "$LOG" | tail -n1 | cut -d= -f2 || true)
if [ -z "$rc" ]; then
  [ "$qrc" = 124 ] || [ "$qrc" = 137 ] && { echo "run-in-vm.sh: qemu timed out after ${TIMEOUT}s" >&2; exit 124; }
  echo "run-in-vm.sh: no GUEST-EXIT marker (qemu exit $qrc)" >&2
  exit 125
fi
exit "$rc"
