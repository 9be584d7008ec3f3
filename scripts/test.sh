#!/usr/bin/env bash
# Configures, builds and runs every test. Usage: scripts/test.sh [build-dir]
# TOLVEX_SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sanitize=${TOLVEX_SANITIZE:-0}
san_flag=OFF
[ "$sanitize" = 1 ] && san_flag=ON

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_WERROR=ON -DTOLVEX_SANITIZE=$san_flag >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j 2
