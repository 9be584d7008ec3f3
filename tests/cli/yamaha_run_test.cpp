// SPDX-License-Identifier: GPL-3.0-or-later
// The DX/TX page through `tolvex-cli run`, as a user reaches it from a
// terminal: real dumps to files compared with reviewed reports, damaged dumps
// with their boxes, the checksum check over a MIDI port, DX7II to TX802
// conversion with the bank-range question answered by its captions, and the
// cartridge reader over ports given with --in/--out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/runner.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_remote.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_yamaha.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::messagesInFile;
using testing::readFile;
using testing::RunResult;
using testing::runTool;
using testing::TempDir;

const std::string kFixtures = std::string(TOLVEX_FIXTURES_DIR) + "/";
const std::string kYamaha = kFixtures + "yamaha/";

// The fixture (a Yamaha one unless a folder is given) copied into the folder,
// so the files written beside it land there.
std::string copyInto(const TempDir& dir, const std::string& name)
{
    const std::string path = name.find('/') == std::string::npos ? kYamaha + name : kFixtures + name;
    return dir.write(name.substr(name.rfind('/') + 1), readFile(path));
}

TEST(YamahaRun, RealBanksGiveTheReviewedReports)
{
    TempDir dir;
    const std::string rom = copyInto(dir, "dx7-rom1a.syx");
    const std::string dx7ii = copyInto(dir, "dx7ii-performance-bank-a.syx");
    const std::string tx802 = copyInto(dir, "tx802-performance-bank.syx");

    const RunResult vmem = runTool({"DX VMEM>file", rom});
    EXPECT_EQ(vmem.status, 0) << vmem.err;
    // The voice names themselves are in the voice map the script below writes.
    const auto lines = testing::crlfLines(readFile(dir.file("dx7-rom1a.txt")));
    ASSERT_EQ(lines.size(), 34u);
    EXPECT_EQ(lines[0], "v 1 BRASS   1  ");
    EXPECT_EQ(lines[31], "v32 TAKE OFF   ");
    EXPECT_EQ(lines[33], "cksum: CD");
    EXPECT_EQ(readFile(dir.file("dx7-rom1a.bin")), readFile(rom).substr(6, 4096));

    // The voice names first, then two conversions: the second map lists the
    // performances of both, each reference once although the DX7II bank ran twice.
    const RunResult script =
        runTool({"--script", "-"}, "open " + rom + "\ndo \"DX Map1-32\"\nopen " + dx7ii +
                                       "\ndo DX7perf>file\ndo ConvDX7p\nopen " + tx802 + "\ndo TX802pb>file\n");
    EXPECT_EQ(script.status, 0) << script.err;
    for (const char* ext : {".txt", ".csv", ".lst", ".map"}) {
        for (const char* bank : {"dx7ii-performance-bank-a", "tx802-performance-bank"}) {
            const std::string name = bank + std::string(ext);
            EXPECT_EQ(readFile(dir.file(name)), readFile(kYamaha + "expected/" + name)) << name;
        }
    }
    EXPECT_EQ(readFile(dir.file("dx7ii-performance-bank-a.bin")), readFile(dx7ii).substr(16, 1632));
    EXPECT_EQ(readFile(dir.file("tx802-performance-bank.bin")).size(), 64u * 84);
    EXPECT_EQ(readFile(dir.file("tx802-performance-bank.bin")).substr(64, 20), "Hall Orchestra      ");
}

