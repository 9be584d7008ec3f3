// SPDX-License-Identifier: GPL-3.0-or-later
// An output port that records what is sent, for commands that only send.
#pragma once

#include <vector>

#include "core/app/midi_port.h"

namespace tolvex::testing {

class FakeOutput : public MidiOutPort {
public:
    bool MidiOutBusy() const override { return busy || queued > 0; }
    void PutLong(ByteView data) override
    {
        if (fail) throw TolvexError("The MIDI device is gone");
        sent.emplace_back(data.begin(), data.end());
        if (stream) queued = data.size();
    }
    std::uint64_t QueuedBytes() const override { return queued; }
    void PutShort(std::uint8_t st, std::uint8_t d1, std::uint8_t d2) override { sent.push_back(Bytes{st, d1, d2}); }

    bool busy = false;
    bool fail = false;
    bool stream = false;  // a long message stays queued until the test drains `queued`
    std::uint64_t queued = 0;
    std::vector<Bytes> sent;
};

}  // namespace tolvex::testing
