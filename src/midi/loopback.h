// SPDX-License-Identifier: GPL-3.0-or-later
// An in-process MIDI bus standing in for the platform's MIDI service, for tests
// and for the simulated devices attached to it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/text/bytes.h"
#include "midi/midi_backend.h"

namespace tolvex {

// Named ports, each listed once as an input and once as an output. What an
// output sends on port P arrives at the input opened on P, unless a device is
// attached to P: the device then hears it instead and answers with inject().
// The bus must outlive the back-ends it makes.
class MidiLoopback {
public:
    explicit MidiLoopback(std::vector<std::string> ports = {"Loopback"});
    MidiLoopback(const MidiLoopback&) = delete;
    MidiLoopback& operator=(const MidiLoopback&) = delete;

    std::unique_ptr<MidiInBackend> makeInput();
    std::unique_ptr<MidiOutBackend> makeOutput();

    // Delivers a message, or a piece of a SysEx message, to the input opened on
    // `port`, as the driver would; any thread may call it. Nothing happens
    // while no input is open there.
    void inject(const std::string& port, ByteView message);
    // The service skipped a period of the input open on `port` (an xrun).
    void missPeriod(const std::string& port);
    // The service threw away everything queued for `port` (an input overrun).
    void overrun(const std::string& port);
    // Whether an input is open on `port`.
    bool inputOpen(const std::string& port);
    // The port stops working, as when the MIDI server goes away: the input and
    // every output open on it are told, with `reason`.
    void lose(const std::string& port, const std::string& reason);
    // While set, a send on `port` fails as a broken driver's would.
    void failSends(const std::string& port, bool fail);
    // The device hears, on the sending thread, every message sent on `port`.
    // An empty function detaches it.
    void attach(const std::string& port, std::function<void(ByteView)> device);
    // While held, sent long messages are not done (the output stays busy)
    // until releaseDone() finishes them.
    void holdDone(bool hold);
    void releaseDone();

private:
    struct Port {
        std::string name;
        MidiReceiver* input = nullptr;
        std::vector<MidiSendDone*> outputs;
        std::function<void(ByteView)> device;
        bool failing = false;
    };
    template <class Backend, class Watcher>
    class End;
    class Input;
    class Output;

    Port* find(const std::string& name);
    std::vector<std::string> names() const;

    std::mutex mutex_;  // guards the ports and the held completions; delivery to an input runs under it
    std::vector<Port> ports_;
    bool hold_ = false;
    std::vector<MidiSendDone*> held_;
};

}  // namespace tolvex
