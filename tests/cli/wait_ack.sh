#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tolvex-cli send --wait-ack over JACK, to an independent Korg instrument
# (jack-peer korg) that records what it hears and answers each dump 200 ms
# after it: eight dumps all arrive once and the send takes as long as the
# instrument needs; an error answer or silence stops the send at that dump,
# with the instrument's answer, and nothing after it is sent.
# Usage: wait_ack.sh CLI JACK_PEER FIXTURES_DIR WORK_DIR. Exit 77 (skipped)
# without a JACK server, unless TOLVEX_REQUIRE_JACK=1.
set -u
cli=$1 peer=$2 fixtures=$3 work=$4
mkdir -p "$work"
. "$(dirname "$0")/need_jack.sh"
failed=0
tag="ack$$"
dump="$fixtures/korg/triton-one-program.syx"
for _ in 1 2 3 4 5 6 7 8; do cat "$dump"; done >"$work/eight.syx"

# run NAME ANSWERS EXPECTED_DUMPS SEND_OPTIONS...: sets rc and elapsed (ms).
run() {
  local name=$1 answers=$2 count=$3
  shift 3
  rm -f "$work/$name.rec"
  # The instrument records until it heard all eight, or for 6 s when fewer come.
  local limit=20
  [ "$count" -lt 8 ] && limit=6
  "$peer" korg "$tag-$name" "$work/$name.rec" 8 --answers "$answers" --delay 200 --timeout $limit >"$work/$name.peer" 2>&1 &
  local instrument=$!
  for _ in $(seq 100); do grep -q ready "$work/$name.peer" 2>/dev/null && break; sleep 0.05; done
  local start
  start=$(date +%s%N)
  "$cli" send --out "$tag-$name:in" --wait-ack --in "$tag-$name:out" "$@" "$work/eight.syx" >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
  elapsed=$((($(date +%s%N) - start) / 1000000))
  wait "$instrument"
  head -c $((count * $(stat -c %s "$dump"))) "$work/eight.syx" >"$work/$name.want"
}
fail() { echo "$1"; cat "$work/$2.err"; failed=1; }

run loaded 23 8 --timeout 5
[ $rc -eq 0 ] || fail "eight confirmed dumps: exit $rc" loaded
cmp -s "$work/loaded.rec" "$work/loaded.want" || fail "the instrument did not get the eight dumps once each" loaded
# Eight answers 200 ms apart: at least 1.6 s, and never a time-out's worth more.
{ [ "$elapsed" -ge 1600 ] && [ "$elapsed" -lt 5000 ]; } || fail "eight confirmed dumps took $elapsed ms" loaded

run refused 23,23,24 3 --timeout 5
[ $rc -eq 1 ] || fail "an error answer: exit $rc" refused
grep -qx "Error: The Triton did not confirm dump 3 of 8 (One Program Dump): it answered DATA LOAD ERROR (NAC)" \
  "$work/refused.err" || fail "an error answer was not told" refused
cmp -s "$work/refused.rec" "$work/refused.want" || fail "the send did not stop at the refused dump" refused
[ "$elapsed" -lt 5000 ] || fail "an error answer took $elapsed ms" refused

run silent 23,- 2 --timeout 2
[ $rc -eq 1 ] || fail "no answer: exit $rc" silent
grep -qx "Error: The Triton did not confirm dump 2 of 8 (One Program Dump): no answer in 2 s" "$work/silent.err" \
  || fail "no answer was not told" silent
cmp -s "$work/silent.rec" "$work/silent.want" || fail "the send did not stop at the unanswered dump" silent
{ [ "$elapsed" -ge 2200 ] && [ "$elapsed" -lt 5000 ]; } || fail "no answer in 2 s took $elapsed ms" silent

[ $failed -eq 0 ] && echo "send --wait-ack over JACK: ok"
exit $failed