// Damaged dumps, wrong kinds, bad fields and an empty selection stop with
// their box, leave no files behind and do not touch the file given to save
// into; the conversion checks channel and kind before it asks for the range.
TEST(YamahaRun, DamagedDumpsWrongKindsAndBadFieldsStopWithTheirBox)
{
    const std::string badChannel = "Error: You must specify a valid number for the Channel.\n";
    const struct {
        const char* command;
        const char* fixture;
        const char* select;
        int status;
        std::string err;
        std::vector<std::string> more = {};  // further arguments
    } cases[] = {
        {"DX VMEM>file", "dx1-bank-bad-checksum-bit7.syx", "1", 1, "Error: Header does not match VMEM format\n"},
        {"DX VMEM>file", "dx7-bank-missing-checksum.syx", "1", 1,
         "ExtractTX802VMEM Error: Index overflow: Protocol Error in TX802 Sysex\n"},
        {"DX VMEM>file", "dx7s-bank-wrong-checksum.syx", "1", 0, ""},
        {"TX802pb>file", "dx7ii-performance-bank-a.syx", "1", 1, "Error: Header does not match TX802PMEM format\n"},
        {"TX802p>file", "tx802-performance-bank.syx", "1", 1, "Error: Header does not match TX802PCED format\n"},
        {"ExtractWS", "korg/wavestation-factory.syx", "5", 1,
         "Error: Sysex header does not match currently supported format\n"},
        {"DX7pb>TX802pb", "dx7ii-performance-bank-a.syx", "1", 1, badChannel, {"--set", "Channel=16"}},
        {"DX7pb>TX802pb", "dx7-rom1a.syx", "1", 1,
         "Error: Header does not match DX7-II Packed Performance (LM  8973PM) format\n"},
        {"DX7p>TX802p", "dx7ii-performance-bank-a.syx", "1", 1,
         "Error: Header does not match DX7-II Performance Edit Buffer (LM  8973PE) format\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.fixture);
        TempDir dir;
        std::vector<std::string> args{c.command, copyInto(dir, c.fixture), "--select", c.select};
        args.insert(args.end(), c.more.begin(), c.more.end());
        if (c.status != 0) args.insert(args.end(), {"--save-new", dir.write("new.syx", "the user's own file")});
        const RunResult r = runTool(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.str()), {}), c.status == 0 ? 3 : 2);
        if (c.status != 0) {
            EXPECT_EQ(readFile(dir.file("new.syx")), "the user's own file");
        }
    }
    for (const char* command : {"DX VMEM>file", "ExtractWS", "DX7pb>TX802pb"}) {
        const RunResult r = runTool({command});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err.substr(0, 26), "Warning: Nothing Selected\n") << command;
    }
}

// Real dumps, then a TX802 bank with a bad block and cut in a block, and the
// shortest message checked beside one byte shorter.
TEST(YamahaRun, CheckLogsTheVerdictOfEverySelectedDump)
{
    const Bytes tx802 = messagesInFile(kYamaha + "tx802-performance-bank.syx").at(0);
    Bytes badBlock = tx802;
    badBlock[4 + 17 * 181 + 180] ^= 0x02;
    Bytes made;
    for (const Bytes& m :
         {badBlock, Bytes(tx802.begin(), tx802.begin() + 4 + 9 * 181 + 50),
          Bytes{0xF0, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7}, Bytes{0xF0, 0x43, 0x00, 0x00, 0x00, 0x00, 0xF7}})
        made.insert(made.end(), m.begin(), m.end());
    TempDir dir;
    MidiLoopback bus({"Synth"});
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const RunResult r = runTool({"Check", kYamaha + "dx7-rom1a.syx", kYamaha + "dx7s-bank-wrong-checksum.syx",
                                 dir.write("made.syx", made), "--out", "Synth"},
                                "", loopback);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> verdicts;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Checking: ", 0) == 0) verdicts.push_back(line.substr(line.find(": Checksum")));
    EXPECT_EQ(verdicts, (std::vector<std::string>{": Checksum Correct", ": Checksum Invalid is 2B, should be 1E",
                                                  format(": Checksum Invalid block 17 is %X, should be %X",
                                                         badBlock[4 + 17 * 181 + 180], tx802[4 + 17 * 181 + 180]),
                                                  ": Checksum Invalid block 9 is incomplete", ": Checksum Correct",
                                                  ": Checksum Invalid message too short"}));

    const RunResult noPort = runTool({"Check", kYamaha + "dx7-rom1a.syx"});
    EXPECT_EQ(noPort.status, 1);
    EXPECT_EQ(noPort.err, "Warning: Choose a MIDI Out port first (--out PORT)\n");
}

