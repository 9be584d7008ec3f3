// SPDX-License-Identifier: GPL-3.0-or-later
// A synthesizer on a loopback port that answers requests from a table, on the
// scripted shell's virtual clock, so tests can hold whole conversations.
#pragma once

#include <string>
#include <vector>

#include "core/text/bytes.h"
#include "midi/loopback.h"
#include "support/scripted_shell.h"

namespace tolvex::testing {

class SimulatedDevice {
public:
    struct Rule {
        Bytes request;               // pattern; 0xFF matches any byte
        std::vector<Bytes> replies;  // sent in order, each `delayMs` after the previous
        int delayMs = 50;
    };

    SimulatedDevice(MidiLoopback& bus, ScriptedShell& shell, std::string port);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    void on(Bytes request, std::vector<Bytes> replies, int delayMs = 50)
    {
        rules_.push_back({std::move(request), std::move(replies), delayMs});
    }
    // Sends a message unasked, after delayMs.
    void sendLater(Bytes message, int delayMs);

    // Every message the device heard, in order.
    const std::vector<Bytes>& heard() const { return heard_; }

private:
    void hear(ByteView message);

    MidiLoopback& bus_;
    ScriptedShell& shell_;
    std::string port_;
    std::vector<Rule> rules_;
    std::vector<Bytes> heard_;
    int timers_ = 0;
};

}  // namespace tolvex::testing
