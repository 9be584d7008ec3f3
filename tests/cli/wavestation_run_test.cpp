// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation page through `tolvex-cli run`: the factory dump extracted
// message by message in one session and the name tables from mapping files.
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

TEST(WavestationRun, OneSessionNamesTheMapFromBanksAndMappingFiles)
{
    TempDir dir;  // the current folder of the runs: the text files go there
    const std::string syx =
        dir.write("factory.syx", testing::readFile(std::string(TOLVEX_FIXTURES_DIR) + "/korg/wavestation-factory.syx"));
    const auto run = [&](const std::vector<std::string>& args, const std::string& script = "") {
        return testing::runTool(args, script, {}, nullptr, dir.str());
    };
    // The first selected entry is the one extracted: performance bank 0, not the patch bank.
    RunResult r = run({"ExtractWS", syx, "--select", "3,1"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> written;
    for (const auto& e : std::filesystem::directory_iterator(dir.str())) {
        const std::string name = e.path().filename().string();
        if (name.rfind("WS_SR_", 0) == 0 || name == "factory.bin" || name == "debug_format.bin")
            written.push_back(name);
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"WS_SR_Perfs_bank0.txt", "factory.bin"}));

    // Bank 2 is named by the mapping file; its patch file is read first, and must be there.
    dir.write("WS_SR_Global_Patch.txt", std::string("0 0 Wave Dance\r\n"));
    dir.write("WS_SR_Global_Perf.txt", std::string("2 0 From The File\r\n"));
    r = run({"--script", "-"},
            "open " + syx + "\nselect 2\ndo ExtractWS\ndo \"Load Mapping\"\nselect 8\ndo ExtractWS\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("factory.bin").size(), 257u);
    const std::string map = dir.read("WS_SR_Perfmap.txt");
    EXPECT_EQ(map.substr(0, 8), "0,0,0,\r\n");  // bank 0 was named in another session
    EXPECT_NE(map.find("\r\n50,1,0,Pharoah's Jig  \r\n"), std::string::npos);
    EXPECT_NE(map.find(",2,0,From The File\r\n"), std::string::npos);
    EXPECT_NE(map.find(",2,1,\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tolvex