// "Fix" on every Yamaha fixture (real dumps, damaged files) and on a TX802
// bank with two bad blocks and one cut in a block: a copy only of the dumps
// with a wrong checksum, which "Check" then finds correct; the sources stay in
// the list as they were.
TEST(YamahaRun, FixRepairsBadChecksumsAndLeavesTheRestAlone)
{
    const Bytes tx802 = messagesInFile(kYamaha + "tx802-performance-bank.syx").at(0);
    const std::size_t block17 = 4 + 17 * 181 + 180, block40 = 4 + 40 * 181 + 180;
    Bytes twoBad = tx802;
    twoBad[block17] ^= 0x02;
    twoBad[block40] = 0x7F;
    Bytes cutInBlock(tx802.begin(), tx802.begin() + 4 + 9 * 181 + 50);
    cutInBlock.push_back(0xF7);
    TempDir dir;
    Bytes made = twoBad;
    made.insert(made.end(), cutInBlock.begin(), cutInBlock.end());
    const std::string madeFile = dir.write("made.syx", made);

    const struct {
        std::string file;
        std::vector<std::string> verdicts;  // one per message, after "Fixing: " + its text + ": "
    } cases[] = {
        {"dx7-rom1a.syx", {"Checksum already correct"}},
        {"dx7-bank-byte-count-1000.syx", {"Checksum already correct"}},
        {"dx7ii-performance-bank-a.syx", {"Checksum already correct"}},
        {"tx802-performance-bank.syx", {"Checksum already correct"}},
        {"dx7s-bank-wrong-checksum.syx", {"checksum: 2B -> 1E"}},
        // Read as 4103 bytes: the checksum byte with bit 7 set ends the message.
        {"dx1-bank-bad-checksum-bit7.syx", {"checksum: 90 -> 10, end byte F7 added"}},
        {"dx7-bank-missing-checksum.syx",
         {"Not fixed: the dump is cut off or too long (its byte count says 4096 data bytes, it holds 4095)"}},
        {"dx7-bank-truncated-no-f7.syx", {"Not fixed: the dump is cut off (no end byte F7)"}},
        {"tx802-voice-bank-with-amem.syx",
         {"Not fixed: not a Yamaha bulk dump", "Checksum already correct", "Checksum already correct"}},
        {madeFile,
         {format("block 17: %02X -> %02X, block 40: 7F -> %02X", twoBad[block17], tx802[block17], tx802[block40]),
          "Not fixed: the dump is cut off (block 9 is incomplete)"}},
        {kFixtures + "korg/triton-one-program.syx", {"Not fixed: not a Yamaha bulk dump"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = c.file.find('/') == std::string::npos ? kYamaha + c.file : c.file;
        const std::string saved = dir.file("fixed.syx");
        const std::size_t n = messagesInFile(path).size();
        std::size_t copies = 0;
        for (const std::string& v : c.verdicts) copies += v.find("->") != std::string::npos;
        // The copies checked in the same session, by their own display text.
        const std::string checkCopies = copies == 0 ? "" : format("select %zu-%zu\ndo Check\n", n + 1, n + copies);
        MidiLoopback bus({"Synth"});
        const RunResult r = runTool({"--script", "-", "--out", "Synth"},
                                    "open " + path + "\ndo Fix\nsave-list " + saved + "\n" + checkCopies,
                                    testing::loopbackDevices(bus));
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> verdicts;
        std::size_t correct = 0;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("Checking: Fixed: ", 0) == 0) {
                EXPECT_EQ(line.substr(line.size() - 18), ": Checksum Correct") << line;
                ++correct;
            }
            if (line.rfind("Fixing: ", 0) != 0) continue;
            // After the entry's text, which may hold ": " itself.
            std::size_t at = line.size();
            for (const char* start : {": Checksum already", ": Not fixed: ", ": checksum: ", ": block "})
                at = std::min(at, line.find(start));
            verdicts.push_back(line.substr(std::min(at + 2, line.size())));
        }
        EXPECT_EQ(verdicts, c.verdicts);
        EXPECT_EQ(correct, copies);

        const std::vector<Bytes> sources = messagesInFile(path);
        const std::vector<Bytes> list = messagesInFile(saved);
        ASSERT_EQ(list.size(), sources.size() + copies);
        EXPECT_TRUE(std::equal(sources.begin(), sources.end(), list.begin()));  // the sources unchanged
    }
}

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
    const auto saved = messagesInFile(dir.file("out.syx"));
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

