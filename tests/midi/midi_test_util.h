// Messages and a drained-event log shared by the MIDI device tests.
#pragma once

#include <cstddef>
#include <vector>

#include "core/bytes.h"
#include "core/midi_event.h"
#include "midi/midi_input.h"

namespace tolvex::testing {

// F0, then bytes that differ from buffer to buffer (so a swapped or repeated
// buffer shows), then F7.
inline Bytes sysex(std::size_t length, std::uint8_t seed = 0)
{
    Bytes m(length);
    for (std::size_t i = 0; i < length; ++i) m[i] = static_cast<std::uint8_t>((i * 7 + i / 4096 + seed) & 0x7F);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

// Drains the input the way the main window does, keeping every event.
inline void collectEvents(TMidiInput& in, std::vector<TMyMidiEvent>& events)
{
    in.OnMidiInput = [&events](TMidiInput& sender) {
        while (auto e = sender.GetMidiEvent()) events.push_back(std::move(*e));
    };
}

}  // namespace tolvex::testing
