#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The ALSA tests that need a real kernel sequencer: the back-end's own tests,
# then tolvex-cli from a shell, with independent ALSA clients beside it
# (seqcat records what a port sends, rawput writes into a VirMIDI card, whose
# raw device behaves like a USB MIDI interface). scripts/test-alsa-vm.sh runs
# it in a guest; it runs as well on any machine with snd-seq and snd-virmidi.
# Usage: alsa_guest.sh BIN_DIR TESTS_DIR DATA_DIR WORK_DIR
# DATA_DIR holds m1.syx (1 MiB), m16.syx (16 MiB) and burst.syx (10,000 short
# messages) made by scripts/test-alsa-vm.sh. Prints one line per check and
# closes with "N passed, N failed"; exits 1 when a check failed.
set -u
bin=$1 tests=$2 data=$3 work=$4
cli=$bin/tolvex-cli
export TOLVEX_MIDI_API=alsa
mkdir -p "$work"
cd "$work" || exit 1
passed=0 failed=0
ok() {
  echo "ok: $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL: $1"
  failed=$((failed + 1))
}
now() { /usr/bin/date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
receiver_port='Tolvex CLI Receive:Tolvex In'
dx7=$tests/fixtures/yamaha/dx7-rom1a.syx

# Half a second after the sender $1 started, pauses the receiver $2 for 2 s,
# then waits for the sender; its exit status is the sender's.
pause_during() {
  sleep 0.5
  kill -STOP "$2"
  sleep 2
  kill -CONT "$2"
  wait "$1"
}

# Waits until the receiver's port is listed (at most 5 s).
await_receiver() {
  for _ in $(seq 50); do
    "$cli" ports | grep -qxF "out:$receiver_port" && return 0
    sleep 0.1
  done
  return 1
}

# The back-end over the sequencer: two clients of our own, 16 MiB, a burst,
# a port chosen the moment it exists, a receiver that stops reading.
log=$work/backend.log
"$bin/tolvex_midi_tests" --gtest_filter='AlsaSequencer.*' --gtest_fail_if_no_test_selected >"$log" 2>&1
rc=$?
grep -E '^\[ +(OK|FAILED|SKIPPED) +\]' "$log"
if [ $rc -ne 0 ] || grep -q SKIPPED "$log"; then
  grep -B2 -A8 -E 'Failure|Skipped' "$log" | head -40
  fail "back-end tests on the sequencer (exit $rc)"
else
  ok "back-end tests on the sequencer"
fi

if bash "$tests/cli/send_receive.sh" alsa "$cli" "$tests/fixtures" "$work/send-receive"; then
  ok "send and receive, two messages"
else
  fail "send and receive, two messages"
fi

# Program to program: every byte of 1 MiB and 16 MiB, three times each.
for size in m1 m16; do
  for run in 1 2 3; do
    rm -f "$work/p2p.syx"
    "$cli" receive --in 'Tolvex In' --count 1 --timeout 20 --quiet --save "$work/p2p.syx" 2>"$work/p2p.err" &
    r=$!
    await_receiver || { fail "$size run $run: the receiver's port never appeared"; kill $r; continue; }
    t=$(now)
    "$cli" send --quiet --out "$receiver_port" "$data/$size.syx" 2>"$work/p2p-send.err"
    s=$?
    wait $r
    rc=$?
    took=$(since "$t")
    if [ $s -eq 0 ] && [ $rc -eq 0 ] && cmp -s "$data/$size.syx" "$work/p2p.syx"; then
      ok "$size program to program, run $run: whole in ${took}s"
    else
      fail "$size program to program, run $run: send $s, receive $rc after ${took}s"
      cat "$work/p2p-send.err" "$work/p2p.err"
    fi
  done
done

# A DX7 bank through a VirMIDI card, both ways, at the cable's pace.
cat /dev/snd/midiC0D0 >"$work/card-out.raw" &
c=$!
sleep 0.3
"$cli" send --quiet --out 'Virtual Raw MIDI 0-0:VirMIDI 0-0' "$dx7"
s=$?
sleep 0.5
kill $c
wait $c 2>/dev/null
if [ $s -eq 0 ] && cmp -s "$dx7" "$work/card-out.raw"; then ok "DX7 bank out through a card"; else fail "DX7 bank out through a card (send $s)"; fi

rm -f "$work/card-in.syx"
"$cli" receive --in 'Virtual Raw MIDI 0-1:VirMIDI 0-1' --count 1 --timeout 10 --quiet --save "$work/card-in.syx" &
r=$!
sleep 1
rawput "$dx7" /dev/snd/midiC0D1
wait $r
rc=$?
if [ $rc -eq 0 ] && cmp -s "$dx7" "$work/card-in.syx"; then ok "DX7 bank in through a card"; else fail "DX7 bank in through a card (receive $rc)"; fi

# A receiver paused for 2 s during a burst of 10,000 messages from a sender
# that does not wait (aplaymidi through Midi Through), with an independent
# recorder on the same port: everything kept, or the loss said and exit 1,
# never a quiet gap and never a cut message kept.
burst=$data/burst.syx
for run in 1 2 3; do
  rm -f "$work/burst.syx" "$work/seqcat.syx"
  "$cli" receive --in 'Midi Through:Midi Through Port-0' --count 10000 --timeout 5 --quiet --save "$work/burst.syx" \
    2>"$work/burst.err" &
  r=$!
  seqcat 'Midi Through:0' "$work/seqcat.syx" 6000 2>"$work/seqcat.err" &
  q=$!
  sleep 1
  aplaymidi -p 'Midi Through:0' "$data/burst.mid" &
  pause_during $! $r
  wait $r
  rc=$?
  wait $q
  recorder=$(tail -n 1 "$work/seqcat.err")
  whole=no
  cmp -s "$burst" "$work/burst.syx" && whole=yes
  said=no
  grep -q '^MIDI data lost' "$work/burst.err" && said=yes
  kept=$(($(stat -c %s "$work/burst.syx" 2>/dev/null || echo 0) / 16))
  if [ -s "$work/burst.syx" ] && ! "$cli" names "$work/burst.syx" >/dev/null 2>&1; then
    fail "paused receiver, run $run: a message was kept cut ($kept kept)"
  elif { [ $whole = yes ] && [ $rc -eq 0 ]; } || { [ $rc -eq 1 ] && [ $said = yes ]; }; then
    ok "paused receiver, run $run: $kept of 10000 kept, exit $rc, loss said: $said; recorder: $recorder"
  else
    fail "paused receiver, run $run: $kept of 10000 kept, exit $rc, loss said: $said; recorder: $recorder"
    cat "$work/burst.err"
  fi
done

# The same burst from tolvex-cli send, which waits for a paused receiver.
rm -f "$work/burst.syx"
"$cli" receive --in 'Tolvex In' --count 10000 --timeout 10 --quiet --save "$work/burst.syx" 2>"$work/burst.err" &
r=$!
await_receiver
"$cli" send --quiet --out "$receiver_port" "$burst" &
pause_during $! $r
s=$?
wait $r
rc=$?
if [ $s -eq 0 ] && [ $rc -eq 0 ] && cmp -s "$burst" "$work/burst.syx"; then
  ok "paused receiver of tolvex-cli send: all 10000 kept"
else
  fail "paused receiver of tolvex-cli send: send $s, receive $rc"
  cat "$work/burst.err"
fi

# A receiver that stops reading: send gives up a few seconds after its 5 s limit.
"$cli" receive --in 'Tolvex In' --count 1 --timeout 60 --quiet >/dev/null 2>&1 &
r=$!
await_receiver
kill -STOP $r
t=$(now)
"$cli" send --out "$receiver_port" "$data/m1.syx" >"$work/stuck.out" 2>&1
s=$?
took=$(since "$t")
kill -CONT $r
kill $r
wait $r 2>/dev/null
if [ $s -eq 1 ] && grep -q "The receiver at $receiver_port is not reading: [0-9]* of 1048576 bytes sent" "$work/stuck.out" &&
  awk -v t="$took" 'BEGIN { exit !(t < 10) }'; then
  ok "stuck receiver: send ends with exit 1 after ${took}s ($(grep -o '[0-9]* of 1048576 bytes sent' "$work/stuck.out" | head -n 1))"
else
  fail "stuck receiver: send exit $s after ${took}s"
  cat "$work/stuck.out"
fi

# SIGTERM during a long send: it ends within about a second with 143, the
# message under way cut off, and the receiver keeps nothing cut.
rm -f "$work/term.syx"
"$cli" receive --in 'Tolvex In' --count 1 --timeout 5 --quiet --save "$work/term.syx" 2>"$work/term.err" &
r=$!
await_receiver
"$cli" send --out "$receiver_port" "$data/m16.syx" >"$work/term.out" 2>&1 &
w=$!
sleep 2
t=$(now)
kill -TERM $w
wait $w
s=$?
took=$(since "$t")
wait $r
rc=$?
if [ $s -eq 143 ] && awk -v t="$took" 'BEGIN { exit !(t < 1.5) }' && [ ! -e "$work/term.syx" ] && [ $rc -eq 1 ]; then
  ok "SIGTERM during a 16 MiB send: exit 143 after ${took}s, nothing cut kept ($(tail -n 1 "$work/term.out"))"
else
  fail "SIGTERM during a 16 MiB send: send $s after ${took}s, receive $rc"
  cat "$work/term.out" "$work/term.err"
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
