// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/sx_object.h"

#include "core/text/bytes.h"

namespace tolvex {

bool TSXobject::Addsysex(const TMyMidiEvent& thisevent)
{
    const ByteView buf(thisevent.Sysex);
    earlier.clear();
    if (buf.empty()) return false;  // an empty buffer carries nothing to join
    // A data byte is never F0, so an F0 inside a buffer starts a new message
    // (a sender that stopped mid-dump, joined to the next one on the way).
    std::size_t from = 0;
    for (std::size_t i = 1; i < buf.size(); ++i) {
        if (buf[i] != 0xF0) continue;
        if (addPiece(buf.subspan(from, i - from), thisevent.Doubt)) earlier.push_back(std::move(sxdata));
        from = i;
    }
    return addPiece(buf.subspan(from), thisevent.Doubt);
}

bool TSXobject::addPiece(ByteView buf, std::uint8_t pieceDoubt)
{
    LineLog& log = log_;
    if (partial && buf.front() == 0xF0) {
        // The partial message can never be completed.
        log.LogString(format("Incomplete SysEx message discarded (%d bytes)", static_cast<int>(sxdata.size())));
        partial = false;
        partials = 0;
        sxdata.clear();
    }

    doubt = partial ? static_cast<std::uint8_t>(doubt | pieceDoubt) : pieceDoubt;
    ++partials;
    const int len = static_cast<int>(buf.size());
    bool complete;
    if (buf.back() != 0xF7) {
        if (!partial) {
            partial_idx = log.LogString("First Partial Sysex buffer");
            sxdata.clear();
        } else {
            // Rewritten for every buffer of a long dump, so built without printf.
            log.replace(partial_idx, "Partial Sysex buffer " + std::to_string(partials) +
                                         ", total bytes: " + std::to_string(sxdata.size()));
        }
        partial = true;
        complete = false;
        sxdata.insert(sxdata.end(), buf.begin(), buf.end());
    } else {
        if (partial) {
            sxdata.insert(sxdata.end(), buf.begin(), buf.end());
            log.replace(partial_idx, format("Final buffer %d bytes (%d events),total bytes: %d", len, partials,
                                            static_cast<int>(sxdata.size())));
        } else {
            log.LogString(format("Complete SysEx message %d", len));
            sxdata.assign(buf.begin(), buf.end());
        }
        partial = false;
        partials = 0;
        complete = true;
    }
    return complete;
}

}  // namespace tolvex
