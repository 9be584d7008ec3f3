# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the command-line tests on real JACK ports (with $cli set): sets
# TOLVEX_MIDI_API=jack and ends the test as skipped (77) when no JACK server
# runs, or as failed when TOLVEX_REQUIRE_JACK=1 says one must be there.
export TOLVEX_MIDI_API=jack
if ! "$cli" ports 2>/dev/null | grep -q '^in:Tolvex In$'; then
  [ "${TOLVEX_REQUIRE_JACK:-}" = 1 ] && { echo "no JACK server, but one is required"; exit 1; }
  echo "no JACK server: skipped"
  exit 77
fi

# The port of a `receive` just started, as senders name it, once JACK lists it
# (at most 10 s); empty when it never appears.
receiver_port() {
  local port=""
  for _ in $(seq 100); do
    port=$("$cli" ports 2>/dev/null | sed -n 's/^out:\(Tolvex CLI Receive In[^:]*:Tolvex In\)$/\1/p' | head -n 1)
    [ -n "$port" ] && break
    sleep 0.1
  done
  echo "$port"
}
