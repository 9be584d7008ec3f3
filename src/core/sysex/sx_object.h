// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler that joins incoming SysEx buffers into whole messages, and the
// bulk output of one message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"

namespace tolvex {

class Session;

class TSXobject {
public:
    explicit TSXobject(Session& owner) : owner_(owner) {}

    // Appends one received SysEx buffer; true when it completes the message,
    // which is then in sxdata. Only the last byte of a buffer decides whether
    // the message is complete. An F0 (at the start of a buffer or inside it)
    // while a message is partial starts a new message: the partial one is
    // logged and dropped. Messages completed inside the buffer before its
    // last F0 are left in `earlier`, oldest first, until the next call.
    bool Addsysex(const TMyMidiEvent& thisevent);

    // Sends one message as a single long message on the session's output. Waits
    // up to kBusyWaitMs (handling events) for a previous message to finish;
    // never drops a message without telling the user. True when it was sent.
    bool MidiSysex_bulk_out(ByteView sxdata);

    static constexpr int kBusyWaitMs = 2000;

    Bytes sxdata;
    std::vector<Bytes> earlier;
    std::string description;
    bool partial = false;
    std::int32_t partials = 0;
    std::int32_t partial_idx = 0;

private:
    bool addPiece(ByteView piece);

    Session& owner_;
};

}  // namespace tolvex
