// SPDX-License-Identifier: GPL-3.0-or-later
// A Yamaha DX7II or TX802 on a loopback port: it follows program changes on
// its channel and answers the performance and voice edit-buffer requests on
// that device number only, with the records the test put at the current program,
// each `delayMs` after the request on the shell's clock (virtual with the
// scripted shell, real with the runner's).
#pragma once

#include <array>
#include <set>
#include <string>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"
#include "devices/yamaha/yamaha_formats.h"
#include "midi/loopback.h"

namespace tolvex::testing {

using VoiceEditBuf = std::array<std::uint8_t, 155>;  // the voice name at 145-154

// The edit-buffer dumps as the instrument sends them.
Bytes dx7iiPerfEditBufDump(int device, const DX7iiPerformance& performance);  // 69 bytes
Bytes voiceEditBufDump(int device, const VoiceEditBuf& voice);                // 163 bytes
// A voice edit buffer holding only a name (10 characters, blank-padded).
VoiceEditBuf voiceNamed(const std::string& name);

class SimulatedYamaha {
public:
    SimulatedYamaha(MidiLoopback& bus, Shell& shell, std::string port, int channel = 0);
    ~SimulatedYamaha();
    SimulatedYamaha(const SimulatedYamaha&) = delete;
    SimulatedYamaha& operator=(const SimulatedYamaha&) = delete;

    // What the instrument holds by program number (0-127).
    std::array<DX7iiPerformance, 128> performances{};
    std::array<VoiceEditBuf, 128> voices{};
    int delayMs = 20;
    // Answers only this many requests, then falls silent (-1: always answers).
    int answersLeft = -1;
    // Programs whose dumps go out with a wrong checksum.
    std::set<int> badChecksum;

    int program() const { return program_; }

private:
    void hear(ByteView message);

    MidiLoopback& bus_;
    Shell& shell_;
    std::string port_;
    int channel_;
    int program_ = 0;
    int timers_ = 0;
};

}  // namespace tolvex::testing
