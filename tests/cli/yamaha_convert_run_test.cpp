// SPDX-License-Identifier: GPL-3.0-or-later
// DX7II to TX802 conversion and the cartridge reader through `tolvex-cli run`:
// the bank-range question answered by its captions, and a cartridge read over
// ports given with --in/--out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/runner.h"
#include "core/sysex/syx_file.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_remote.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_yamaha.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::messagesOf;
using testing::readFile;
using testing::RunResult;
using testing::runTool;
using testing::TempDir;

const std::string kYamaha = std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/";

TEST(YamahaConvertRun, BothHalvesOfADX7IIBankMakeOneTX802Bank)
{
    TempDir dir;
    const std::string bank = kYamaha + "dx7ii-performance-bank-a.syx";
    const RunResult r = runTool({"--script", "-"}, "open " + bank +
                                                       "\nset Channel=5\nanswer 1-32\ndo DX7pb>TX802pb\n"
                                                       "select 1\nanswer 33-64\ndo dx7pb_to_tx802pb\n"
                                                       "select 1\nanswer CANCEL\ndo DX7pb>TX802pb\n"
                                                       "save-list " +
                                                       dir.file("out.syx") + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto saved = messagesOf(dir.file("out.syx"));
    ASSERT_EQ(saved.size(), 3u);  // the source and two conversions; Cancel added nothing
    for (std::size_t m : {1u, 2u}) {
        std::string detail;
        EXPECT_TRUE(DX7VerifyCheckSum(saved[m], detail)) << detail;  // all 64 blocks
        EXPECT_EQ(saved[m][2], 5);
    }
    std::array<TX802Performance, 64> first{}, both{};
    ExtractTX802PMEM(saved[1], first);
    ExtractTX802PMEM(saved[2], both);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(first[32 + i], TX802Performance{}) << i;  // the half not converted yet
        EXPECT_EQ(both[i], first[i]) << i;                  // kept by the second conversion
        EXPECT_EQ(both[32 + i], first[i]) << i;
    }
    // Performance by performance (index from 0), parameter k of tone generators 0-3 and
    // 4-7 (groups A and B) at 8 k: receive channel and offset, voice, micro-tuning table,
    // volume, detune and output, note limits low and high, flag and note shift.
    const struct {
        std::size_t p;
        const char* name;
        std::vector<std::array<int, 2>> k;
    } cases[] = {
        {4,  // Single: eight tone generators on voice A
         "  Rich Grand Piano  ",
         {{5, 5}, {8, 8}, {0, 0}, {99, 99}, {0x3B, 0x3B}, {0, 0}, {127, 127}, {24, 24}}},
        {0,  // Dual: group B offset 4, detuned apart
         "Warm String Section ",
         {{5, 0x85}, {0, 48}, {0, 0}, {90, 90}, {0x41, 0x32}, {0, 0}, {127, 127}, {24, 24}}},
        {2,  // Split at 64
         " String Bass-Guitar ",
         {{5, 0x85}, {26, 56}, {0, 0}, {99, 99}, {0x3B, 0x3B}, {0, 65}, {64, 127}, {24, 0}}},
        {5,  // its flag set
         "Stereo EletricPiano ",
         {{5, 0x85}, {49, 61}, {0, 0}, {99, 99}, {0x41, 0x32}, {0, 0}, {127, 127}, {0x58, 0x58}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(both[c.p].begin() + kPmemName, both[c.p].end()), c.name) << c.p;
        for (std::size_t k = 0; k < c.k.size(); ++k)
            for (std::size_t t = 0; t < 8; ++t)
                EXPECT_EQ(both[c.p][8 * k + t], c.k[k][t / 4]) << c.p << " k" << k << " t" << t;
    }
}

TEST(YamahaConvertRun, AnEditBufferBecomesATX802Pced)
{
    // A Split at 60 with its flag and note shifts, then a Dual.
    DX7iiPerformance split{};
    split[dx7ii::kMode] = 2;
    split[dx7ii::kVoiceA] = 70;
    split[dx7ii::kVoiceB] = 3;
    split[dx7ii::kSplitPoint] = 60;
    split[8] = 1;
    split[13] = 12;
    split[14] = 36;
    split[dx7ii::kVolume] = 77;
    const std::string name = "Hand Made Split     ";
    std::copy(name.begin(), name.end(), split.begin() + dx7ii::kName);
    DX7iiPerformance dual = split;
    dual[dx7ii::kMode] = 1;
    dual[8] = 0;
    TempDir dir;
    const std::string file = dir.file("buffers.syx");
    std::ofstream(file, std::ios::binary) << readFile(dir.write("a", testing::dx7iiPerfEditBufDump(0, split)))
                                          << readFile(dir.write("b", testing::dx7iiPerfEditBufDump(0, dual)));
    const RunResult r = runTool({"--script", "-"}, "open " + file +
                                                       "\nset Channel=Chan\nselect 1\ndo DX7p>TX802p\nselect 2\n"
                                                       "set Channel=15\ndo DX7p_to_TX802p\nsave-list " +
                                                       dir.file("out.syx") + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto saved = messagesOf(dir.file("out.syx"));
    ASSERT_EQ(saved.size(), 4u);
    // Parameter k of tone generators 0 and 4 (groups A and B).
    const struct {
        std::size_t entry;
        int device;
        std::vector<std::array<int, 2>> k;  // k = 0..9
    } cases[] = {
        {2, 0, {{0, 4}, {0, 0}, {70, 3}, {7, 7}, {77, 77}, {3, 3}, {0, 61}, {60, 127}, {12, 36}, {1, 1}}},
        {3, 15, {{0, 4}, {15, 15}, {70, 3}, {8, 6}, {77, 77}, {1, 2}, {0, 0}, {127, 127}, {12, 36}, {0, 0}}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(saved[c.entry].size(), kTX802PcedLength);
        EXPECT_EQ(saved[c.entry][2], c.device);
        TX802Pced pced{};
        ExtractTX802PCED(saved[c.entry], pced);
        EXPECT_EQ(std::string(pced.begin() + kPcedName, pced.end()), name);
        for (std::size_t k = 0; k < c.k.size(); ++k)
            for (std::size_t t = 0; t < 8; ++t)
                EXPECT_EQ(pced[8 * k + t], c.k[k][t / 4]) << c.entry << " k" << k << " t" << t;
    }
}

TEST(YamahaConvertRun, ChannelAndKindAreCheckedBeforeTheQuestion)
{
    const std::string bank = kYamaha + "dx7ii-performance-bank-a.syx";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"DX7pb>TX802pb", bank, "--set", "Channel=16"},
         1,
         "Error: You must specify a valid number for the Channel.\n"},
        {{"DX7p>TX802p", bank, "--set", "Channel=x"}, 1, "Error: You must specify a valid number for the Channel.\n"},
        {{"DX7pb>TX802pb", kYamaha + "dx7-rom1a.syx"},
         1,
         "Error: Header does not match DX7-II Packed Performance (LM  8973PM) format\n"},
        {{"DX7p>TX802p", bank}, 1, "Error: Header does not match DX7-II Performance Edit Buffer (LM  8973PE) format\n"},
        {{"DX7pb>TX802pb"}, 1, "Warning: Nothing Selected\n"},
        {{"DX7pb>TX802pb", bank, "--answer", "yes"},
         2,
         "Tolvex: Select Target Bank range for TX802 [1-32/33-64/Cancel]\n"
         "tolvex-cli run: the answer 'yes' is no button of the box \"Select Target Bank range for TX802\"\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--save-new", dir.write("new.syx", "the user's own file")});
        const RunResult r = runTool(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(readFile(dir.file("new.syx")), "the user's own file") << c.err;  // untouched
    }
}

