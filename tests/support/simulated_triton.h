// A Korg Triton on a loopback port: it answers the Triton page's dump requests
// on its global channel with dumps of the records the test fills, each
// `delayMs` after the request on the scripted shell's virtual clock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/sysex/korg_packing.h"
#include "core/text/bytes.h"
#include "devices/triton/triton_records.h"
#include "midi/loopback.h"
#include "support/scripted_shell.h"

namespace tolvex::testing {

// The dumps as the Triton sends them: F0 42 3n 50, the function and its header
// bytes, the record(s) Korg-packed, F7.
Bytes tritonCurrentProgramDump(int channel, const triton::Ttri_ProgramPCM& program);  // function 40
Bytes tritonCurrentCombiDump(int channel, const triton::Ttri_Combi& combi);           // function 49
// Function 4C (Programs) or 4D (Combinations) of `kind` (1 bank, 2 one
// record, 3 all banks); byte 5 is 02 for all Programs, else 00.
template <class Records>
Bytes tritonDump(int channel, std::uint8_t function, int kind, int bank, int number, const Records& records)
{
    const std::uint8_t byte5 = function == 0x4C && kind == 3 ? 0x02 : 0x00;
    const Bytes head{
        0xF0,     0x42,  static_cast<std::uint8_t>(0x30 | (channel & 0x0F)),   0x50,
        function, byte5, static_cast<std::uint8_t>(kind << 4 | (bank & 0x0F)), static_cast<std::uint8_t>(number)};
    return KorgDatatoSXConvert(head, triton::recordBytes(records));
}

class SimulatedTriton {
public:
    SimulatedTriton(MidiLoopback& bus, ScriptedShell& shell, std::string port, int channel = 0);
    ~SimulatedTriton();
    SimulatedTriton(const SimulatedTriton&) = delete;
    SimulatedTriton& operator=(const SimulatedTriton&) = delete;

    // What the instrument holds; the test fills these before it asks.
    triton::Ttri_ProgramPCM currentProgram{};
    triton::Ttri_Combi currentCombi{};
    std::unique_ptr<triton::Ttri_ProgramPCM_allbanks> programs = std::make_unique<triton::Ttri_ProgramPCM_allbanks>();
    std::unique_ptr<triton::Ttri_Combi_allbanks> combis = std::make_unique<triton::Ttri_Combi_allbanks>();
    int delayMs = 50;

    // Every message it heard, and every dump it sent, in order.
    const std::vector<Bytes>& heard() const { return heard_; }
    const std::vector<Bytes>& sent() const { return sent_; }

private:
    void hear(ByteView message);
    Bytes answer(ByteView request) const;

    MidiLoopback& bus_;
    ScriptedShell& shell_;
    std::string port_;
    int channel_;
    std::vector<Bytes> heard_;
    std::vector<Bytes> sent_;
    int timers_ = 0;
};

}  // namespace tolvex::testing
