// SPDX-License-Identifier: GPL-3.0-or-later
// The output the message core sends through. The MIDI library implements it
// over real ports and the loopback; tests can fake it.
#pragma once

#include <cstdint>
#include <string>

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
    // Periods since the device opened in which the MIDI service ran this
    // program late while it had messages going out: a receiver may then have
    // got some of them twice, or not at all (0 where the service has no periods).
    virtual std::uint64_t LatePeriods() const { return 0; }
};

// The line said after a send during which the service ran this program late
// `late` times: "The audio server may have repeated or dropped messages while
// sending (N late periods)".
std::string lateSendLine(std::uint64_t late);

}  // namespace tolvex
