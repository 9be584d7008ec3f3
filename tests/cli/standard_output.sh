#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tolvex-cli run as a shell user meets it: data on standard output alone,
# /dev/stdout and /dev/fd/N written through the shell's descriptor (pipes,
# ">>"), read-only files kept, a killed save's leftover removed, and no crash
# without a MIDI system.
# Usage: standard_output.sh CLI FIXTURES_DIR WORK_DIR
set -u
cli=$1 fixtures=$2 work=$3
export TOLVEX_MIDI_API=none
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
bank="$fixtures/yamaha/dx7-rom1a.syx"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Every way of putting data on standard output gives the data alone.
"$cli" run "Save As" "$bank" --file - >dash.syx 2>dash.err || fail "--file - exited $?"
cmp -s dash.syx "$bank" || fail "--file - wrote $(wc -c <dash.syx) bytes, not the dump alone"
grep -q "Loading: 1 message" dash.err || fail "the log of --file - is not on standard error"
"$cli" run "View Selected" "$bank" --save-list - >list.syx 2>/dev/null || fail "--save-list - exited $?"
cmp -s list.syx "$bank" || fail "--save-list - mixed the log into the data"
printf 'open %s\nfile -\ndo "Save As"\n' "$bank" | "$cli" run --script - >script.syx 2>/dev/null || fail "script exited $?"
cmp -s script.syx "$bank" || fail "a script's file - mixed the log into the data"

# Through a pipe and appended with >>, as the shell opened them.
"$cli" run "Save As" "$bank" --file /dev/stdout 2>pipe.err | cat >piped.syx
[ "${PIPESTATUS[0]}" = 0 ] || { fail "--file /dev/stdout | cat exited ${PIPESTATUS[0]}"; cat pipe.err; }
cmp -s piped.syx "$bank" || fail "--file /dev/stdout | cat gave $(wc -c <piped.syx) bytes"
printf 'kept' >appended.syx
"$cli" run "Save As" "$bank" --file /dev/stdout >>appended.syx 2>/dev/null || fail "--file /dev/stdout >> exited $?"
cmp -s appended.syx <(printf 'kept'; cat "$bank") || fail ">> /dev/stdout did not append"
printf 'kept' >fd.syx
"$cli" run "Save As" "$bank" --file /dev/fd/3 3>>fd.syx >/dev/null 2>&1 || fail "--file /dev/fd/3 exited $?"
cmp -s fd.syx <(printf 'kept'; cat "$bank") || fail ">> on /dev/fd/3 did not append"
"$cli" run "Save As" "$bank" --file /proc/self/fd/1 2>/dev/null | cat >proc.syx
cmp -s proc.syx "$bank" || fail "--file /proc/self/fd/1 | cat gave $(wc -c <proc.syx) bytes"

# A file nobody may write stays as it was; a killed save's leftover goes at the next save there.
printf 'years of work' >mine.syx && chmod 444 mine.syx
"$cli" run "View Selected" "$bank" --save-list mine.syx >/dev/null 2>ro.err
status=$?
[ "$status" = 1 ] || fail "a save over a read-only file exited $status"
grep -q "mine.syx is read-only; not written" ro.err || fail "read-only: $(cat ro.err)"
[ "$(cat mine.syx)" = "years of work" ] || fail "the read-only file was replaced"
sleep 0 & gone=$!
wait "$gone"
printf 'half' >".tolvex-$gone-1"
"$cli" run "View Selected" "$bank" --save-list new.syx >/dev/null 2>&1 || fail "save beside a leftover exited $?"
[ -e ".tolvex-$gone-1" ] && fail "the leftover of a save whose process is gone was kept"

# No MIDI system, or no such port: said, exit 1, no crash.
"$cli" run "View Selected" "$bank" --out Foo >/dev/null 2>nomidi.err
status=$?
[ "$status" = 1 ] || fail "run --out without a MIDI system exited $status"
grep -qx "No MIDI system found (neither ALSA nor JACK)" nomidi.err || fail "no MIDI system: $(cat nomidi.err)"

[ "$failed" = 0 ] && echo "standard output and files: ok"
exit "$failed"
