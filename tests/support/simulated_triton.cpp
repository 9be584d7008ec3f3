// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simulated_triton.h"

#include <algorithm>

namespace tolvex::testing {

Bytes tritonCurrentCombiDump(int channel, const triton::Ttri_Combi& combi)
{
    const Bytes head{0xF0, 0x42, static_cast<std::uint8_t>(0x30 | (channel & 0x0F)), 0x50, 0x49, 0x00};
    return KorgDatatoSXConvert(head, triton::recordBytes(combi));
}

Bytes tritonAllDataDump(const std::vector<Bytes>& combis, const std::vector<Bytes>& programs)
{
    using namespace triton;
    Bytes data((kAllDataLength - kAllDataPackedAt - 1) / 8 * 7, 0x55);
    for (std::size_t i = 0; i < combis.size(); ++i)
        std::copy(combis[i].begin(), combis[i].end(), data.begin() + static_cast<long>(kAllDataCombisAt + 448 * i));
    for (std::size_t i = 0; i < programs.size(); ++i)
        std::copy(programs[i].begin(), programs[i].end(),
                  data.begin() + static_cast<long>(kAllDataProgramsAt + 540 * i));
    const Bytes head{0xF0, 0x42, 0x30, 0x50, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    return KorgDatatoSXConvert(head, data);
}

SimulatedTriton::SimulatedTriton(MidiLoopback& bus, Shell& shell, std::string port)
    : bus_(bus), shell_(shell), port_(std::move(port))
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedTriton::~SimulatedTriton()
{
    bus_.attach(port_, {});
}

void SimulatedTriton::hear(ByteView m)
{
    const Bytes request{0xF0, 0x42, 0x30, 0x50, 0x19};
    if (m.size() < 7 || !std::equal(request.begin(), request.end(), m.begin())) return;
    // A one-shot timer per reply: it stops itself on its first tick.
    const std::string name = "triton:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delayMs, [this, name, reply = tritonCurrentCombiDump(0, currentCombi)] {
        shell_.stopTimer(name);
        bus_.inject(port_, reply);
    });
}

}  // namespace tolvex::testing
