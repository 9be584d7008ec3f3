// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation page through `tolvex-cli run`: the factory dump extracted
// bank by bank, the performance map named from banks and mapping files, and
// the bank requests answered by a simulated Wavestation.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/runner.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_korg.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::RunResult;
using testing::TempDir;

const std::string kFactory = std::string(TOLVEX_FIXTURES_DIR) + "/korg/wavestation-factory.syx";

TEST(WavestationRun, EachBankGivesItsDataAndItsNames)
{
    // The first selected entry is the one extracted: "3,1" extracts performance bank 0.
    const struct {
        const char* select;
        std::size_t binSize;
        const char* names;
        std::size_t count;
        const char *first, *last;
    } banks[] = {
        {"3,1", 9050, "WS_SR_Perfs_bank0.txt", 50, "Ski Jam        ", "DebussyOnWheels"},
        {"4", 14910, "WS_SR_Patchs_bank1.txt", 35, "Soft Marimba   ", "Spectrum 3     "},
    };
    for (const auto& b : banks) {
        TempDir dir;  // the current folder of the run: the text files go there
        const std::string syx = dir.write("factory.syx", testing::readFile(kFactory));
        const RunResult r = testing::runTool({"ExtractWS", syx, "--select", b.select}, "", {}, nullptr, dir.str());
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> written;  // the text and data files, debug_format.bin among them
        for (const auto& e : std::filesystem::directory_iterator(dir.str()))
            if (e.path().extension() != ".syx" && e.path().filename() != "debugfile.txt")
                written.push_back(e.path().filename());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, (std::vector<std::string>{b.names, "factory.bin"}));
        EXPECT_EQ(dir.read("factory.bin").size(), b.binSize) << b.names;
        const auto lines = testing::crlfLines(dir.read(b.names));
        ASSERT_EQ(lines.size(), b.count) << b.names;
        EXPECT_EQ(lines.front(), b.first);
        EXPECT_EQ(lines.back(), b.last);
    }
}

TEST(WavestationRun, OneSessionNamesTheMapFromBanksAndMappingFiles)
{
    TempDir dir;
    const std::string syx = dir.write("factory.syx", testing::readFile(kFactory));
    // Bank 2 is named by the mapping file; its patch file is read first, and must be there.
    dir.write("WS_SR_Global_Patch.txt", std::string("0 0 Wave Dance\r\n"));
    dir.write("WS_SR_Global_Perf.txt", std::string("2 0 From The File\r\n"));
    const RunResult r = testing::runTool(
        {"--script", "-"}, "open " + syx + "\nselect 1\ndo ExtractWS\ndo \"Load Mapping\"\nselect 8\ndo ExtractWS\n",
        {}, nullptr, dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("factory.bin").size(), 257u);
    const auto map = testing::crlfLines(dir.read("WS_SR_Perfmap.txt"));
    ASSERT_EQ(map.size(), 128u);
    EXPECT_EQ(map[0], "0,0,0,Ski Jam        ");
    EXPECT_NE(std::find(map.begin(), map.end(), "50,1,0,"), map.end());  // bank 1 was never read
    EXPECT_NE(std::find_if(map.begin(), map.end(),
                           [](const std::string& l) { return l.find(",2,0,From The File") != std::string::npos; }),
              map.end());
}

