# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the command-line tests on real JACK ports: with TOLVEX_MIDI_API=jack
# set, ends the test as skipped (77) when CLI finds no JACK server, or as
# failed when TOLVEX_REQUIRE_JACK=1 says one must be there.
export TOLVEX_MIDI_API=jack
if ! "$cli" ports 2>/dev/null | grep -q '^in:Tolvex In$'; then
  [ "${TOLVEX_REQUIRE_JACK:-}" = 1 ] && { echo "no JACK server, but one is required"; exit 1; }
  echo "no JACK server: skipped"
  exit 77
fi
