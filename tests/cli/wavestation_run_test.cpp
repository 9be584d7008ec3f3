// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation page through `tolvex-cli run`: the factory dump extracted
// message by message in one session, the name tables from mapping files, and
// the refusals a user meets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/runner.h"
#include "support/run_tool.h"

namespace tolvex {
namespace {

using testing::TempDir;

const std::string kFactory = std::string(TOLVEX_FIXTURES_DIR) + "/korg/wavestation-factory.syx";

// A run in its own current folder (the text files go there), as a user in a terminal.
struct WsRun {
    TempDir dir;
    std::string syx = dir.file("factory.syx");
    int status = 0;
    std::string out, err;

    WsRun()
    {
        std::ifstream in(kFactory, std::ios::binary);
        dir.write("factory.syx", std::string(std::istreambuf_iterator<char>(in), {}));
    }
    void operator()(const std::vector<std::string>& args, const std::string& script = "")
    {
        const testing::RunResult r = testing::runTool(args, script, {}, nullptr, dir.str());
        status = r.status;
        out = r.out;
        err = r.err;
    }
    // The files a Wavestation command writes.
    std::vector<std::string> written() const
    {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(dir.str())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("WS_SR_", 0) == 0 || name == "factory.bin" || name == "debug_format.bin")
                files.push_back(name);
        }
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST(WavestationRun, OneSessionNamesTheMapFromBanksAndMappingFiles)
{
    WsRun run;
    // The first selected entry is the one extracted: performance bank 0, not the patch bank.
    run({"ExtractWS", run.syx, "--select", "3,1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.written(), (std::vector<std::string>{"WS_SR_Perfs_bank0.txt", "factory.bin"}));

    // Bank 2 is named by the mapping file; its patch file is read first, and must be there.
    run.dir.write("WS_SR_Global_Patch.txt", std::string("0 0 Wave Dance\r\n"));
    run.dir.write("WS_SR_Global_Perf.txt", std::string("2 0 From The File\r\n"));
    run({"--script", "-"},
        "open " + run.syx + "\nselect 2\ndo ExtractWS\ndo \"Load Mapping\"\nselect 8\ndo ExtractWS\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.dir.read("factory.bin").size(), 257u);
    const std::string map = run.dir.read("WS_SR_Perfmap.txt");
    EXPECT_EQ(map.substr(0, 8), "0,0,0,\r\n");  // bank 0 was named in another session
    EXPECT_NE(map.find("\r\n50,1,0,Pharoah's Jig  \r\n"), std::string::npos);
    EXPECT_NE(map.find(",2,0,From The File\r\n"), std::string::npos);
    EXPECT_NE(map.find(",2,1,\r\n"), std::string::npos);
}

TEST(WavestationRun, RefusalsEndTheRunWithTheirBox)
{
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"ExtractWS", "SYX", "--select", "5"}, "Error: Sysex header does not match currently supported format\n"},
        {{"ExtractWS"}, "Warning: Nothing Selected\n"},
    };
    for (const auto& c : cases) {
        WsRun run;
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            if (a == "SYX") a = run.syx;
        run(args);
        EXPECT_EQ(run.status, 1) << c.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(run.written(), std::vector<std::string>{}) << c.err;
    }
}

}  // namespace
}  // namespace tolvex
