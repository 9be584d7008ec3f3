// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/monitor_text.h"

#include <array>

#include "core/text/text_utils.h"

namespace tolvex {

namespace {

constexpr std::array<const char*, 8> EventNames = {"Note Off",       "Note On",        "Key Aftertouch",
                                                   "Control Change", "Program Change", "Channel Aftertouch",
                                                   "Pitch Bend",     "System Message"};

constexpr std::array<const char*, 16> SysMsgNames = {"System Exclusive",
                                                     "MTC Quarter Frame",
                                                     "Song Position Pointer",
                                                     "Song Select",
                                                     "Undefined",
                                                     "Undefined",
                                                     "Tune Request",
                                                     "System Exclusive End",
                                                     "Timing Clock",
                                                     "Undefined",
                                                     "Start",
                                                     "Continue",
                                                     "Stop",
                                                     "Undefined",
                                                     "Active Sensing",
                                                     "System Reset"};

}  // namespace

std::string MonitorMessageText(const TMyMidiEvent& e)
{
    const unsigned hi = e.Time >> 16;
    const unsigned lo = e.Time & 0xFFFF;
    const unsigned st = e.MidiMessage;
    if (st < 0x80) return "Unrecognized MIDI Event";
    if (st < 0xF0) {
        const char* name = EventNames[(st - 0x80) / 16];
        if (st >= 0xC0 && st <= 0xDF)
            return format("%4.4X%4.4X   %2.2X       %2.2X           %s", hi, lo, st, e.Data1, name);
        return format("%4.4X%4.4X   %2.2X       %2.2X    %2.2X     %s", hi, lo, st, e.Data1, e.Data2, name);
    }
    const char* name = SysMsgNames[st & 0x0F];
    switch (st) {
    case 0xF0:
        if (e.Sysex.empty() || e.Sysex[0] != 0xF0) return "";
        return format("Sysex (%5d): ", static_cast<int>(e.Sysex.size())) + BinaryToHexList(e.Sysex);
    case 0xF1:
    case 0xF3: return format("%4.4X%4.4X   %2.2X       %2.2X           %s", hi, lo, st, e.Data1, name);
    case 0xF2: return format("%4.4X%4.4X   %2.2X       %2.2X    %2.2X     %s", hi, lo, st, e.Data1, e.Data2, name);
    default: return format("%4.4X%4.4X   %2.2X                    %s", hi, lo, st, name);
    }
}

}  // namespace tolvex
