// SPDX-License-Identifier: GPL-3.0-or-later
// The output the message core sends through. The MIDI library implements it
// over real ports and the loopback; tests can fake it.
#pragma once

#include <cstdint>

#include "core/text/bytes.h"

namespace tolvex {

class MidiOutPort {
public:
    virtual ~MidiOutPort() = default;
    // True while a long message handed to PutLong is still going out.
    virtual bool MidiOutBusy() const = 0;
    // Sends one long (SysEx) message. The bytes have been sent or copied when it
    // returns. Throws TolvexError with the device's text on failure.
    virtual void PutLong(ByteView data) = 0;
    // Sends one short message (status and up to two data bytes). Throws TolvexError on failure.
    virtual void PutShort(std::uint8_t MidiMessage, std::uint8_t Data1, std::uint8_t Data2) = 0;
    // Stops the long message going out between two of its pieces (its
    // receiver drops it as unfinished) and drops the ones queued behind it.
    virtual void CancelLong() {}
    // Bytes handed to PutLong that have not gone out yet (0 where the device does not say).
    virtual std::uint64_t QueuedBytes() const { return 0; }
};

}  // namespace tolvex
