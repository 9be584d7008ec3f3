#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Tolvex (release) and starts it from its program folder, beside its bundled data.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target tolvex tolvex-cli tolvex_data
exec build-release/bin/tolvex "$@"
