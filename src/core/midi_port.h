// The output the message core sends through. The MIDI library implements it
// over real ports and the loopback; tests can fake it.
#pragma once

#include "core/bytes.h"

namespace tolvex {

class MidiOutPort {
public:
    virtual ~MidiOutPort() = default;
    // True while a long message handed to PutLong is still going out.
    virtual bool MidiOutBusy() const = 0;
    // Sends one long (SysEx) message. The bytes have been sent or copied when it
    // returns. Throws TolvexError with the device's text on failure.
    virtual void PutLong(ByteView data) = 0;
};

}  // namespace tolvex
