// SPDX-License-Identifier: GPL-3.0-or-later
// One received MIDI event: a short message or one SysEx buffer.
#pragma once

#include <cstdint>

#include "core/text/bytes.h"

namespace tolvex {

// Why a received SysEx message may be damaged, as bits; 0 when nothing speaks against it.
enum MidiDoubt : std::uint8_t {
    kDoubtLatePeriod = 1,  // the audio server ran the input late while it arrived (bytes may be missing or doubled)
    kDoubtDropped = 2,     // the audio server dropped events while it arrived
};

struct TMyMidiEvent {
    std::uint8_t MidiMessage = 0;  // status byte; 0xF0 for a SysEx buffer
    std::uint8_t Data1 = 0;        // 0 for SysEx
    std::uint8_t Data2 = 0;        // 0 for SysEx
    std::uint32_t Time = 0;        // milliseconds since input was started
    Bytes Sysex;                   // owned copy of the buffer; empty for a short message
    std::uint8_t Doubt = 0;        // MidiDoubt bits of the SysEx message this buffer belongs to

    // The buffer length (1 to 65535 for a SysEx buffer, 0 for a short message).
    std::uint16_t SysexLength() const { return static_cast<std::uint16_t>(Sysex.size()); }
};

}  // namespace tolvex
