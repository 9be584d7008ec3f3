#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tolvex-cli send and receive talking to each other over real MIDI ports.
# Usage: send_receive.sh jack|alsa CLI FIXTURES_DIR WORK_DIR
# Exit 77 (skipped) without the MIDI system: a JACK server (unless
# TOLVEX_REQUIRE_JACK=1) or an ALSA sequencer (/dev/snd/seq).
set -u
api=$1 cli=$2 fixtures=$3 work=$4
export TOLVEX_MIDI_API=$api
mkdir -p "$work"

if [ "$api" = alsa ]; then
  system="the ALSA sequencer (/dev/snd/seq)"
  # ALSA names the receiver's port CLIENT:PORT.
  receiver_port='Tolvex CLI Receive:Tolvex In'
  [ -e /dev/snd/seq ] || { echo "no $system: skipped"; exit 77; }
else
  system="a JACK server"
  receiver_port='Tolvex CLI Receive In:.*'
fi
if ! "$cli" ports 2>/dev/null | grep -q '^in:Tolvex In$'; then
  [ "$api" = jack ] && [ "${TOLVEX_REQUIRE_JACK:-}" = 1 ] && { echo "no JACK server, but one is required"; exit 1; }
  echo "no $system: skipped"
  exit 77
fi

saved="$work/received.syx"
rm -f "$saved"
"$cli" receive --in "Tolvex In" --count 2 --timeout 20 --save "$saved" >"$work/received.txt" 2>"$work/receive.err" &
receiver=$!

# Wait until the receiver's port is there, then send to it.
target=""
for _ in $(seq 100); do
  target=$("$cli" ports | sed -n "s/^out:\\($receiver_port\\)\$/\\1/p" | head -n 1)
  [ -n "$target" ] && break
  sleep 0.1
done
[ -n "$target" ] || { echo "receiver port never appeared"; kill "$receiver"; exit 1; }

"$cli" send --out "$target" --delay 20 "$fixtures/yamaha/dx7-rom1a.syx" "$fixtures/korg/triton-one-program.syx" \
  || { echo "send failed"; kill "$receiver"; exit 1; }
wait "$receiver" || { echo "receive failed:"; cat "$work/receive.err"; exit 1; }

expected=$'Yamaha Bulk Dump: Packed 32 Voice\tByte Count 1000H, 4096 (d)\nKorg Triton: One Program Dump\t'
[ "$(cat "$work/received.txt")" = "$expected" ] || { echo "received:"; cat "$work/received.txt"; exit 1; }
cmp "$saved" <(cat "$fixtures/yamaha/dx7-rom1a.syx" "$fixtures/korg/triton-one-program.syx") \
  || { echo "saved file differs from what was sent"; exit 1; }
echo "send and receive over $api: ok"
