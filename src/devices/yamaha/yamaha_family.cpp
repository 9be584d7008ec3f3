// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/families.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_remote.h"

namespace tolvex {

namespace {

void describeUses(CommandTable& t)
{
    using namespace uses;
    // DX/TX.
    const char* const kUnpackStops = "a dump of another kind, or a damaged one: its unpacking error";
    t.describe("Conv_VMEM", {"the first selected entry: a DX7 32-voice bank",
                             {},
                             {},
                             {},
                             {beside(".bin, .txt")},
                             {kNothingSelected, kUnpackStops}});
    t.describe("DX7peb", {"the first selected entry: a DX7II performance edit buffer",
                          {},
                          {},
                          {},
                          {beside(".bin, .txt")},
                          {kNothingSelected, kUnpackStops}});
    t.describe("ConvDX7p", {"the first selected entry: a DX7II 32-performance bank",
                            {},
                            {},
                            {},
                            {beside(".bin, .txt, .csv, .lst, .map")},
                            {kNothingSelected, kUnpackStops}});
    t.describe("Map1_32", {"the first selected entry: a DX7 32-voice bank",
                           {},
                           {},
                           {},
                           {"the voice map: voice names 1-32 for later exports"},
                           {kNothingSelected, kUnpackStops}});
    t.describe("Map32_64", {"the first selected entry: a DX7 32-voice bank",
                            {},
                            {},
                            {},
                            {"the voice map: voice names 33-64 for later exports"},
                            {kNothingSelected, kUnpackStops}});
    t.describe("RdTX802ROM",
               {"",
                {ctl::Channel},
                {kInOut},
                {},
                {"TX802RomProgs.txt in the current folder"},
                {kNoPorts, kBadNumber, "no answer within 5 s: \"Timeout waiting for requested sysex message N\""}});
    t.describe(
        "RdDX7CRT",
        {"",
         {ctl::Channel},
         {kInOut},
         {},
         {"cartprogs.txt in the current folder", "the list: the answers and the 32 performances as one DX7II bank"},
         {kNoPorts, kBadNumber, "no answer within 5 s: \"Timeout waiting for requested sysex message N\""}});
    t.describe("ConvTX802perfBank", {"the first selected entry: a TX802 64-performance bank",
                                     {},
                                     {},
                                     {},
                                     {beside(".bin, .txt, .csv, .lst, .map")},
                                     {kNothingSelected, kUnpackStops}});
    t.describe("ConvTX802Perf", {"the first selected entry: a TX802 performance edit buffer",
                                 {},
                                 {},
                                 {},
                                 {beside(".bin, .txt, .csv, .lst")},
                                 {kNothingSelected, kUnpackStops}});
    t.describe("DX7p_to_TX802p", {"the first selected entry: a DX7II performance edit buffer",
                                  {ctl::Channel},
                                  {},
                                  {},
                                  {"the list: \"TX802 Perf Edit Buf converted from DX7\" (--save-new FILE keeps it)"},
                                  {kNothingSelected, kBadNumber, kUnpackStops}});
    t.describe(
        "dx7pb_to_tx802pb",
        {"the first selected entry: a DX7II 32-performance bank",
         {ctl::Channel},
         {},
         {{"Select Target Bank range for TX802",
           {"1-32 (or yes): performances 1-32", "33-64 (or no): performances 33-64", "cancel: nothing is converted"}}},
         {"the list: \"TX802 Perf converted from DX7\" (--save-new FILE keeps it)"},
         {kNothingSelected, kBadNumber, kUnpackStops}});
    t.describe("CheckSumCheck",
               {"each selected entry: a Yamaha bulk dump",
                {},
                {},
                {},
                {"log: \"Checking: \" + its text + \": Checksum Correct\" or \": Checksum Invalid ...\""},
                {kNoOutput}});
    t.describe("CheckSumFix", {"each selected entry: a Yamaha bulk dump",
                               {},
                               {},
                               {},
                               {"the list: a corrected copy \"Fixed: \" + its text of each dump with a wrong checksum",
                                "log: \"Fixing: \" + its text + \": \" + what was changed (\"block 3: 72 -> 4B\"), "
                                "\"Checksum already correct\" or \"Not fixed: \" + why"},
                               {kNothingSelected}});
}

class YamahaFamily final : public DeviceFamily {
public:
    // A bulk dump whose checksum holds (each block's, in a multi-block dump).
    bool provesWhole(ByteView sx) const override
    {
        std::string detail;
        return sx.size() >= 8 && sx[1] == 0x43 && (sx[2] & 0xF0) == 0 && sx.back() == 0xF7 &&
               DX7VerifyCheckSum(sx, detail);
    }
    const char* name() const override { return "Yamaha DX7, DX7II, TX802"; }
    void addCommands(CommandTable& t) const override
    {
        t.addPage("DX/TX", 6,
                  {{"Conv_VMEM", "DX VMEM>file"},
                   {"DX7peb", "DX7peb>file"},
                   {"ConvDX7p", "DX7perf>file"},
                   {"Map1_32", "DX Map1-32"},
                   {"Map32_64", "DX Map32-64"},
                   {"RdTX802ROM", "Rd TX802 ROM"},
                   {"RdDX7CRT", "Rd DX7 CRT"},
                   {"ConvTX802perfBank", "TX802pb>file"},
                   {"ConvTX802Perf", "TX802p>file"},
                   {"DX7p_to_TX802p", "DX7p>TX802p"},
                   {"dx7pb_to_tx802pb", "DX7pb>TX802pb"}},
                  true);
        t.addAt("DX/TX", "CheckSumCheck", "Check", 2, 1);
        t.addAt("DX/TX", "CheckSumFix", "Fix", 2, 2);
        registerYamaha(t);
        describeUses(t);
    }
    void readSettings(Session& s, const IniFile& ini) const override { YamReadSettings(s, ini); }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeYamahaFamily()
{
    return std::make_unique<YamahaFamily>();
}

}  // namespace tolvex
