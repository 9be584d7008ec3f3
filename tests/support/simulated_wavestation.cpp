// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_wavestation.h"

namespace tolvex::testing {

SimulatedWavestation::SimulatedWavestation(MidiLoopback& bus, Shell& shell, std::string port, Bytes patchBank,
                                           Bytes performanceBank)
    : bus_(bus),
      shell_(shell),
      port_(std::move(port)),
      patchBank_(std::move(patchBank)),
      performanceBank_(std::move(performanceBank))
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedWavestation::~SimulatedWavestation()
{
    bus_.attach(port_, {});
}

void SimulatedWavestation::hear(ByteView m)
{
    heard_.emplace_back(m.begin(), m.end());
    if (silent || m.size() != 7 || m[0] != 0xF0 || m[1] != 0x42 || m[2] != (0x30 | channel) || m[3] != 0x28 ||
        m[6] != 0xF7 || m[5] >= banks)
        return;
    const Bytes* dump = m[4] == 0x1C ? &patchBank_ : m[4] == 0x1D ? &performanceBank_ : nullptr;
    if (dump == nullptr) return;
    Bytes reply = *dump;
    // The checksum covers the data alone: channel and bank bytes change nothing else.
    reply[2] = static_cast<std::uint8_t>(0x30 | channel);
    reply[5] = m[5];
    // A one-shot timer per reply: it stops itself on its first tick.
    const std::string name = "wavestation:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delayMs, [this, name, reply = std::move(reply)] {
        shell_.stopTimer(name);
        bus_.inject(port_, reply);
    });
}

}  // namespace tolvex::testing
