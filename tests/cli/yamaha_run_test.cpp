// SPDX-License-Identifier: GPL-3.0-or-later
// The DX/TX page through `tolvex-cli run`, as a user reaches it from a
// terminal: real dumps to files compared with reviewed reports, damaged dumps
// with their boxes, the exports read back, and the checksum check over a MIDI
// port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/runner.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::messagesOf;
using testing::readFile;
using testing::RunResult;
using testing::runTool;
using testing::TempDir;

const std::string kFixtures = std::string(TOLVEX_FIXTURES_DIR) + "/";
const std::string kYamaha = kFixtures + "yamaha/";

std::set<std::string> filesIn(const TempDir& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.str())) out.insert(e.path().filename().string());
    return out;
}

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
    const char* const names[32] = {
        "BRASS   1 ", "BRASS   2 ", "BRASS   3 ", "STRINGS 1 ", "STRINGS 2 ", "STRINGS 3 ", "ORCHESTRA ", "PIANO   1 ",
        "PIANO   2 ", "PIANO   3 ", "E.PIANO 1 ", "GUITAR  1 ", "GUITAR  2 ", "SYN-LEAD 1", "BASS    1 ", "BASS    2 ",
        "E.ORGAN 1 ", "PIPES   1 ", "HARPSICH 1", "CLAV    1 ", "VIBE    1 ", "MARIMBA   ", "KOTO      ", "FLUTE   1 ",
        "ORCH-CHIME", "TUB BELLS ", "STEEL DRUM", "TIMPANI   ", "REFS WHISL", "VOICE   1 ", "TRAIN     ", "TAKE OFF  "};
    std::string txt;
    for (int v = 0; v < 32; ++v) txt += format("v%2d ", v + 1) + names[v] + " \r\n";
    EXPECT_EQ(readFile(dir.file("dx7-rom1a.txt")), txt + "\r\ncksum: CD\r\n");
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

// Damaged dumps, wrong kinds and an empty selection stop with their box and
// leave no files behind.
TEST(YamahaRun, DamagedDumpsAndWrongKindsStopWithTheirBox)
{
    const struct {
        const char* command;
        const char* fixture;  // "" loads nothing
        const char* select;
        int status;
        std::string err;
        bool files;
    } cases[] = {
        {"DX VMEM>file", "dx1-bank-bad-checksum-bit7.syx", "1", 1, "Error: Header does not match VMEM format\n", false},
        {"DX VMEM>file", "dx7-bank-missing-checksum.syx", "1", 1,
         "ExtractTX802VMEM Error: Index overflow: Protocol Error in TX802 Sysex\n", false},
        {"DX VMEM>file", "dx7-bank-truncated-no-f7.syx", "1", 1,
         "ExtractTX802VMEM Error: Index overflow: Protocol Error in TX802 Sysex\n", false},
        {"DX VMEM>file", "dx7-bank-twice-concatenated.syx", "2", 0, "", true},
        {"DX VMEM>file", "dx7s-bank-wrong-checksum.syx", "1", 0, "", true},
        {"DX Map32-64", "dx7ii-performance-bank-a.syx", "1", 1, "Error: Header does not match VMEM format\n", false},
        {"DX7perf>file", "dx7-rom1a.syx", "1", 1,
         "Error: Header does not match DX7-II Packed Performance (LM  8973PM) format\n", false},
        {"DX7peb>file", "dx7ii-performance-bank-a.syx", "1", 1,
         "Error: Header does not match DX7-II Performance Edit Buffer (LM  8973PE) format\n", false},
        {"TX802pb>file", "dx7ii-performance-bank-a.syx", "1", 1, "Error: Header does not match TX802PMEM format\n",
         false},
        {"TX802p>file", "tx802-performance-bank.syx", "1", 1, "Error: Header does not match TX802PCED format\n", false},
        {"ExtractWS", "korg/wavestation-factory.syx", "5", 1,
         "Error: Sysex header does not match currently supported format\n", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const RunResult r = runTool({c.command, copyInto(dir, c.fixture), "--select", c.select});
        EXPECT_EQ(r.status, c.status) << c.command << " " << c.fixture;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.command << " " << c.fixture;
        EXPECT_EQ(filesIn(dir).size(), c.files ? 3u : 1u) << c.command << " " << c.fixture;
    }
    for (const char* command : {"DX VMEM>file", "DX Map1-32", "DX Map32-64", "DX7perf>file", "DX7peb>file",
                                "TX802pb>file", "TX802p>file", "ExtractWS"}) {
        const RunResult r = runTool({command});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err.substr(0, 26), "Warning: Nothing Selected\n") << command;
    }
}

