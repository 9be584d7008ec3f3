#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks with optimisation and runs them all (or those matching $1).
# The whole-program benchmarks (bench_cli) time tolvex-cli and the window beside
# their references in the same run; the window start-up needs a JACK server, so
# one with the dummy driver is started for the run (one that already runs, as
# named by JACK_DEFAULT_SERVER, is used and left alone).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=$(for f in bench/bench_*.cpp; do basename "$f" .cpp; done)
# shellcheck disable=SC2086
cmake --build "$build" --target $targets

jack_pid=""
stop_jack() {
  if [ -n "$jack_pid" ]; then
    kill "$jack_pid" 2>/dev/null || true
    wait "$jack_pid" 2>/dev/null || true
  fi
}
trap stop_jack EXIT
if command -v jackd >/dev/null && command -v jack_lsp >/dev/null && ! jack_lsp >/dev/null 2>&1; then
  jackd -d dummy -r 48000 -p 256 >"$build/jackd.log" 2>&1 &
  jack_pid=$!
  for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && break
    kill -0 "$jack_pid" 2>/dev/null || break
    sleep 0.1
  done
fi

export QT_QPA_PLATFORM=offscreen
for b in "$build"/bin/bench_*; do
  "$b" --benchmark_filter="${1:-.}"
done
