#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how sharp the tests are: applies each single-line fault of
# tests/faults/faults.txt in turn, rebuilds the test programs in a build folder
# of its own, runs them until the first failing test, puts the file back and
# says which test caught the fault (or NOT CAUGHT). A fault whose text is no
# longer in its file is "not found" and counts for nothing; one that does not
# build is no fault and counts for nothing either.
# Usage: scripts/fault-campaign.sh [build-dir] [faults-file]
# The tests on real JACK ports are left out (they need a server and add
# nothing for byte-level faults), as are the shell-script tests of ctest and,
# unless FAULTS_GUI=1, the window tests.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-faults}
faults=${2:-tests/faults/faults.txt}
targets=(tolvex_core_tests tolvex_devices_tests tolvex_cli_tests tolvex_library_tests tolvex_midi_tests)
[ "${FAULTS_GUI:-0}" = 1 ] && targets+=(tolvex_gui_tests)
built=("${targets[@]}" tolvex_data)  # the tests read the tables beside the programs

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_WERROR=ON >/dev/null || exit 1
cmake --build "$build" --target "${built[@]}" >/dev/null || { echo "the unchanged tree does not build" >&2; exit 1; }

export QT_QPA_PLATFORM=offscreen TOLVEX_REQUIRE_JACK=0
export JACK_NO_START_SERVER=1
backup=$(mktemp)
restore() { [ -n "${current:-}" ] && cp "$backup" "$current"; current=""; }
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

# Runs the test programs in order and prints the first failing test, or nothing.
first_failure() {
  local t out
  for t in "${targets[@]}"; do
    if [ ! -x "$build/bin/$t" ]; then echo "$t (missing)"; return; fi
    out=$(cd "$build/tests" && timeout 600 "../bin/$t" --gtest_fail_fast --gtest_brief=1 \
          --gtest_filter='-Jack.*:AlsaSequencer.*' 2>&1)
    local rc=$?
    if [ $rc -ne 0 ]; then
      local name
      name=$(grep -m1 -oE '^\[  FAILED  \] [A-Za-z0-9_/.]+' <<<"$out" | sed 's/^\[  FAILED  \] //')
      [ -z "$name" ] && name="$t (exit $rc)"
      echo "$name"
      return
    fi
  done
}

# The unchanged suite must pass, or every fault would look caught.
unchanged=$(first_failure)
if [ -n "$unchanged" ]; then echo "the unchanged suite fails: $unchanged" >&2; exit 1; fi

total=0 caught=0 missed=0 absent=0 broken=0 n=0
current=""
while IFS= read -r -d '' entry; do
  file=$(sed -n 's/^file: //p' <<<"$entry")
  from=$(sed -n 's/^from: //p' <<<"$entry")
  to=$(sed -n 's/^to: //p' <<<"$entry")
  why=$(sed -n 's/^why: //p' <<<"$entry")
  [ -z "$file" ] && continue
  n=$((n + 1))
  label=$(printf '%2d %s: %s' "$n" "$file" "$why")
  if [ ! -f "$file" ]; then
    echo "$label -- not found (no file)"; absent=$((absent + 1)); continue
  fi
  count=$(FROM="$from" python3 -c 'import os,sys; print(open(sys.argv[1]).read().count(os.environ["FROM"]))' "$file")
  if [ "$count" != 1 ]; then
    if [ "$count" = 0 ]; then echo "$label -- not found"; else echo "$label -- not found (text is there $count times)"; fi
    absent=$((absent + 1)); continue
  fi
  cp "$file" "$backup"; current=$file
  FROM="$from" TO="$to" python3 -c '
import os, sys
p = sys.argv[1]; t = open(p).read()
open(p, "w").write(t.replace(os.environ["FROM"], os.environ["TO"], 1))' "$file"
  if ! cmake --build "$build" --target "${built[@]}" >/dev/null 2>&1; then
    echo "$label -- does not build (no fault)"; broken=$((broken + 1)); restore; continue
  fi
  total=$((total + 1))
  by=$(first_failure)
  if [ -n "$by" ]; then
    echo "$label -- caught by $by"; caught=$((caught + 1))
  else
    echo "$label -- NOT CAUGHT"; missed=$((missed + 1))
  fi
  restore
done < <(awk 'BEGIN{RS=""; ORS="\0"} !/^#/ || /\nfile:/ {print}' "$faults")

# Leave the build folder matching the tree again.
cmake --build "$build" --target "${built[@]}" >/dev/null 2>&1
echo "caught $caught of $total faults ($missed not caught; $absent not found, $broken not building)"