// The modes share their tone generators with the bank conversion above; this
// is the edit-buffer form, on the highest channel.
TEST(YamahaConvertRun, AnEditBufferBecomesATX802Pced)
{
    // A Split at 60 with its flag and note shifts.
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
    TempDir dir;
    const std::string file = dir.write("buffer.syx", testing::dx7iiPerfEditBufDump(0, split));
    const RunResult r = runTool({"--script", "-"}, "open " + file + "\nset Channel=15\ndo DX7p>TX802p\nsave-list " +
                                                       dir.file("out.syx") + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto saved = messagesInFile(dir.file("out.syx"));
    ASSERT_EQ(saved.size(), 2u);
    ASSERT_EQ(saved[1].size(), kTX802PcedLength);
    EXPECT_EQ(saved[1][2], 15);
    TX802Pced pced{};
    ExtractTX802PCED(saved[1], pced);
    EXPECT_EQ(std::string(pced.begin() + kPcedName, pced.end()), name);
    // Parameter k (0-9) of tone generators 0-3 and 4-7 (groups A and B).
    const std::array<int, 2> k[] = {{0, 4}, {15, 15}, {70, 3},   {7, 7},   {77, 77},
                                    {3, 3}, {0, 61},  {60, 127}, {12, 36}, {1, 1}};
    for (std::size_t p = 0; p < std::size(k); ++p)
        for (std::size_t t = 0; t < 8; ++t) EXPECT_EQ(pced[8 * p + t], k[p][t / 4]) << "k" << p << " t" << t;
}

TEST(YamahaConvertRun, TheCartridgeReaderTalksToThePortsItIsGiven)
{
    TempDir dir;
    MidiLoopback bus({"DX7II"});
    std::unique_ptr<testing::SimulatedYamaha> dx7;
    const DeviceFactory factory = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        dx7 = std::make_unique<testing::SimulatedYamaha>(bus, shell, "DX7II", 0);
        dx7->delayMs = 1;
        dx7->voices[127] = testing::voiceNamed("Voice 127");
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const RunResult r = runTool(
        {"Rd DX7 CRT", "--set", "Channel=Chan", "--in", "dx7ii", "--out", "DX7II", "--save-new", dir.file("bank.syx")},
        "", factory, nullptr, dir.str());
    const RunResult noPorts = runTool({"RdTX802ROM"}, "", {}, nullptr, dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    // The lines of the names file are in the cartridge read of the virtual clock: this one is in the run's folder.
    const std::string names = dir.read(kCartProgsFile);
    EXPECT_EQ(names.substr(names.size() - 16), "127=Voice 127 \r\n");
    const auto saved = messagesInFile(dir.file("bank.syx"));
    EXPECT_EQ(std::count_if(saved.begin(), saved.end(), [](const Bytes& m) { return m.size() == kDX7iiBankLength; }),
              1);
    EXPECT_EQ(noPorts.status, 1);
    EXPECT_EQ(noPorts.err, "Warning: Choose a MIDI Out port first (--out PORT)\n");
}

}  // namespace
}  // namespace tolvex
