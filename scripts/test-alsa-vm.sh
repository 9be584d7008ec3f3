#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the ALSA tests that need a real kernel sequencer (tests/cli/alsa_guest.sh)
# in a small QEMU guest booting Debian's own kernel with snd-seq, snd-seq-dummy
# and snd-virmidi (scripts/alsa-vm/run-in-vm.sh; no KVM needed, about 5 s to
# boot). Works on any machine, with or without /dev/snd/seq; the first run
# installs QEMU and builds the guest image (about 25 s, kept in
# $ALSA_VM_CACHE, default /var/cache/alsa-vm).
# Usage: scripts/test-alsa-vm.sh [build-dir]   (builds tolvex-cli and the MIDI tests there)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
repo=$(pwd)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_WERROR=ON >/dev/null
cmake --build "$build" --target tolvex_midi_tests tolvex-cli >/dev/null
bin=$(realpath "$build/bin")

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvex-alsa-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data"
# Test data: 1 MiB and 16 MiB messages, and a burst of 10,000 messages of 16 bytes.
python3 - "$work/data" <<'EOF'
import sys
out = sys.argv[1]
def message(n, seed):
    return bytes([0xF0, 0x7D]) + bytes((i * 7 + seed + i // 255) & 0x7F for i in range(n - 3)) + bytes([0xF7])
open(out + "/m1.syx", "wb").write(message(1 << 20, 1))
open(out + "/m16.syx", "wb").write(message(16 << 20, 2))
open(out + "/burst.syx", "wb").write(b"".join(
    bytes([0xF0, 0x7D, i >> 7 & 0x7F, i & 0x7F]) + bytes((i + k) & 0x7F for k in range(11)) + bytes([0xF7])
    for i in range(10000)))
# The same burst as a standard MIDI file for aplaymidi: one message every
# 104 us (960 ticks a quarter note of 0.1 s), about a second in all.
burst = open(out + "/burst.syx", "rb").read()
track = bytearray(b"\x00\xff\x51\x03\x01\x86\xa0")
for at in range(0, len(burst), 16):
    track += bytes([0x01 if at else 0x00, 0xF0, 15]) + burst[at + 1:at + 16]
track += b"\x00\xff\x2f\x00"
open(out + "/burst.mid", "wb").write(b"MThd" + (6).to_bytes(4, "big") + bytes([0, 0, 0, 1, 0x03, 0xC0]) +
                                     b"MTrk" + len(track).to_bytes(4, "big") + track)
EOF
guest_work=/root/alsa-tests
cat >"$work/guest.sh" <<EOF
exec /bin/bash "$repo/tests/cli/alsa_guest.sh" "$bin" "$repo/tests" "$work/data" "$guest_work"
EOF
# Only what the guest needs is copied into it: the two programs, the tests'
# scripts and fixtures, the data and bash.
ALSA_VM_STRIP=1 ALSA_VM_QUIET=1 ALSA_VM_TIMEOUT=${ALSA_VM_TIMEOUT:-600} ALSA_VM_LOG="$work/console.log" \
  bash scripts/alsa-vm/run-in-vm.sh "$work/guest.sh" "$bin/tolvex-cli" "$bin/tolvex_midi_tests" \
  tests/cli tests/fixtures/yamaha/dx7-rom1a.syx tests/fixtures/korg/triton-one-program.syx "$work/data" /bin/bash |
  grep -avE '^\[ *[0-9]+\.[0-9]+\]'