TEST(YamahaRun, CheckLogsTheVerdictOfEverySelectedDump)
{
    MidiLoopback bus({"Synth"});
    const DeviceFactory loopback = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const RunResult r = runTool({"Check", kYamaha + "dx7-rom1a.syx", kYamaha + "dx7s-bank-wrong-checksum.syx",
                                 kYamaha + "tx802-performance-bank.syx", kYamaha + "tx802-voice-bank-with-amem.syx",
                                 kYamaha + "dx7-bank-truncated-no-f7.syx", "--out", "Synth"},
                                "", loopback);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> verdicts;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Checking: ", 0) == 0) verdicts.push_back(line.substr(line.find(": Checksum")));
    EXPECT_EQ(verdicts, (std::vector<std::string>{": Checksum Correct", ": Checksum Invalid is 2B, should be 1E",
                                                  ": Checksum Correct", ": Checksum Invalid message too short",
                                                  ": Checksum Correct", ": Checksum Correct",
                                                  ": Checksum Invalid is 4D, should be 75"}));
    EXPECT_NE(r.out.find("Checking: Yamaha Bulk Dump: Packed 32 Voice: Checksum Correct\n"), std::string::npos);

    const RunResult noPort = runTool({"Check", kYamaha + "dx7-rom1a.syx"});
    EXPECT_EQ(noPort.status, 1);
    EXPECT_EQ(noPort.err, "Warning: MIDI Interface Not Installed\n");
}

// Open CSV reads the .csv files of the exports back into the dumps they came
// from, byte for byte.
TEST(YamahaRun, OpenCsvReadsTheExportsBackByteForByte)
{
    const struct {
        const char* fixture;
        const char* command;
        const char* type;
    } cases[] = {{"dx7ii-performance-bank-a.syx", "DX7perf>file", "DX7II Performance Bank"},
                 {"tx802-performance-bank.syx", "TX802pb>file", "TX802 Performance Bank"}};
    for (const auto& c : cases) {
        TempDir dir;
        const std::string syx = dir.write(c.fixture, readFile(kYamaha + c.fixture));
        const Bytes original = messagesOf(syx).at(0);
        const std::string csv = syx.substr(0, syx.size() - 4) + ".csv";
        const RunResult r =
            runTool({"--script", "-"},
                    "open " + syx + "\ndo \"" + c.command + "\"\nset Channel=" + std::to_string(original[2]) +
                        "\nfile " + csv + "\ndo \"Open CSV\"\nsave-new " + dir.file("csv.syx") + "\nlist-entries\n",
                    {}, nullptr, dir.str());
        EXPECT_EQ(r.status, 0) << r.err;
        const auto back = messagesOf(dir.file("csv.syx"));
        ASSERT_EQ(back.size(), 1u) << c.type;
        EXPECT_EQ(back[0], original) << c.type;
        EXPECT_NE(r.out.find(std::string("Loaded CSV ") + c.type + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(dir.file(std::string("CSV_") + std::filesystem::path(csv).filename().string()) + "\t2\t"),
                  std::string::npos)
            << r.out;
        // Only the DX7II bank leaves its records beside the program's current folder.
        EXPECT_EQ(std::filesystem::exists(dir.file("CSV-DX7iiPackedPerf.bin")), c.type[0] == 'D') << c.type;
    }
}

}  // namespace
}  // namespace tolvex
