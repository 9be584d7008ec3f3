#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A receiver stopped (SIGSTOP, as an xrun stops it) in the middle of a long
# dump over JACK: the dump arrives whole, or is kept marked as possibly damaged
# and said so, or is discarded and said so; never saved with a hole unsaid.
# Usage: jack_xrun.sh CLI WORK_DIR. Exit 77 (skipped) without a JACK server,
# unless TOLVEX_REQUIRE_JACK=1.
set -u
cli=$1 work=$2
mkdir -p "$work"
. "$(dirname "$0")/need_jack.sh"

big="$work/big.syx" got="$work/got.syx"
python3 -c "import sys; sys.stdout.buffer.write(b'\xF0\x7D' + bytes(i % 128 for i in range(8 << 20)) + b'\xF7')" >"$big"
rm -f "$got"
"$cli" receive --in "Tolvex In" --count 1 --timeout 10 --save "$got" >"$work/receive.out" 2>&1 &
receiver=$!
target=$(receiver_port)
[ -n "$target" ] || { echo "receiver port never appeared"; kill "$receiver"; exit 1; }
"$cli" send --out "$target" "$big" >"$work/send.out" 2>&1 &
sender=$!
# Stop the receiver once the dump is flowing.
for _ in $(seq 200); do grep -q "^Sending" "$work/send.out" 2>/dev/null && break; sleep 0.05; done
sleep 0.3
kill -STOP "$receiver"
sleep 0.2
kill -CONT "$receiver"
wait "$sender"
wait "$receiver"; rc=$?
# Whole; or kept, marked and said ("it may be damaged", exit 1); or discarded and said.
if [ -f "$got" ] && ! cmp -s "$got" "$big" && { [ $rc -ne 1 ] || ! grep -q "; it may be damaged$" "$work/receive.out"; }; then
  echo "a dump with a hole was saved unmarked ($(stat -c %s "$got") of $(stat -c %s "$big") bytes), exit $rc"
  cat "$work/receive.out"; exit 1
fi
if [ ! -f "$got" ] && { [ $rc -ne 1 ] || ! grep -q "MIDI data lost\|Incomplete SysEx" "$work/receive.out"; }; then
  echo "the dump was discarded without saying so (exit $rc):"; cat "$work/receive.out"; exit 1
fi
if [ ! -f "$got" ]; then
  echo "receiver stopped during a dump: discarded and reported"
elif cmp -s "$got" "$big"; then
  echo "receiver stopped during a dump: arrived whole"
else
  echo "receiver stopped during a dump: kept and marked as possibly damaged"
fi
