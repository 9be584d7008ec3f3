// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_korg.h"

namespace tolvex::testing {

SimulatedKorg::SimulatedKorg(MidiLoopback& bus, Shell* shell, std::string port, std::uint8_t model)
    : bus_(bus), shell_(shell), port_(std::move(port)), model_(model)
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedKorg::~SimulatedKorg()
{
    bus_.attach(port_, {});
}

std::vector<Bytes> SimulatedKorg::heard() const
{
    const std::lock_guard lock(mutex_);
    return heard_;
}

void SimulatedKorg::hear(ByteView m)
{
    Reply reply = Reply::Silent;
    Bytes dump;
    {
        const std::lock_guard lock(mutex_);
        heard_.emplace_back(m.begin(), m.end());
        const auto bank = m.size() == 7 && m[1] == 0x42 && m[3] == model_ ? bankDumps.find(m[4]) : bankDumps.end();
        if (bank != bankDumps.end()) {
            if (silentToRequests || m[5] >= banks) return;
            dump = bank->second;
        } else {
            if (m.size() < 7 || m[1] != 0x42 || m[3] != model_ || m[4] < 0x40 || m[4] == 0x41 || m[4] == 0x43) return;
            reply = dumps_ < replies.size() ? replies[dumps_] : Reply::Completed;
            ++dumps_;
        }
    }
    if (!dump.empty()) {
        // The checksum covers the data alone: channel and bank bytes change nothing else.
        dump[2] = m[2];
        dump[5] = m[5];
        return answer(std::move(dump));
    }
    if (reply == Reply::Silent) return;
    Bytes loaded{0xF0, 0x42, m[2], model_};
    if (replyCode) {
        loaded.push_back(0x24);
        loaded.push_back(reply == Reply::Completed ? 0x00 : 0x41);
    } else {
        loaded.push_back(reply == Reply::Completed ? 0x23 : 0x24);
    }
    loaded.push_back(0xF7);
    answer(std::move(loaded));
}

void SimulatedKorg::answer(Bytes message)
{
    if (shell_ == nullptr || delayMs == 0) return bus_.inject(port_, message);
    // A one-shot timer per answer: it stops itself on its first tick.
    const std::string name = "korg:" + port_ + ":" + std::to_string(timers_++);
    shell_->startTimer(name, delayMs, [this, name, message] {
        shell_->stopTimer(name);
        bus_.inject(port_, message);
    });
}

}  // namespace tolvex::testing
