#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# receive over JACK beside an independent recorder on the same sender:
#  - a dump at MIDI cable speed from a sender that leaves right after its last
#    byte is kept with the recorder's bytes, and the sender leaving is no loss;
#  - a sender that fills its port buffer and sends a refused event again next
#    period loses nothing, and nothing is said to be dropped.
# Usage: jack_cable.sh CLI JACK_PEER WORK_DIR. Exit 77 (skipped) without a JACK
# server, unless TOLVEX_REQUIRE_JACK=1.
set -u
cli=$1 peer=$2 work=$3
export TOLVEX_MIDI_API=jack
mkdir -p "$work"
if ! "$cli" ports 2>/dev/null | grep -q '^in:Tolvex In$'; then
  [ "${TOLVEX_REQUIRE_JACK:-}" = 1 ] && { echo "no JACK server, but one is required"; exit 1; }
  echo "no JACK server: skipped"
  exit 77
fi
failed=0
tag="cable$$"

# run NAME FILE SENDER_OPTIONS...: sender, recorder and receive; sets rc.
run() {
  local name=$1 file=$2
  shift 2
  rm -f "$work/$name.got" "$work/$name.rec"
  "$peer" send "$tag-$name" "$file" --peers 2 "$@" >"$work/$name.send" 2>&1 &
  local sender=$!
  for _ in $(seq 100); do "$cli" ports 2>/dev/null | grep -qx "in:$tag-$name:out" && break; sleep 0.05; done
  "$peer" record "$tag-$name-rec" "$work/$name.rec" 1 --from "$tag-$name:out" --timeout 120 >"$work/$name.recout" 2>&1 &
  local recorder=$!
  "$cli" receive --in "$tag-$name:out" --count 1 --timeout 20 --save "$work/$name.got" >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
  wait "$sender" "$recorder"
}
fail() { echo "$1"; cat "$work/$2.err"; failed=1; }

python3 -c "import sys; sys.stdout.buffer.write(b'\xF0\x7D' + bytes(i % 128 for i in range(16382)) + b'\xF7')" >"$work/cable.syx"
run cable "$work/cable.syx" --rate 3125
if ! cmp -s "$work/cable.rec" "$work/cable.syx"; then
  echo "the recorder did not get the dump whole: the server damaged it (not a fault of receive)"
elif ! cmp -s "$work/cable.got" "$work/cable.rec"; then
  fail "a cable-speed dump was not kept as the recorder got it (exit $rc)" cable
elif grep -q "lost\|discarded" "$work/cable.err"; then
  fail "a sender that left after its last byte was called a loss" cable
elif [ $rc -ne 0 ] && ! grep -q "; it may be damaged$" "$work/cable.err"; then
  fail "receive exited $rc without saying why" cable
fi

python3 -c "import sys; sys.stdout.buffer.write(b'\xF0\x7D' + bytes(i % 128 for i in range(1048574)) + b'\xF7')" >"$work/fill.syx"
run fill "$work/fill.syx" --fill --chunk 4096
if ! cmp -s "$work/fill.rec" "$work/fill.syx"; then
  echo "the recorder did not get the dump whole: the server damaged it (not a fault of receive)"
elif ! cmp -s "$work/fill.got" "$work/fill.rec"; then
  fail "a retrying sender's dump was not kept as the recorder got it (exit $rc)" fill
elif grep -q "dropped" "$work/fill.err"; then
  fail "a sender's own retried writes were called dropped by the server" fill
fi
[ $failed = 0 ] && echo "cable-speed dump and retrying sender: kept as the recorder got them"
exit $failed
