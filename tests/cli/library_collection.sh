#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The library on a small collection as real ones come, from a real shell:
# banks and single voices, a raw cartridge image, a bank whose byte count says
# 10 00, one whose checksum byte has bit 7 set, a bank packed again without
# its unused bits, exports added back, and two adds at once. The count of
# voices is checked against an independent decoder written here.
# Usage: library_collection.sh TOLVEX-CLI FIXTURES WORKDIR
set -u
cli=$1 fixtures=$2 work=$3
rm -rf "$work" && mkdir -p "$work/collection/sub" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

cp "$fixtures"/yamaha/*.syx collection/
python3 - "$fixtures" collection <<'PY'
import sys
fx, out = sys.argv[1], sys.argv[2]
rom = open(fx + '/yamaha/dx7-rom1a.syx', 'rb').read()
open(out + '/sub/ROM1A.CRT', 'wb').write(rom[6:4102])             # raw cartridge, another name
brass = bytearray(open(fx + '/yamaha/dx7-brass02-unused-bits.syx', 'rb').read())
brass[4102] |= 0x80                                                 # checksum byte with bit 7
open(out + '/sub/brass-bit7.syx', 'wb').write(brass)
# The same bank packed again by an editor that leaves unused bits clear.
masks = [0x7F] * 11 + [0x0F, 0x7F, 0x1F, 0x7F, 0x3F, 0x7F]
voice_masks = masks * 6 + [0x7F] * 8 + [0x1F, 0x0F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F] + [0x7F] * 10
data = bytearray(brass[6:4102])
for v in range(32):
    for i in range(128):
        data[v * 128 + i] &= voice_masks[i]
open(out + '/sub/brass-repacked.syx', 'wb').write(
    bytes(brass[:6]) + bytes(data) + bytes([(-sum(data)) & 0x7F, 0xF7]))
PY

# The independent count: every DX7 voice in the collection by its parameters.
expected=$(python3 - collection <<'PY'
import os, sys
def unpack(p):
    v = []
    for op in range(6):
        s = p[op * 17:op * 17 + 17]
        v += list(s[:11]) + [s[11] & 3, s[11] >> 2 & 3, s[12] & 7, s[13] & 3, s[13] >> 2 & 7, s[14],
                             s[15] & 1, s[15] >> 1 & 31, s[16], s[12] >> 3 & 15]
    s = p[102:]
    v += list(s[:8]) + [s[8] & 31, s[9] & 7, s[9] >> 3 & 1] + list(s[10:14]) + \
         [s[14] & 1, s[14] >> 1 & 7, s[14] >> 4 & 7, s[15]] + list(s[16:26])
    return bytes(v)
voices = set()
for root, _, files in os.walk(sys.argv[1]):
    for f in files:
        b = bytearray(open(os.path.join(root, f), 'rb').read())
        if len(b) == 4096 and max(b) < 0x80:
            b = bytearray(b'\xf0\x43\x00\x09\x20\x00') + b + bytearray([(-sum(b)) & 0x7F, 0xF7])
        # Whole 128-byte voices after a 32-voice header, up to the first byte
        # of 8 bits (the end byte, or a checksum byte with bit 7 set).
        for i in range(len(b) - 6):
            if b[i] == 0xF0 and b[i + 1] == 0x43 and b[i + 2] & 0xF0 == 0 and b[i + 3] == 9:
                end = i + 6
                while end < len(b) and b[end] < 0x80:
                    end += 1
                for v in range(min(32, (end - i - 6) // 128)):
                    voices.add(unpack(b[i + 6 + v * 128:i + 6 + v * 128 + 128]))
        for i in range(len(b) - 162):
            if b[i:i + 6] == b'\xf0\x43\x00\x00\x01\x1b':
                voices.add(bytes(b[i + 6:i + 161]))
print(len(voices))
PY
)
[ -n "$expected" ] || fail "the independent count failed"

# Two adds at once, the collection split between them.
files=$(find collection -type f | sort)
half=$(( $(echo "$files" | wc -l) / 2 ))
"$cli" library --library lib.sqlite add $(echo "$files" | head -n "$half") >first.txt 2>&1 &
first=$!
"$cli" library --library lib.sqlite add $(echo "$files" | tail -n +"$((half + 1))") >second.txt 2>&1
second=$?
wait $first
first=$?
cat first.txt second.txt
# Damaged files in the collection make the adds say so (exit 1), never 2 or more.
[ $first -le 1 ] && [ $second -le 1 ] || fail "an add failed: $first $second"
grep -q "database is locked" first.txt second.txt && fail "an add was locked out"
grep -q "raw DX7 cartridge" first.txt second.txt || fail "the raw cartridge was not noted"
grep -q "checksum byte has bit 7 set" first.txt second.txt || fail "the bit-7 checksum was not noted"
grep -q "byte count says 10 00" first.txt second.txt || fail "the 10 00 bank was not noted"

got=$("$cli" library --library lib.sqlite list --maker Yamaha --kind Voice 2>/dev/null | wc -l)
[ "$got" = "$expected" ] || fail "the library keeps $got DX7 voices, the independent count says $expected"

# Exported and added back, nothing is new.
"$cli" library --library lib.sqlite export --kind Voice --out exported.syx >/dev/null || fail "export"
"$cli" library --library lib.sqlite add exported.syx >again.txt || fail "add back"
grep -q "^Added 0 new item" again.txt || fail "export then add added: $(cat again.txt)"
# Every file a voice came from finds it.
[ "$("$cli" library --library lib.sqlite list --search ROM1A.CRT | wc -l)" = 32 ] || fail "a second source is not searched"
echo "PASS: $got DX7 voices, as the independent count says"
