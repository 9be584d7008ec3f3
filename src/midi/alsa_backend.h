// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI ports on the ALSA sequencer, over one sequencer client shared by the
// input and the output: messages of any length in both directions (SysEx
// travels in pieces of kAlsaSysexPiece bytes, paced so that no port is
// overrun), the port lists kept fresh by the sequencer's announcements, and a
// chosen port that goes away (or whose connection is removed) told to its device.
#pragma once

#include <cstddef>
#include <memory>

#include "midi/alsa_seq.h"
#include "midi/midi_backend.h"

namespace tolvex {

inline constexpr std::size_t kAlsaSysexPiece = 256;
// The pace of output to a port that ends in a MIDI cable (a kernel client),
// and the most a second to a program's port. A program also gets no more
// than its input pool has room for: the sender asks before each handful of
// pieces, since the sequencer would throw away the receiver's whole queue.
inline constexpr double kAlsaCableBytesPerSecond = 3125;
inline constexpr double kAlsaProgramBytesPerSecond = 1 << 20;

// The pace to programs' ports for outputs opened from now on: the
// TOLVEX_ALSA_PROGRAM_PACE environment variable (bytes a second) when set,
// else the last setAlsaProgramPace (the settings' AlsaProgramPace), else
// kAlsaProgramBytesPerSecond. Values below the cable's pace are raised to it.
double alsaProgramPace();
void setAlsaProgramPace(double bytesPerSecond);

struct MidiBackendPair {
    std::unique_ptr<MidiInBackend> in;
    std::unique_ptr<MidiOutBackend> out;
};

// Both back-ends over `seq`, which they own together. Port names are
// "client:port"; the program's own ports are "Tolvex In" and "Tolvex Out".
MidiBackendPair makeAlsaBackends(std::unique_ptr<AlsaSeq> seq);

}  // namespace tolvex
