// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation page through `tolvex-cli run`: the factory dump extracted
// bank by bank, and the performance map named from banks and mapping files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/runner.h"
#include "support/run_tool.h"
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

}  // namespace
}  // namespace tolvex
