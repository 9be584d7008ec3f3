#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence line on every source file of the repository that lacks it:
# "// SPDX-License-Identifier: GPL-3.0-or-later" on the first line of C and C++
# files, the same after "#" (below a "#!" line) in shell, Python and CMake files.
# Files that have the line are left alone, so running it again changes nothing.
# Usage: scripts/add-spdx.sh           add the line where it is missing
#        scripts/add-spdx.sh --check   list the files without it; exit 1 if any
set -euo pipefail
cd "$(dirname "$0")/.."
readonly tag="SPDX-License-Identifier: GPL-3.0-or-later"

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: scripts/add-spdx.sh [--check]" >&2; exit 2 ;;
esac

# Tracked and new (not ignored) files; data and test fixtures are not sources.
sources() {
  git ls-files --cached --others --exclude-standard |
    grep -vE '^(data|tests/fixtures)/' |
    grep -E '\.(c|cc|cpp|h|hpp|sh|py|cmake)$|(^|/)CMakeLists\.txt$|^\.ci/run$' |
    sort -u
}

missing=0
while IFS= read -r f; do
  [ -f "$f" ] || continue
  # The line counts only near the top, where a reader looks for it.
  if head -n 3 "$f" | grep -qF "$tag"; then continue; fi
  missing=$((missing + 1))
  if [ "$check" = 1 ]; then
    echo "no licence line: $f"
    continue
  fi
  tmp=$(mktemp "$f.spdx.XXXXXX")
  case "$f" in
    *.c | *.cc | *.cpp | *.h | *.hpp)
      { echo "// $tag"; cat "$f"; } >"$tmp" ;;
    *)
      if head -n 1 "$f" | grep -q '^#!'; then
        { head -n 1 "$f"; echo "# $tag"; tail -n +2 "$f"; } >"$tmp"
      else
        { echo "# $tag"; cat "$f"; } >"$tmp"
      fi ;;
  esac
  chmod --reference="$f" "$tmp"
  mv "$tmp" "$f"
  echo "added: $f"
done < <(sources)

if [ "$check" = 1 ] && [ "$missing" -gt 0 ]; then
  echo "add-spdx: $missing file(s) without \"$tag\"; run scripts/add-spdx.sh" >&2
  exit 1
fi
[ "$check" = 1 ] && echo "add-spdx: every source file has its licence line"
exit 0
