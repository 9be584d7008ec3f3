// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/families.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "devices/common/patches.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_sysex.h"

namespace tolvex {

namespace {

// The Wavestation page: its commands and box with their grid places, what
// each command reads and writes, and its function. The bank requests are not
// built yet.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    t.addPage({.title = "Wavestation", .legacy = true},
              {
                  {.control = "ExtractWS",
                   .caption = "ExtractWS",
                   .row = 0,
                   .column = 0,
                   .use = {.selection = "the first selected entry: a Wavestation SR dump",
                           .reads = {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt names, when loaded"},
                           .writes = {beside(".bin"),
                                      "WS_SR_Patchs_bankN.txt, WS_SR_Perfs_bankN.txt or WS_SR_Perfmap.txt "
                                      "in the current folder"},
                           .refuses = {"a function the tool does not handle"}},
                   .run = Extract_WS_proc},
                  {.control = "LoadMappingButton",
                   .caption = "Load Mapping",
                   .row = 0,
                   .column = 1,
                   .use = {.reads = {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt in the current folder"},
                           .writes = {"the name tables of later extractions"},
                           .refuses = {"a file that cannot be read"}},
                   .run = WS_LoadMappingButton},
                  {.control = "ReqPatchBank", .caption = "Req Patch Bank", .row = 1, .column = 0},
                  {.control = "ReqPerfBank", .caption = "Req Perf Bank", .row = 1, .column = 1},
                  {.control = "AllPatch", .caption = "All Patch", .row = 1, .column = 2},
                  {.control = "AllPerf", .caption = "All Perf", .row = 1, .column = 3},
              },
              {{.control = ctl::WS_Bank, .caption = "Bank", .row = 0, .column = 2}});
}

class WavestationFamily final : public DeviceFamily {
public:
    bool provesWhole(ByteView sx) const override { return splitProvesWhole(wavestationPatchFamily(), sx); }
    const char* name() const override { return "Korg Wavestation SR"; }
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    std::vector<RememberedControl> remembered() const override { return {{ctl::WS_Bank, "WS_Bank", "0"}}; }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeWavestationFamily()
{
    return std::make_unique<WavestationFamily>();
}

}  // namespace tolvex
