#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# receive over JACK beside an independent recorder on the same sender:
#  - a dump at MIDI cable speed from a sender that leaves right after its last
#    byte is kept with the recorder's bytes, and the sender leaving is no loss;
#  - a sender that fills its port buffer and sends a refused event again next
#    period loses nothing, and nothing is said to be dropped;
#  - what send sends arrives at the recorder once;
#  - a send stopped for a moment while it sends says the server may have
#    repeated or dropped messages, or exits 0 only with all as sent;
#  - receive started while other clients come and go hears what is sent.
# Usage: jack_cable.sh CLI JACK_PEER WORK_DIR. Exit 77 (skipped) without a JACK
# server, unless TOLVEX_REQUIRE_JACK=1.
set -u
cli=$1 peer=$2 work=$3
mkdir -p "$work"
. "$(dirname "$0")/need_jack.sh"
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
# kept NAME WHAT: receive kept NAME's dump as the recorder got it, or the
# server itself damaged it (then nothing is asked of receive).
kept() {
  if ! cmp -s "$work/$1.rec" "$work/$1.syx"; then
    echo "$1: the recorder did not get the dump whole: the server damaged it (not a fault of receive)"
    return 1
  fi
  cmp -s "$work/$1.got" "$work/$1.rec" && return 0
  fail "$2 was not kept as the recorder got it (exit $rc)" "$1"
  return 1
}

dump() { python3 -c "import sys; sys.stdout.buffer.write(b'\xF0\x7D' + bytes(i % 128 for i in range($2 - 2)) + b'\xF7')" >"$work/$1.syx"; }

dump cable 16384
run cable "$work/cable.syx" --rate 3125
if kept cable "a cable-speed dump"; then
  grep -q "lost\|discarded" "$work/cable.err" && fail "a sender that left after its last byte was called a loss" cable
  [ $rc -ne 0 ] && ! grep -q "; it may be damaged$" "$work/cable.err" && fail "receive exited $rc without saying why" cable
fi

dump fill 1048576
run fill "$work/fill.syx" --fill --chunk 4096
if kept fill "a retrying sender's dump"; then
  grep -q "dropped" "$work/fill.err" && fail "a sender's own retried writes were called dropped by the server" fill
fi
# send to the recorder: each message arrives once. The recorder waits for
# twice as many and gives up after 2 s; a send that ends must not leave its
# last period's events to be read again.
python3 -c "import sys; sys.stdout.buffer.write(b''.join(b'\xF0\x7D' + bytes([i] * 20) + b'\xF7' for i in range(20)))" >"$work/twenty.syx"
"$peer" record "$tag-once" "$work/twenty.rec" 40 --timeout 2 >"$work/twenty.recout" 2>&1 &
recorder=$!
for _ in $(seq 100); do grep -q ready "$work/twenty.recout" 2>/dev/null && break; sleep 0.05; done
"$cli" send --out "$tag-once:in" "$work/twenty.syx" >"$work/twenty.out" 2>"$work/twenty.err"
rc=$?
wait "$recorder"
if ! cmp -s "$work/twenty.rec" "$work/twenty.syx"; then
  fail "20 messages sent arrived as $(stat -c %s "$work/twenty.rec") bytes, not the 460 sent (send exit $rc)" twenty
elif [ $rc -ne 0 ] && ! grep -q "late periods" "$work/twenty.err"; then
  fail "send exited $rc without saying why" twenty
fi
# send stopped for a moment while it sends (as a busy desktop stops it): the
# server may have repeated or dropped what it sent then; send says so, never exit 0.
python3 -c "import sys; sys.stdout.buffer.write(b''.join(b'\xF0\x7D' + bytes([i % 128] * 300) + b'\xF7' for i in range(20000)))" >"$work/late.syx"
"$peer" record "$tag-late" "$work/late.rec" 20000 --timeout 20 >"$work/late.recout" 2>&1 &
recorder=$!
for _ in $(seq 100); do grep -q ready "$work/late.recout" 2>/dev/null && break; sleep 0.05; done
"$cli" send --out "$tag-late:in" "$work/late.syx" >/dev/null 2>"$work/late.err" &
sender=$!
sleep 0.3
kill -STOP $sender
sleep 0.2
kill -CONT $sender
wait $sender
rc=$?
wait "$recorder"
if [ $rc -eq 0 ]; then
  cmp -s "$work/late.rec" "$work/late.syx" || fail "a send stopped while sending exited 0, and the recorder did not get it as sent" late
elif ! grep -q "may have repeated or dropped messages while sending" "$work/late.err"; then
  fail "a send stopped while sending exited $rc without saying why" late
fi

# receive started while other clients come and go (a port list being read):
# JACK may never run a client activated then; receive must hear all the same.
printf '\xF0\x7D\x01\x02\xF7' >"$work/small.syx"
for i in 1 2 3 4; do
  "$cli" receive --in "Tolvex In" --count 1 --timeout 5 >"$work/churn.out" 2>"$work/churn.err" &
  receiver=$!
  for _ in 1 2 3 4 5; do jack_lsp >/dev/null 2>&1; done
  port=$(receiver_port)
  [ -n "$port" ] || { kill "$receiver"; fail "receive's port never appeared (try $i)" churn; break; }
  "$peer" send "$tag-churn" "$work/small.syx" --to "$port" >/dev/null 2>&1
  wait "$receiver" || { fail "receive started among other clients heard nothing (try $i)" churn; break; }
done
[ $failed = 0 ] && echo "cable-speed dump, retrying sender, send, start among other clients: as the recorder got them"
exit $failed
