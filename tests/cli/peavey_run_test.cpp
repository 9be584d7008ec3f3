// SPDX-License-Identifier: GPL-3.0-or-later
// The SP bank read through `tolvex-cli run` with ports, against a simulated SP
// that answers on the command line's own (real) clock.
#include <gtest/gtest.h>

#include "cli/runner.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/run_tool.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

// The report of the simulator's scripted bank, checked line by line by hand once.
TEST(PeaveyRun, ReadsTheLoadedBankIntoItsReport)
{
    TempDir dir;
    MidiLoopback bus({"SP"});
    std::unique_ptr<SimulatedSP> sp;
    const DeviceFactory devices = [&](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        sp = std::make_unique<SimulatedSP>(bus, shell, "SP");
        sp->delayMs = 2;  // the SP answers within milliseconds
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
    const RunResult r =
        runTool({"Rd_PV_SP_bank", "--set", "Channel=0", "--in", "SP", "--out", "SP"}, "", devices, nullptr, dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("PV_SP_Preset_Data.txt"),
              readFile(std::string(TOLVEX_FIXTURES_DIR) + "/peavey/sp-bank-report.txt"));
}

}  // namespace
}  // namespace tolvex
