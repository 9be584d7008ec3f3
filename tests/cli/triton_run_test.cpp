// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton page through `tolvex-cli run`: the requests as the instrument
// gets them, their refusals, and "ParsEfx" answered by a simulated Triton.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/runner.h"
#include "core/text/text_utils.h"
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

std::string hex(const Bytes& m)
{
    std::string s;
    for (std::uint8_t b : m) s += HexB(b) + " ";
    return s;
}

TEST(TritonRun, RequestsAndTheirRefusals)
{
    TritonPort triton;
    const struct {
        std::vector<std::string> args;
        std::string sent;  // hex; "" when refused
        std::string err;   // the box, when refused
    } cases[] = {
        {{"TriReq1ProgBank", "--set", "Channel=2", "--set", "TriBank=3"}, "F0 42 32 50 1C 13 00 00 F7", ""},
        {{"TriReq1Combi", "--set", "TriBank=11", "--set", "TriProg=127"}, "F0 42 30 50 1D 2B 7F 00 F7", ""},
        {{"TriReq1Prog", "--set", "TriBank=4", "--set", "TriProg=5"}, "F0 42 30 50 1C 24 05 00 F7", ""},
        {{"All Prog", "--set", "Channel=15", "--set", "TriProg=9"}, "F0 42 3F 50 1C 30 00 00 F7", ""},
        {{"Req 1 Combi Bank", "--set", "TriBank=7"}, "F0 42 30 50 1D 17 00 00 F7", ""},
        {{"All Combi", "--set", "TriBank=2"}, "F0 42 30 50 1D 32 00 00 F7", ""},
        {{"ReqCurProg", "--set", "Channel=9"}, "F0 42 39 50 10 00 F7", ""},
        {{"ReqCurCombi"}, "F0 42 30 50 19 00 F7", ""},
        // A bank request ignores the program box.
        {{"TriReq1ProgBank", "--set", "TriProg=abc"}, "F0 42 30 50 1C 10 00 00 F7", ""},
        {{"TriReq1Prog", "--set", "TriProg=abc"}, "", "Error: You must specify a valid number for the Program.\n"},
        {{"TriReq1Combi", "--set", "TriProg=128"}, "", "Error: The program value must be between 0 and 127\n"},
        {{"TriReq1Prog", "--set", "TriBank=12"}, "", "Error: The Triton Studio bank must be between 0 and 11.\n"},
        {{"All Combi", "--set", "TriBank=-1"}, "", "Error: The Triton Studio bank must be between 0 and 11.\n"},
        {{"TriReq1Prog", "--set", "TriBank=12", "--set", "TriProg=x"},
         "",
         "Error: You must specify a valid number for the Program.\n"},
        {{"All Prog", "--set", "TriBank=B"},
         "",
         "Error: You must specify a valid number for the Triton Studio Bank.\n"},
        {{"All Prog", "--set", "Channel=16"}, "", "Error: The Channel bank must be between 0 and 15\n"},
        {{"ReqCurProg", "--set", "Channel=-1"}, "", "Error: The Channel bank must be between 0 and 15\n"},
        {{"ParsEfx", "--set", "Channel=x", "--set", "TriEfxPIDtxt=x"},
         "",
         "Error: You must specify a valid number for the Channel.\n"},
        {{"ParsEfx", "--set", "TriEfxPIDtxt=1.5"}, "", "Error: You must specify a valid number for the PID.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, {"--set", "Channel=0", "--set", "TriBank=0", "--set", "TriProg=0", "--out",
                                       "triton"});  // the defaults first, the case's own after them
        const RunResult r = triton.run(args);
        const std::string what = c.args[0] + " " + (c.args.size() > 2 ? c.args[2] : "");
        if (c.sent.empty()) {
            EXPECT_EQ(r.status, 1) << what;
            EXPECT_EQ(r.err, c.err) << what;
            EXPECT_EQ(r.out, "") << what;
            EXPECT_TRUE(triton.heard().empty()) << what;
        } else {
            EXPECT_EQ(r.status, 0) << what << ": " << r.err;
            EXPECT_EQ(r.out, "Sending: " + c.sent + " \n") << what;
            ASSERT_EQ(triton.heard().size(), 1u) << what;
            EXPECT_EQ(hex(triton.heard()[0]), c.sent + " ") << what;
        }
    }
    const RunResult none = triton.run({"ReqCurProg"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Warning: MIDI Interface Not Installed\n");
}

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

}  // namespace
}  // namespace tolvex
