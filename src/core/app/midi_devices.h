// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window needs of its two MIDI devices. The MIDI library
// implements it over real ports; tests implement it over the loopback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/midi_port.h"
#include "core/sysex/midi_event.h"

namespace tolvex {

// What the MIDI service lost on the input since the last look.
struct MidiLosses {
    std::uint32_t events = 0;     // events the service itself dropped
    std::uint32_t messages = 0;   // SysEx messages discarded because data went missing inside them
    std::uint32_t mixed = 0;      // SysEx messages cut by another sender's message
    bool severalSenders = false;  // several senders now feed the input (told once)
    std::uint32_t periods = 0;    // periods the service skipped while MIDI was arriving
    std::uint32_t overruns = 0;   // times the service threw away all it had queued for the input
};

class MidiDevices {
public:
    virtual ~MidiDevices() = default;

    // Device names in the platform's order (the selectors show them so).
    virtual std::vector<std::string> inputNames() const = 0;
    virtual std::vector<std::string> outputNames() const = 0;

    // Open by the exact listed name; the input is started at once. Throw
    // TolvexError with the device's own text when that fails.
    virtual void openInput(const std::string& name, bool sysexOnly) = 0;
    virtual void closeInput() = 0;
    virtual void openOutput(const std::string& name) = 0;
    virtual void closeOutput() = 0;
    virtual bool inputOpen() const = 0;
    virtual bool outputOpen() const = 0;

    // The open output, or nullptr.
    virtual MidiOutPort* output() = 0;

    // Received events, oldest first; nothing when the queue is empty or the input closed.
    virtual std::optional<TMyMidiEvent> GetMidiEvent() = 0;
    // Events dropped because the queue or the buffers were full, since the last call.
    virtual std::uint32_t takeOverflowDrops() = 0;
    // Losses of the MIDI service since the last call (reported through onOverflow too).
    virtual MidiLosses takeLosses() { return {}; }
    // Bytes of a SysEx message the input was still receiving when it last
    // closed (or was lost), once; 0 when none was left unfinished.
    virtual std::size_t takeUnfinishedInput() { return 0; }
    // The same without taking it.
    virtual std::size_t unfinishedInput() const { return 0; }

    // Set by the owner; called on the main thread when events are waiting or were dropped.
    std::function<void()> onInput;
    std::function<void()> onOverflow;
    // Set by the owner; called on the main thread, once per loss, when an open
    // device stops working: the MIDI server went away, the port the user chose
    // lost its connection, or a send failed. The device is closed by then
    // (inputOpen()/outputOpen() say which); `reason` is for the user.
    std::function<void(const std::string& reason)> onLost;
};

}  // namespace tolvex