TEST(YamahaConvertRun, TheCartridgeReaderTalksToThePortsItIsGiven)
{
    TempDir dir;
    MidiLoopback bus({"DX7II"});
    std::unique_ptr<testing::SimulatedYamaha> dx7;
    const DeviceFactory factory = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        dx7 = std::make_unique<testing::SimulatedYamaha>(bus, shell, "DX7II", 0);
        dx7->delayMs = 1;
        for (int p = 32; p < 64; ++p) {
            const std::string name = "Performance " + std::to_string(p) + "       ";
            std::copy_n(name.begin(), 20, dx7->performances[static_cast<std::size_t>(p)].begin() + dx7ii::kName);
        }
        for (int p = 64; p < 128; ++p)
            dx7->voices[static_cast<std::size_t>(p)] = testing::voiceNamed("Voice " + std::to_string(p));
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const RunResult r = runTool(
        {"Rd DX7 CRT", "--set", "Channel=Chan", "--in", "dx7ii", "--out", "DX7II", "--save-new", dir.file("bank.syx")},
        "", factory, nullptr, dir.str());
    const RunResult noPorts = runTool({"RdTX802ROM"}, "", {}, nullptr, dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string names = dir.read(kCartProgsFile);
    EXPECT_EQ(names.substr(0, 29), "32=Performance 32       \r\n33=");
    EXPECT_NE(names.find(" \r\n\r\n\r\n\r\n64=Voice 64  \r\n"), std::string::npos);
    EXPECT_EQ(names.substr(names.size() - 16), "127=Voice 127 \r\n");
    const auto saved = messagesOf(dir.file("bank.syx"));
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(), [](const Bytes& m) { return m.size() == kDX7iiBankLength; }),
              1);
    EXPECT_EQ(noPorts.status, 1);
    EXPECT_EQ(noPorts.err, "Warning: MIDI Interface Not Installed\n");
}

}  // namespace
}  // namespace tolvex
