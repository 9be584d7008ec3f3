#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and
# runs each for SECONDS (default 60) on seeds from the project's fixtures and
# ../shared/fixtures when present. Prints per target the executions, the
# executions per second of wall time and of CPU time (the machine may be busy
# with other work), and the coverage.
# A finding leaves its reproducer in build-fuzz/findings/TARGET/ and makes the
# script exit 1.   Usage: scripts/fuzz.sh [SECONDS] [TARGET-NAME-PART]
set -uo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
only=${2:-}
build=$PWD/build-fuzz
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (scripts/install-deps.sh installs it)" >&2; exit 2; }
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEX_FUZZ=ON \
  -DTOLVEX_BUILD_GUI=OFF -DTOLVEX_BUILD_TESTS=OFF -DTOLVEX_BUILD_BENCH=OFF >/dev/null || exit 2
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
[ -n "$only" ] && targets=$(echo "$targets" | grep -- "$only")
# shellcheck disable=SC2086
cmake --build "$build" --target $targets || exit 2

# Seeds: every .syx and .csv of the fixtures, whole and split into messages (a few hundred KB at most per target).
seeds=$build/seeds
rm -rf "$seeds" && mkdir -p "$seeds"
for dir in tests/fixtures ../shared/fixtures; do
  [ -d "$dir" ] || continue
  find "$dir" \( -name '*.syx' -o -name '*.csv' \) -size -300k -print0 | while IFS= read -r -d '' f; do
    cp "$f" "$seeds/$(echo "$f" | tr '/' '_')"
  done
done
python3 - "$seeds" <<'PY'
import os, sys
d = sys.argv[1]
for name in sorted(os.listdir(d)):
    data = open(os.path.join(d, name), "rb").read()
    for i, m in enumerate(data.split(b"\xF7")[:64]):
        k = m.find(b"\xF0")
        if k >= 0:
            open(os.path.join(d, "%s.%d" % (name, i)), "wb").write(m[k:] + b"\xF7")
PY

# Targets that take a few buffers, lines, settings or one record get the seeds
# cut to the longest input they read (with the shipped settings and table
# files) and no longer inputs: a longer one costs each run more and reaches
# nothing new. The others get whole dumps.
declare -A maxlen=([fuzz_addsysex]=256 [fuzz_csv]=1024 [fuzz_ini]=256 [fuzz_monitor_text]=1024
  [fuzz_triton2kronos]=449 [fuzz_yamaha_csv]=2048)
seedsCutTo() {
  local dir=$build/seeds-$1
  if [ ! -d "$dir" ]; then
    mkdir -p "$dir"
    python3 - "$seeds" "$dir" "$1" data/*.ini data/sources/*.tsv <<'PY'
import os, sys
src, dst, cut = sys.argv[1], sys.argv[2], int(sys.argv[3])
files = [os.path.join(src, n) for n in sorted(os.listdir(src))] + sys.argv[4:]
for path in files:
    data = open(path, "rb").read(cut)
    open(os.path.join(dst, os.path.basename(path)), "wb").write(data)
PY
  fi
  echo "$dir"
}
rm -rf "$build"/seeds-*

# A small quarantine: each input frees what it allocated long before 4 MB of
# later frees, and the run spends its time fuzzing rather than faulting in pages.
# No stack is kept per allocation (most of the allocator's cost); a finding is
# run once more with them, so its report says where the memory came from.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=4:malloc_context_size=0}
TIMEFORMAT='%U %S'
status=0
printf '%-24s %12s %8s %10s %8s %s\n' target executions exec/s exec/cpu-s coverage result
for t in $targets; do
  corpus=$build/corpus/$t findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  log=$build/$t.log
  if [ -n "${maxlen[$t]:-}" ]; then from=("$(seedsCutTo "${maxlen[$t]}")" -max_len="${maxlen[$t]}"); else from=("$seeds"); fi
  { time "$build/bin/$t" "$corpus" "${from[@]}" -max_total_time="$secs" -dict="$PWD/fuzz/sysex.dict" \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; } 2>"$log.cpu"
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  cpurate=$(awk -v n="${runs:-0}" '{ t = $1 + $2; if (t > 0) printf "%d", n / t }' "$log.cpu")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  if [ $rc -eq 0 ] && [ -z "$(ls -A "$findings")" ]; then
    result=ok
  else
    result="FINDING (see $log, $log.full, $findings)"
    status=1
    for f in "$findings"/*; do
      [ -f "$f" ] && ASAN_OPTIONS=quarantine_size_mb=16 "$build/bin/$t" "$f" >>"$log.full" 2>&1
    done
  fi
  printf '%-24s %12s %8s %10s %8s %s\n' "$t" "${runs:-?}" "${rate:-?}" "${cpurate:-?}" "${cov:-?}" "$result"
done
exit $status
