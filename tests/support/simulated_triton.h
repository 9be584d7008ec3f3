// A Korg Triton on a loopback port: it answers the Triton page's dump requests
// on its global channel with dumps of the records the test fills, each
// `delayMs` after the request on the scripted shell's virtual clock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/text/bytes.h"
#include "devices/triton/triton_records.h"
#include "midi/loopback.h"
#include "support/scripted_shell.h"

namespace tolvex::testing {

// The dumps as the Triton sends them (F0 42 3n 50 ...; data Korg-packed, then F7).
Bytes tritonCurrentProgramDump(int channel, const triton::Ttri_ProgramPCM& program);  // function 40
Bytes tritonCurrentCombiDump(int channel, const triton::Ttri_Combi& combi);           // function 49
Bytes tritonProgramDump(int channel, int bank, int number, const triton::Ttri_ProgramPCM& program);
Bytes tritonProgramBankDump(int channel, int bank, const triton::Ttri_ProgramPCM_bank& programs);
Bytes tritonAllProgramsDump(int channel, const triton::Ttri_ProgramPCM_allbanks& programs);
Bytes tritonCombiDump(int channel, int bank, int number, const triton::Ttri_Combi& combi);
Bytes tritonCombiBankDump(int channel, int bank, const triton::Ttri_Combi_bank& combis);
Bytes tritonAllCombisDump(int channel, const triton::Ttri_Combi_allbanks& combis);

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
