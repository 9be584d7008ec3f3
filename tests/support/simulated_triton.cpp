#include "support/simulated_triton.h"

namespace tolvex::testing {

namespace {

Bytes header(int channel, std::initializer_list<std::uint8_t> rest)
{
    Bytes h{0xF0, 0x42, static_cast<std::uint8_t>(0x30 | (channel & 0x0F)), 0x50};
    h.insert(h.end(), rest);
    return h;
}

template <class Record>
Bytes dump(const Bytes& head, const Record& record)
{
    return KorgDatatoSXConvert(head, triton::recordBytes(record));
}

}  // namespace

Bytes tritonCurrentProgramDump(int channel, const triton::Ttri_ProgramPCM& program)
{
    return dump(header(channel, {0x40, 0x00}), program);
}

Bytes tritonCurrentCombiDump(int channel, const triton::Ttri_Combi& combi)
{
    return dump(header(channel, {0x49, 0x00}), combi);
}

SimulatedTriton::SimulatedTriton(MidiLoopback& bus, ScriptedShell& shell, std::string port, int channel)
    : bus_(bus), shell_(shell), port_(std::move(port)), channel_(channel)
{
    bus_.attach(port_, [this](ByteView m) { hear(m); });
}

SimulatedTriton::~SimulatedTriton()
{
    bus_.attach(port_, {});
}

void SimulatedTriton::hear(ByteView message)
{
    heard_.emplace_back(message.begin(), message.end());
    Bytes reply = answer(message);
    if (reply.empty()) return;
    sent_.push_back(reply);
    // A one-shot timer per reply: it stops itself on its first tick.
    const std::string name = "triton:" + port_ + ":" + std::to_string(timers_++);
    shell_.startTimer(name, delayMs, [this, name, reply] {
        shell_.stopTimer(name);
        bus_.inject(port_, reply);
    });
}

Bytes SimulatedTriton::answer(ByteView m) const
{
    // Only requests on its own global channel, F0 42 3n 50 FUNC ...
    if (m.size() < 7 || m[0] != 0xF0 || m[1] != 0x42 || m[2] != (0x30 | channel_) || m[3] != 0x50) return {};
    switch (m[4]) {
    case 0x10: return tritonCurrentProgramDump(channel_, currentProgram);
    case 0x19: return tritonCurrentCombiDump(channel_, currentCombi);
    case 0x1C:
    case 0x1D: {
        if (m.size() < 9) return {};
        const int kind = m[5] >> 4, bank = m[5] & 0x0F, number = m[6];
        if (bank > 11 || number > 127) return {};
        const auto b = static_cast<std::size_t>(bank), n = static_cast<std::size_t>(number);
        const std::uint8_t f = m[4] == 0x1C ? 0x4C : 0x4D;
        const bool prog = f == 0x4C;
        if (kind == 1)
            return prog ? tritonDump(channel_, f, 1, bank, 0, (*programs)[b])
                        : tritonDump(channel_, f, 1, bank, 0, (*combis)[b]);
        if (kind == 2)
            return prog ? tritonDump(channel_, f, 2, bank, number, (*programs)[b][n])
                        : tritonDump(channel_, f, 2, bank, number, (*combis)[b][n]);
        if (kind == 3)
            return prog ? tritonDump(channel_, f, 3, bank, 0, *programs) : tritonDump(channel_, f, 3, bank, 0, *combis);
        return {};
    }
    default: return {};
    }
}

}  // namespace tolvex::testing
