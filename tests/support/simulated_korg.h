// SPDX-License-Identifier: GPL-3.0-or-later
// A Korg instrument on a loopback port that loads the dumps it hears and
// answers each as Korg instruments do: F0 42 3g mm 23 F7 (DATA LOAD
// COMPLETED), 24 (DATA LOAD ERROR) or nothing, `delayMs` after the dump on
// the shell's clock (at once without a shell). With `replyCode` it answers
// as the Kronos does: 24 00 (no error) or 24 41 (target object is protected).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"
#include "midi/loopback.h"

namespace tolvex::testing {

class SimulatedKorg {
public:
    enum class Reply { Completed, Error, Silent };

    SimulatedKorg(MidiLoopback& bus, Shell* shell, std::string port, std::uint8_t model);
    ~SimulatedKorg();
    SimulatedKorg(const SimulatedKorg&) = delete;
    SimulatedKorg& operator=(const SimulatedKorg&) = delete;

    // The answers to the dumps (function 40 or above, parameter changes 41
    // and 43 aside) in the order heard; Completed after the last.
    std::vector<Reply> replies;
    int delayMs = 0;
    bool replyCode = false;

    // Every message the instrument heard, in order.
    std::vector<Bytes> heard() const;

private:
    void hear(ByteView message);

    MidiLoopback& bus_;
    Shell* shell_;
    std::string port_;
    std::uint8_t model_;
    mutable std::mutex mutex_;
    std::vector<Bytes> heard_;
    std::size_t dumps_ = 0;
    int timers_ = 0;
};

}  // namespace tolvex::testing
