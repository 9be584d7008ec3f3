// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor line of one received MIDI event.
#pragma once

#include <string>

#include "core/sysex/midi_event.h"

namespace tolvex {

// The one-line log text of a received event (time, status, data, event name).
std::string MonitorMessageText(const TMyMidiEvent& ThisEvent);

}  // namespace tolvex
