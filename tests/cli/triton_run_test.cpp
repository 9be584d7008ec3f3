// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton page through `tolvex-cli run`: "ParsEfx" answered by a simulated
// Triton, a Combination converted for the Kronos, and an All Data dump read
// by the library, the name lists and the conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/runner.h"
#include "core/sysex/syx_file.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_layouts.h"
#include "devices/triton/triton_names.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_convert.h"
#include "devices/triton2kronos/tri_kro_efx_parse.h"
#include "library/patch_library.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

using testing::RunResult;

// Runs with a simulated Triton on the port "Triton" (it answers within milliseconds).
struct TritonPort {
    RunResult run(std::vector<std::string> args)
    {
        const DeviceFactory loopback = [this](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
            triton = std::make_unique<testing::SimulatedTriton>(bus, shell, "Triton");
            triton->currentCombi = combi;
            return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
        };
        triton.reset();
        return testing::runTool(args, "", loopback);
    }
    MidiLoopback bus{{"Triton"}};
    std::unique_ptr<testing::SimulatedTriton> triton;
    triton::Ttri_Combi combi{};
};

// "ParsEfx" with the program's own tables: the run waits for the simulated
// Triton's answer and shows the parse (which ends at the empty field of "No
// Effect"); without an input nothing can answer and the run says so.
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
    for (const char* line :
         {"Sending: F0 42 30 50 19 00 F7 \nSetting Post Process TriParseEfx\n",
          "Starting Post Process\nRunning Post Process TaskTriParseEfx\n"
          "Tri IFX2 bytes 2A, 11, 11. EfxNum: 0  (No Effect\n"
          "Tri IFX2 PID 0, TriOfs 0, TriWidth 0, TriBitPos 0\nKro EFX# 0 Kro PID 0, KroXmap 0, No Effect:\n"
          "Range Error extracting bitfield for Triton PID 0\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    EXPECT_EQ(dir.read(kTriEfxDebugFile), std::string(block.begin(), block.end()));

    const RunResult unanswered = triton.run({"ParsEfx", "--out", "Triton"});
    EXPECT_EQ(unanswered.status, 1);
    EXPECT_EQ(unanswered.err, "Warning: No answer within 5 s: post-process TriParseEfx not run\n");
}

// "Conv Triton Combi" with the shipped tables: the current Combination, the
// same one of the factory bank (picked by "Prog") and as a single dump give
// the same Kronos Combi; the box's text as typed starts its part of the
// convert log. Then the messages and boxes it refuses.
TEST(TritonRun, ConvertsACombiOfEachKindToTheSameKronosCombi)
{
    using L = kronos::TKro_Combi_Layout;
    TempDir dir;
    const std::string korg = TOLVEX_FIXTURES_DIR "/korg/";
    const Bytes current = testing::messagesInFile(korg + "triton-factory-combi-current.syx").at(0);
    triton::Ttri_Combi lonely{};  // "Lonely Moon", INT-A 1 of the bank
    triton::recordFromBytes(lonely, KorgSXtoDataConvert(current, 6, sizeof lonely));
    const std::string in = korg + "triton-factory-combi-bank-a.syx";
    const struct {
        std::string file, prog;
    } kinds[] = {
        {in, "01"},
        {korg + "triton-factory-combi-current.syx", "0"},
        {dir.write("one.syx", testing::tritonDump(9, 0x4D, 2, 3, 5, lonely)), "0"},
    };
    // A log grown over many runs keeps its newest whole lines, never more than about a megabyte.
    std::string old;
    while (old.size() < (2u << 20)) old += "Combi 0 from an earlier run " + std::to_string(old.size()) + "\r\n";
    dir.write(kTriKroConvertLogFile, Bytes(old.begin(), old.end()));
    std::vector<Bytes> k;
    for (const auto& c : kinds) {
        const RunResult r = testing::runTool({"Conv Triton Combi", c.file, "--set", "KroProg=" + c.prog, "--set",
                                              "PassPrgBank=0", "--save-new", dir.file("out.syx")},
                                             "", {}, nullptr, dir.str());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(" Triton to Kronos Combi Convert: Lonely Moon     \n"), std::string::npos) << r.out;
        const std::vector<Bytes> saved = testing::messagesInFile(dir.file("out.syx"));
        ASSERT_EQ(saved.size(), 1u);
        ASSERT_EQ(saved[0].size(), 7 + KorgPackedSize(L::size) + 1);
        EXPECT_EQ(Bytes(saved[0].begin(), saved[0].begin() + 7), (Bytes{0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03}));
        k.push_back(KorgSXtoDataConvert(saved[0], 7, L::size));
    }
    EXPECT_EQ(k[1], k[0]);
    EXPECT_EQ(k[2], k[0]);
    EXPECT_EQ(std::string(k[0].begin(), k[0].begin() + 17), std::string("Lonely Moon     \0", 17));
    EXPECT_EQ(k[0][L::insEffect(1) + kronos::TIns_Effect_Params::Ins_Effect_Eff_Type], 40);
    EXPECT_EQ(k[0][L::timbre(1) + kronos::TTimbre_Params::Prog_Num], 1);
    const std::string parse = dir.read(kTriKroParseFile);
    EXPECT_EQ(parse.substr(0, 18), "Lonely Moon     \r\n");
    EXPECT_EQ(parse.find("Change out of bounds"), std::string::npos);
    EXPECT_EQ(parse.find("Invalid value"), std::string::npos);
    EXPECT_NE(parse.find("Tri InsEff1 16: \"St. Chorus\" ---> Kro Efx:40 \"Stereo Chorus:\""), std::string::npos);
    const std::string log = dir.read(kTriKroConvertLogFile);
    EXPECT_LE(log.size(), 1u << 20);
    EXPECT_EQ(log.substr(0, 28), "Combi 0 from an earlier run ");
    EXPECT_NE(log.find("\r\nCombi 01 "), std::string::npos);
    EXPECT_NE(log.find("\r\nCombi 0 Lonely Moon"), std::string::npos);
    // The traces go among the diagnostic files (the current folder of a build copy).
    EXPECT_TRUE(std::filesystem::exists(dir.file(kTriDebugDataFile)));
    EXPECT_TRUE(std::filesystem::exists(dir.file(kKroDebugDataFile)));

    // Refused: the file the user named is left as it was, and no parse is written.
    const Bytes one = testing::tritonDump(0, 0x4D, 2, 0, 0, triton::Ttri_Combi{});
    Bytes cut = one;
    cut.erase(cut.end() - 2);
    const struct {
        std::vector<std::string> args;
        std::string box;
    } refusals[] = {
        {{TOLVEX_FIXTURES_DIR "/korg/triton-one-program.syx"}, "Message is not Triton Combi Bank"},
        {{in, "--set", "KroProg=128"}, "You must specify a valid number for the Combi in the text box \"Prog\"."},
        {{dir.write("all.syx", testing::tritonDump(0, 0x4D, 3, 0, 0, triton::Ttri_Combi{}))},
         "Message unsupported type of Triton Combi Bank: function 0x4D kind: 3"},
        {{dir.write("cut.syx", cut)}, "Message too short: 520 bytes, 521 needed"},
        {{dir.write("empty.syx", one), "--set", "Tri_Gchan=256"},
         "You must specify a valid number for the Triton Studio GChan."},
    };
    for (const auto& c : refusals) {
        std::vector<std::string> args{"Conv Triton Combi"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--save-new", dir.write("mine.syx", "mine")});
        std::filesystem::remove(dir.file(kTriKroParseFile));
        const RunResult refused = testing::runTool(args, "", {}, nullptr, dir.str());
        EXPECT_EQ(refused.status, 1) << c.box;
        EXPECT_EQ(refused.err,
                  "Warning: " + c.box + "\n" + dir.file("mine.syx") + " not written: the command failed\n");
        EXPECT_EQ(dir.read("mine.syx"), "mine");
        EXPECT_FALSE(std::filesystem::exists(dir.file(kTriKroParseFile))) << c.box;
    }
}

// An All Data dump built from Korg's factory Combinations (INT-A as it is,
// INT-B..D the same records turned round by 37 k places) and a real Program
// (INT-A 000, and INT-E 127 renamed): the library gets all 1,152 records at
// their places, the name lists 512 and 640 lines, the conversion any of the
// 512; a dump one byte short is refused by each with the reason.
TEST(TritonRun, AnAllDataDumpIsReadLikeItsBanks)
{
    const std::string korg = TOLVEX_FIXTURES_DIR "/korg/";
    const Bytes bankA = KorgSXtoDataConvert(testing::messagesInFile(korg + "triton-factory-combi-bank-a.syx").at(0), 8,
                                            128 * sizeof(triton::Ttri_Combi));
    std::vector<Bytes> combis;
    for (std::size_t k = 0; k < 4; ++k)
        for (std::size_t r = 0; r < 128; ++r) {
            const auto at = bankA.begin() + static_cast<long>((r + 37 * k) % 128 * sizeof(triton::Ttri_Combi));
            combis.emplace_back(at, at + sizeof(triton::Ttri_Combi));
        }
    const Bytes noisy = KorgSXtoDataConvert(testing::messagesInFile(korg + "triton-one-program.syx").at(0), 8,
                                            sizeof(triton::Ttri_ProgramPCM));
    std::vector<Bytes> programs(640, noisy);
    const std::string last = "Last Program    ";
    std::copy(last.begin(), last.end(), programs[639].begin());
    const Bytes all = testing::tritonAllDataDump(combis, programs);
    ASSERT_EQ(all.size(), 1053004u);
    Bytes cut = all;
    cut.erase(cut.begin() + 500000);
    const std::string cutReason = "Triton All Data dump of 1053003 bytes: only the 1,053,004-byte layout is known";

    std::vector<std::string> problems;
    const std::vector<PatchItem> items = splitMessage(libraryFamilies(), all, problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(items.size(), 512u + 640u);
    const struct {
        std::size_t item;
        const char *kind, *bank;
        int number;
        const Bytes& record;
    } places[] = {
        {0, "Combi", "INT-A", 0, combis[0]},
        {128 + 5, "Combi", "INT-B", 5, combis[133]},
        {511, "Combi", "INT-D", 127, combis[511]},
        {512, "Program", "INT-A", 0, noisy},
        {1151, "Program", "INT-E", 127, programs[639]},
    };
    for (const auto& p : places) {
        EXPECT_EQ(items[p.item].kind, p.kind) << p.item;
        EXPECT_EQ(items[p.item].bank, p.bank) << p.item;
        EXPECT_EQ(items[p.item].number, p.number) << p.item;
        EXPECT_EQ(items[p.item].record, p.record) << p.item;
    }
    EXPECT_EQ(items[1151].name, "Last Program");
    problems.clear();
    EXPECT_TRUE(splitMessage(libraryFamilies(), cut, problems).size() <= 1);  // at most the message as one item
    EXPECT_EQ(problems, std::vector<std::string>{cutReason});

    TempDir dir;
    const std::string allFile = dir.write("all.syx", all), cutFile = dir.write("cut.syx", cut);
    // The name lists take all-banks dumps only: an All Data dump is refused as
    // a message of another kind, and no list is written.
    for (const auto& [tool, report, box] :
         {std::tuple{"AllCombiText", kTriCombiNamesReport, "Message is not Triton Combi"},
          std::tuple{"AllProgText", kTriProgNamesReport, "Message is not Triton Program"}}) {
        const RunResult refused = testing::runTool({tool, allFile}, "", {}, nullptr, dir.str());
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err, std::string("Warning: ") + box + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file(report))) << tool;
    }

    const std::string name300 = TriRecordName(combis[300]);
    const RunResult converted =
        testing::runTool({"Conv Triton Combi", allFile, "--set", "KroProg=300", "--save-new", dir.file("out.syx")}, "",
                         {}, nullptr, dir.str());
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.out.find(" Triton to Kronos Combi Convert: " + name300 + "\n"), std::string::npos)
        << converted.out;
    const std::vector<Bytes> saved = testing::messagesInFile(dir.file("out.syx"));
    ASSERT_EQ(saved.size(), 1u);
    const Bytes kronos = KorgSXtoDataConvert(saved[0], 7, kronos::TKro_Combi_Layout::size);
    EXPECT_EQ(std::string(kronos.begin(), kronos.begin() + 16), name300);
    for (const auto& [file, prog, box] :
         {std::tuple{allFile, "512",
                     "You must specify a valid number for the Combi in the text box \"Prog\" (0-511: INT-A 000 to "
                     "INT-D 127 of the All Data dump)."},
          std::tuple{cutFile, "0", cutReason.c_str()}}) {
        const RunResult refused = testing::runTool({"Conv Triton Combi", file, "--set", std::string("KroProg=") + prog},
                                                   "", {}, nullptr, dir.str());
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err, std::string("Warning: ") + box + "\n");
    }
}

}  // namespace
}  // namespace tolvex
