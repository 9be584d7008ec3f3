#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures, builds and runs every test. Usage: scripts/test.sh [build-dir]
# TOLVEX_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer;
# TOLVEX_SANITIZE=thread builds the MIDI tests alone with ThreadSanitizer (the
# code where threads meet: drivers' threads, rings, notifications) and runs them.
# The MIDI tests use real JACK ports: a JACK server with the dummy driver (no
# sound hardware needed) is started for the run and stopped afterwards; one
# that already runs is used and left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sanitize=${TOLVEX_SANITIZE:-0}
san_flag=OFF
tsan_flag=OFF
targets=()
only=()
[ "$sanitize" = 1 ] && san_flag=ON
if [ "$sanitize" = thread ]; then
  tsan_flag=ON
  targets=(--target tolvex_midi_tests)
  # Not the tests on real JACK ports: libjack hands port buffers between
  # clients through shared memory ordered by the server's semaphores, which
  # ThreadSanitizer cannot see (TOLVEX_TSAN_JACK=1 runs them too).
  only=(-R '^(MidiSystem|Alsa[A-Za-z]*|CircularBuffer|MidiInput|MidiOutput|MidiDevices|PortDevices)[.]')
  [ "${TOLVEX_TSAN_JACK:-0}" = 1 ] && only=(-R '^(MidiSystem|Jack|Alsa[A-Za-z]*|CircularBuffer|MidiInput|MidiOutput|MidiDevices|PortDevices)[.]')
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_WERROR=ON -DTOLVEX_SANITIZE=$san_flag \
  -DTOLVEX_TSAN=$tsan_flag >/dev/null
cmake --build "$build" "${targets[@]}"

jack_pid=""
stop_jack() {
  if [ -n "$jack_pid" ]; then
    kill "$jack_pid" 2>/dev/null || true
    wait "$jack_pid" 2>/dev/null || true
  fi
}
trap stop_jack EXIT

if command -v jackd >/dev/null && command -v jack_lsp >/dev/null; then
  if ! jack_lsp >/dev/null 2>&1; then
    # A server killed without cleaning up keeps its entry in JACK's registry of
    # at most eight servers; with no server running at all, none is in use.
    if ! pgrep -x jackd >/dev/null 2>&1 && ! pgrep -x jackdbus >/dev/null 2>&1; then
      rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.* 2>/dev/null || true
    fi
    # Real-time scheduling where allowed (jackd carries on without it otherwise):
    # a period that starts late under the parallel test load loses MIDI events.
    jackd -R -d dummy -r 48000 -p 256 >"$build/jackd.log" 2>&1 &
    jack_pid=$!
    for _ in $(seq 100); do
      jack_lsp >/dev/null 2>&1 && break
      kill -0 "$jack_pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! jack_lsp >/dev/null 2>&1; then
      echo "test.sh: the JACK server did not start:" >&2
      cat "$build/jackd.log" >&2
      exit 1
    fi
  fi
  # The JACK tests now fail instead of skipping when they find no server.
  export TOLVEX_REQUIRE_JACK=1
elif [ "${CI:-}" = true ]; then
  echo "test.sh: jackd and jack_lsp are needed in CI (scripts/install-deps.sh installs jackd2)" >&2
  exit 1
else
  echo "test.sh: jackd is not installed: the JACK tests will be skipped"
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir "$build" --output-on-failure -j 2 "${only[@]}"
