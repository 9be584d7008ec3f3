// SPDX-License-Identifier: GPL-3.0-or-later
// A Korg instrument on a loopback port that loads the dumps it hears and
// answers each as Korg instruments do: F0 42 3g mm 23 F7 (DATA LOAD
// COMPLETED), 24 (DATA LOAD ERROR) or nothing, `delayMs` after the dump on
// the shell's clock (at once without a shell). With `replyCode` it answers
// as the Kronos does: 24 00 (no error) or 24 41 (target object is protected).
// Given bank dumps, it answers a bank request (F0 42 3n mm ff bank F7) with
// the dump for that function, its channel and bank bytes set to the request's.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
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
    // The dumps it answers bank requests with, by request function (e.g. the
    // Wavestation's 1C: a 4C patch bank); banks from `banks` on, or every
    // request while `silentToRequests`, get no answer.
    std::map<std::uint8_t, Bytes> bankDumps;
    int banks = 12;
    bool silentToRequests = false;

    // Every message the instrument heard, in order.
    std::vector<Bytes> heard() const;

private:
    void hear(ByteView message);
    void answer(Bytes message);

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
