// SPDX-License-Identifier: GPL-3.0-or-later
// A Korg Wavestation on a loopback port: it answers the bank requests
// F0 42 3n 28 1C/1D bank F7 on its channel with the patch or performance bank
// dump it was given, its bank byte set to the bank asked for, `delayMs` after
// the request on the shell's clock. Banks from `banks` on are not answered
// (an instrument with fewer banks), nor is anything while `silent`.
#pragma once

#include <string>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"
#include "midi/loopback.h"

namespace tolvex::testing {

class SimulatedWavestation {
public:
    // `patchBank` and `performanceBank`: dumps of function 4C and 4D (a real
    // instrument's, of any bank).
    SimulatedWavestation(MidiLoopback& bus, Shell& shell, std::string port, Bytes patchBank, Bytes performanceBank);
    ~SimulatedWavestation();
    SimulatedWavestation(const SimulatedWavestation&) = delete;
    SimulatedWavestation& operator=(const SimulatedWavestation&) = delete;

    int channel = 0;
    int banks = 12;
    bool silent = false;
    int delayMs = 2;

    // Every message the instrument heard, in order.
    const std::vector<Bytes>& heard() const { return heard_; }

private:
    void hear(ByteView message);

    MidiLoopback& bus_;
    Shell& shell_;
    std::string port_;
    Bytes patchBank_, performanceBank_;
    std::vector<Bytes> heard_;
    int timers_ = 0;
};

}  // namespace tolvex::testing