// The requests as the instrument hears them and the dumps that land in the
// list: one bank from the "Bank" box, every bank in turn until one does not
// come, and the refusals that send nothing.
TEST(WavestationRun, BankRequestsAreAnsweredAndLandInTheList)
{
    const auto factory = testing::messagesInFile(kFactory);
    const Bytes& patchBank = factory.at(2);  // 4C, bank 0
    const Bytes& perfBank = factory.at(0);   // 4D, bank 0
    const auto request = [](int channel, std::uint8_t function, int bank) {
        return Bytes{0xF0, 0x42,     static_cast<std::uint8_t>(0x30 | channel),
                     0x28, function, static_cast<std::uint8_t>(bank),
                     0xF7};
    };
    const struct {
        std::vector<std::string> args;
        int channel, banks;
        bool silent;
        std::vector<Bytes> heard;
        std::uint8_t dump;          // the function of the dumps received
        std::vector<int> received;  // their banks
        int status;
        std::string err, log;
    } cases[] = {
        // clang-format off
        {{"Req Patch Bank", "--set", "WS_Bank=1"}, 0, 12, false, {request(0, 0x1C, 1)}, 0x4C, {1}, 0, "",
         "Patch bank 1 received"},
        {{"ReqPerfBank", "--set", "WS_Bank=11", "--set", "Channel=3"}, 3, 12, false, {request(3, 0x1D, 11)}, 0x4D,
         {11}, 0, "", "Performance bank 11 received"},
        {{"All Patch"}, 0, 3, false,
         {request(0, 0x1C, 0), request(0, 0x1C, 1), request(0, 0x1C, 2), request(0, 0x1C, 3)}, 0x4C, {0, 1, 2}, 0, "",
         "No patch bank 3 in 5 s: the Wavestation sent banks 0-2"},
        {{"AllPerf", "--set", "Channel=15"}, 15, 12, false, {}, 0x4D, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0, "",
         "Performance bank 11 received (12 of 12)"},
        {{"Req Perf Bank", "--set", "WS_Bank=2"}, 0, 12, true, {request(0, 0x1D, 2)}, 0x4D, {}, 1,
         "Warning: The Wavestation did not answer: no performance bank 2 in 5 s\n", ""},
        {{"Req Patch Bank", "--set", "WS_Bank=12"}, 0, 12, false, {}, 0x4C, {}, 1,
         "Error: You must specify a valid number for the Wavestation Bank (0-11).\n", ""},
        {{"All Perf", "--set", "Channel=16"}, 0, 12, false, {}, 0x4D, {}, 1,
         "Error: The Wavestation channel must be between 0 and 15\n", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + std::to_string(c.heard.size()));
        TempDir dir;
        MidiLoopback bus({"WS"});
        std::unique_ptr<testing::SimulatedKorg> ws;
        const DeviceFactory devices = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
            ws = std::make_unique<testing::SimulatedKorg>(bus, &shell, "WS", 0x28);
            ws->bankDumps = {{0x1C, patchBank}, {0x1D, perfBank}};
            ws->delayMs = 2;
            ws->banks = c.banks;
            ws->silentToRequests = c.silent;
            return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
        };
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--in", "ws", "--out", "WS", "--save-new", dir.file("new.syx"), "--list-entries"});
        const RunResult r = testing::runTool(args, "", devices, nullptr, dir.str());
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        if (!c.log.empty()) {
            EXPECT_NE(r.out.find(c.log), std::string::npos) << r.out;
        }
        const std::vector<Bytes> heard = ws ? ws->heard() : std::vector<Bytes>{};
        if (!c.heard.empty() || c.status != 0) {
            EXPECT_EQ(heard, c.heard);
        }
        const auto saved = std::filesystem::exists(dir.file("new.syx")) ? testing::messagesInFile(dir.file("new.syx"))
                                                                        : std::vector<Bytes>{};
        ASSERT_EQ(saved.size(), c.received.size());
        if (!saved.empty()) {
            EXPECT_NE(r.out.find(c.dump == 0x4C ? "\tKorg Wavestation : All Patch Dump (within bank)"
                                                : "\tKorg Wavestation : All Performance Dump (within bank)"),
                      std::string::npos)
                << r.out;
        }
        for (std::size_t i = 0; i < saved.size(); ++i) {
            EXPECT_EQ(saved[i].size(), c.dump == 0x4C ? patchBank.size() : perfBank.size());
            EXPECT_EQ(saved[i][2], 0x30 | c.channel);
            EXPECT_EQ(saved[i][4], c.dump);
            EXPECT_EQ(saved[i][5], c.received[i]) << i;
        }
    }
}

}  // namespace
}  // namespace tolvex
