// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_backend.h"

namespace tolvex {

namespace {

struct ErrorText {
    MidiErrorCode code;
    const char* in;
    const char* out;
};

constexpr ErrorText kErrorTexts[] = {
    {MidiErrorCode::None, "The MIDI input operation completed successfully",
     "The MIDI output operation completed successfully"},
    {MidiErrorCode::NoSuchPort, "The MIDI input port is not there", "The MIDI output port is not there"},
    {MidiErrorCode::PortInUse, "The MIDI input port is already in use", "The MIDI output port is already in use"},
    {MidiErrorCode::Driver, "The MIDI system refused the input operation",
     "The MIDI system refused the output operation"},
    {MidiErrorCode::TooLong, "The MIDI message is too long for the input",
     "The MIDI message is too long for the output"},
    {MidiErrorCode::InvalidData, "The bytes received are not a MIDI message",
     "The bytes to send are not a MIDI message"},
    {MidiErrorCode::Lost, "The MIDI input device was lost", "The MIDI output device was lost"},
};

constexpr char kOutOfRange[] = "Specified error number is out of range";

}  // namespace

std::string MidiInErrorString(MidiErrorCode code)
{
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return e.in;
    return kOutOfRange;
}

std::string midioutErrorString(MidiErrorCode code)
{
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return e.out;
    return kOutOfRange;
}

}  // namespace tolvex
