// SPDX-License-Identifier: GPL-3.0-or-later
// The SP page's commands through `tolvex-cli run` with ports, against a
// simulated SP that answers on the command line's own (real) clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/runner.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

using testing::InFolder;
using testing::RunResult;

// Runs with --in SP --out SP; the SP answers within milliseconds.
RunResult runWithSp(std::vector<std::string> args)
{
    MidiLoopback bus({"SP"});
    std::unique_ptr<SimulatedSP> sp;
    const DeviceFactory devices = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        sp = std::make_unique<SimulatedSP>(bus, shell, "SP");
        sp->delayMs = 2;
        sp->loadDelayMs = 5;
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    args.insert(args.end(), {"--set", "Channel=0", "--in", "SP", "--out", "SP"});
    return testing::runTool(args, "", devices);
}

// The waits on the command line's real clock: the bank read into its report,
// and the walk of the banks, each load answered.
TEST(PeaveyRun, TheSpPageFromTheCommandLine)
{
    TempDir dir;
    const InFolder folder(dir.str());
    std::ifstream fixture(std::string(TOLVEX_FIXTURES_DIR) + "/peavey/sp-bank-report.txt", std::ios::binary);
    RunResult r = runWithSp({"Rd_PV_SP_bank"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("PV_SP_Preset_Data.txt"), std::string(std::istreambuf_iterator<char>(fixture), {}));

    r = runWithSp({"Read all SP Banks", "--set", "SP_Bank_Num_edit=255", "--set", "SP_DevID_edit=1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Loaded bank 255 from device 1\n"), std::string::npos) << r.out;
    EXPECT_EQ(dir.read("PV_SP_Preset_Data255.txt").substr(0, 26), "Bank: 255 \"Disk Bank 255 \"");
}

}  // namespace
}  // namespace tolvex
