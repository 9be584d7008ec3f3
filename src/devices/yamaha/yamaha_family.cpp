// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_naming.h"
#include "devices/yamaha/yamaha_remote.h"

namespace tolvex {

PatchFamily yamahaPatchFamily();  // yamaha_patches.cpp

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
    std::vector<std::string> fixtures() const override
    {
        return {"tests/fixtures/yamaha/dx7-rom1a.syx",
                "tests/fixtures/yamaha/dx7ii-performance-bank-a.syx",
                "tests/fixtures/yamaha/tx802-performance-bank.syx",
                "tests/fixtures/yamaha/dx7-single-voice-keybd01.syx",
                "tests/fixtures/yamaha/dx7-parameter-changes.syx",
                "tests/fixtures/yamaha/tx802-voice-bank-with-amem.syx",
                "tests/fixtures/yamaha/dx7-bank-truncated-no-f7.syx",
                "tests/fixtures/yamaha/dx7-bank-missing-checksum.syx"};
    }
    // Voice banks are read, never written; DX7II and TX802 performance banks
    // are written again from their performances.
    std::optional<Bytes> roundTrip(ByteView sx) const override
    {
        if (sx.size() > 4 && sx[3] == 0x09) {
            std::array<PackedVoice, 32> voices;
            ExtractDXTX_VMEM(sx, voices);
            return std::nullopt;
        }
        const bool lm = sx.size() >= 16 && sx[0] == 0xF0 && sx[1] == 0x43 && (sx[2] & 0xF0) == 0 && sx[3] == 0x7E;
        const std::string id = lm ? std::string(sx.begin() + 6, sx.begin() + 16) : "";
        if (id == DX7ii_PackedPerfID) {
            std::array<DX7iiPerformance, 32> bank{};
            ExtractDX7iiPerfBank(sx, bank);
            return DX7iiPerftoSysex(sx[2] & 0x0F, bank);
        }
        if (id == TX802_PackedPerfID) {
            std::array<TX802Performance, 64> bank{};
            ExtractTX802PMEM(sx, bank);
            return TX802PMEMtoSysex(sx[2] & 0x0F, bank);
        }
        throw TolvexError("not a Yamaha bank");
    }
    // A bulk dump whose checksum holds (each block's, in a multi-block dump).
    bool provesWhole(ByteView sx) const override
    {
        std::string detail;
        return sx.size() >= 8 && sx[1] == 0x43 && (sx[2] & 0xF0) == 0 && sx.back() == 0xF7 &&
               DX7VerifyCheckSum(sx, detail);
    }
    const char* name() const override { return "Yamaha DX7, DX7II, TX802"; }
    std::optional<PatchFamily> patches() const override { return yamahaPatchFamily(); }
    void addNamers(Session&, FamilyNamers& namers) const override { namers.add(yamahaNamer()); }
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
