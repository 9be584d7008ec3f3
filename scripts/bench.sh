#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them all (or those matching $1).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench
for b in build-bench/bin/bench_*; do
  "$b" --benchmark_filter="${1:-.}"
done
