// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_device.h"

namespace tolvex::testing {

SimulatedDevice::SimulatedDevice(MidiLoopback& bus, ScriptedShell& shell, std::string port)
    : bus_(bus), shell_(shell), port_(std::move(port))
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedDevice::~SimulatedDevice()
{
    bus_.attach(port_, {});
}

void SimulatedDevice::sendLater(Bytes message, int delayMs)
{
    // A one-shot timer per reply: it stops itself on its first tick.
    const std::string name = "sim:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delayMs, [this, name, message] {
        shell_.stopTimer(name);
        bus_.inject(port_, message);
    });
}

void SimulatedDevice::hear(ByteView message)
{
    heard_.emplace_back(message.begin(), message.end());
    for (const Rule& rule : rules_) {
        bool match = message.size() >= rule.request.size();
        for (std::size_t i = 0; match && i < rule.request.size(); ++i)
            match = rule.request[i] == 0xFF || rule.request[i] == message[i];
        if (!match) continue;
        int at = 0;
        for (const Bytes& reply : rule.replies) sendLater(reply, at += rule.delayMs);
        return;
    }
}

}  // namespace tolvex::testing
