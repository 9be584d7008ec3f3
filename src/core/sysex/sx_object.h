// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler that joins incoming SysEx buffers into whole messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/sysex/line_log.h"
#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"

namespace tolvex {

class TSXobject {
public:
    // Progress goes to log, which must outlive the assembler.
    explicit TSXobject(LineLog& log) : log_(log) {}

    // Appends one received SysEx buffer; true when it completes the message,
    // which is then in sxdata. Only the last byte of a buffer decides whether
    // the message is complete. An F0 (at the start of a buffer or inside it)
    // while a message is partial starts a new message: the partial one is
    // logged and dropped. Messages completed inside the buffer before its
    // last F0 are left in `earlier`, oldest first, until the next call.
    bool Addsysex(const TMyMidiEvent& thisevent);

    Bytes sxdata;
    // Why sxdata may be damaged (MidiDoubt bits of its buffers); 0 when nothing speaks against it.
    std::uint8_t doubt = 0;
    std::vector<Bytes> earlier;
    std::string description;
    bool partial = false;
    std::int32_t partials = 0;
    std::int32_t partial_idx = 0;

private:
    bool addPiece(ByteView piece, std::uint8_t pieceDoubt);

    LineLog& log_;
};

}  // namespace tolvex
