// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton page through `tolvex-cli run`: "ParsEfx" answered by a simulated
// Triton, and a Combination converted for the Kronos.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/runner.h"
#include "core/sysex/korg_packing.h"
#include "core/sysex/syx_file.h"
#include "devices/kronos/kronos_layouts.h"
#include "devices/triton2kronos/tri_kro_convert.h"
#include "devices/triton2kronos/tri_kro_efx_parse.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

using testing::RunResult;

// Runs with a simulated Triton on the port "Triton", answering within milliseconds.
struct TritonPort {
    RunResult run(std::vector<std::string> args)
    {
        const DeviceFactory loopback = [this](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
            triton = std::make_unique<testing::SimulatedTriton>(bus, shell, "Triton");
            triton->delayMs = 2;
            triton->currentCombi = combi;
            return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
        };
        triton.reset();
        return testing::runTool(args, "", loopback);
    }
    std::vector<Bytes> heard() const { return triton ? triton->heard() : std::vector<Bytes>{}; }
    MidiLoopback bus{{"Triton"}};
    std::unique_ptr<testing::SimulatedTriton> triton;
    triton::Ttri_Combi combi{};
};

// "ParsEfx" with the program's own tables: the run waits for the simulated
// Triton's answer and shows the parse; without an input nothing can answer and
// the run says so.
TEST(TritonRun, ParsEfxWaitsForTheAnswer)
{
    TempDir dir;
    const testing::InFolder in(dir.str());
    TritonPort triton;
    auto& block = triton.combi.Ins_Effect_Group[1].Ins_Effect_Data;
    block.fill(0x11);
    block[0] = 0x2A;
    block[16] = 0;  // no effect
    const RunResult r = triton.run({"ParsEfx", "--set", "TriEfxPIDtxt=0", "--in", "Triton", "--out", "Triton"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : {"Sending: F0 42 30 50 19 00 F7 \nSetting Post Process TriParseEfx\n",
                             "Starting Post Process\nRunning Post Process TaskTriParseEfx\n"
                             "Tri IFX2 bytes 2A, 11, 11. EfxNum: 0  (No Effect\n"
                             "Tri IFX2 PID 0, TriOfs 0, TriWidth 0, TriBitPos 0\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_EQ(dir.read(kTriEfxDebugFile), std::string(block.begin(), block.end()));

    const RunResult unanswered = triton.run({"ParsEfx", "--out", "Triton"});
    EXPECT_EQ(unanswered.status, 1);
    EXPECT_EQ(unanswered.err, "Warning: No answer within 5 s: post-process TriParseEfx not run\n");
}

// "Conv Triton Combi" with the shipped tables: one Combination of a bank to a
// .syx file, and a Program dump refused.
TEST(TritonRun, ConvertsOneCombiOfABankToAKronosFile)
{
    TempDir dir;
    auto bank = std::make_unique<triton::Ttri_Combi_bank>();
    for (std::size_t n = 0; n < bank->size(); ++n) {
        const std::string name = format("Combi %03zu", n);
        std::copy(name.begin(), name.end(), (*bank)[n].Combi_Name.begin());
        (*bank)[n].Ins_Effect_Group[0].Ins_Effect_Data[16] = 52;    // Reverb Hall
        (*bank)[n].Ins_Effect_Group[0].Ins_Effect_Data[17] = 0x40;  // on
    }
    const std::string in = dir.write("bank.syx", testing::tritonDump(0, 0x4D, 1, 0, 0, *bank));
    const RunResult r = testing::runTool(
        {"Conv Triton Combi", in, "--set", "KroProg=5", "--save-new", dir.file("out.syx")}, "", {}, nullptr, dir.str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" Triton to Kronos Combi Convert: Combi 005\n"), std::string::npos) << r.out;
    const std::vector<Bytes> saved = readSyxFile(dir.file("out.syx")).messages;
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].size(), 7 + KorgPackedSize(kronos::TKro_Combi_Layout::size) + 1);
    EXPECT_EQ(Bytes(saved[0].begin(), saved[0].begin() + 7), (Bytes{0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03}));
    const Bytes k = KorgSXtoDataConvert(saved[0], 7, kronos::TKro_Combi_Layout::size);
    EXPECT_EQ(std::string(k.begin(), k.begin() + 10), std::string("Combi 005\0", 10));
    EXPECT_EQ(k[kronos::TKro_Combi_Layout::insEffect(1) + kronos::TIns_Effect_Params::Ins_Effect_Eff_Type], 101);
    const std::string parse = dir.read(kTriKroParseFile);
    EXPECT_EQ(parse.substr(0, 11), "Combi 005\r\n");
    EXPECT_EQ(parse.find("Change out of bounds"), std::string::npos);
    EXPECT_NE(parse.find("Tri InsEff1 52: \"Reverb Hall\" ---> Kro Efx:101 \"Reverb Hall:\""), std::string::npos);

    // Refused: the file the user named is left as it was.
    const RunResult refused = testing::runTool({"Conv Triton Combi", TOLVEX_FIXTURES_DIR "/korg/triton-one-program.syx",
                                                "--save-new", dir.write("mine.syx", "mine")},
                                               "", {}, nullptr, dir.str());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Warning: Message is not Triton Combi Bank\n" + dir.file("mine.syx") +
                               " not written: the command failed\n");
    EXPECT_EQ(dir.read("mine.syx"), "mine");
}

}  // namespace
}  // namespace tolvex
