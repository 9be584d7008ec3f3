#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the ALSA sequencer tests on a machine that has one (/dev/snd/seq): the
# back-end against the real sequencer (two clients of our own, 16 MiB, a
# burst, a receiver that goes away) and tolvex-cli send and receive over it.
# Usage: scripts/test-alsa.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if [ ! -e /dev/snd/seq ]; then
  echo "test-alsa.sh: no ALSA sequencer here (/dev/snd/seq); load it with 'sudo modprobe snd-seq' and run again" >&2
  exit 77
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_WERROR=ON >/dev/null
cmake --build "$build" --target tolvex_midi_tests tolvex-cli

"$build/bin/tolvex_midi_tests" --gtest_filter='Alsa*' --gtest_fail_if_no_test_selected 2>&1 | tee "$build/alsa-tests.log"
if grep -q SKIPPED "$build/alsa-tests.log"; then
  echo "test-alsa.sh: the sequencer tests were skipped although /dev/snd/seq exists" >&2
  exit 1
fi
bash tests/cli/send_receive.sh alsa "$build/bin/tolvex-cli" tests/fixtures "$build/cli-alsa"
echo "test-alsa.sh: all ALSA tests passed"
