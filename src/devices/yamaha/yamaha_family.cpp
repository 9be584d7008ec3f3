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

// The DX/TX page: its commands with their grid places, what each reads and
// writes, and its function.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    const char* const kUnpackStops = "a dump of another kind, or a damaged one: its unpacking error";
    const char* const kNoAnswer = "no answer within 5 s: \"Timeout waiting for requested sysex message N\"";
    t.addPage(
        {.title = "DX/TX", .legacy = true, .extras = {{.kind = PageExtra::Label, .text = "Checksum", .row = 2}}},
        {
            {.control = "Conv_VMEM",
             .caption = "DX VMEM>file",
             .row = 0,
             .column = 0,
             .use = {.selection = "the first selected entry: a DX7 32-voice bank",
                     .writes = {beside(".bin, .txt")},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_Conv_VMEM},
            {.control = "DX7peb",
             .caption = "DX7peb>file",
             .row = 0,
             .column = 1,
             .use = {.selection = "the first selected entry: a DX7II performance edit buffer",
                     .writes = {beside(".bin, .txt")},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_ConvDX7peb},
            {.control = "ConvDX7p",
             .caption = "DX7perf>file",
             .row = 0,
             .column = 2,
             .use = {.selection = "the first selected entry: a DX7II 32-performance bank",
                     .writes = {beside(".bin, .txt, .csv, .lst, .map")},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_ConvDX7p},
            {.control = "Map1_32",
             .caption = "DX Map1-32",
             .row = 0,
             .column = 3,
             .use = {.selection = "the first selected entry: a DX7 32-voice bank",
                     .writes = {"the voice map: voice names 1-32 for later exports"},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_Map1_32},
            {.control = "Map32_64",
             .caption = "DX Map32-64",
             .row = 0,
             .column = 4,
             .use = {.selection = "the first selected entry: a DX7 32-voice bank",
                     .writes = {"the voice map: voice names 33-64 for later exports"},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_Map32_64},
            {.control = "RdTX802ROM",
             .caption = "Rd TX802 ROM",
             .row = 0,
             .column = 5,
             .use = {.fields = {ctl::Channel},
                     .reads = {kInOut},
                     .writes = {"TX802RomProgs.txt in the current folder"},
                     .refuses = {kNoPorts, kBadNumber, kNoAnswer}},
             .run = RdTX802ROMClick},
            {.control = "RdDX7CRT",
             .caption = "Rd DX7 CRT",
             .row = 1,
             .column = 0,
             .use = {.fields = {ctl::Channel},
                     .reads = {kInOut},
                     .writes = {"cartprogs.txt in the current folder",
                                "the list: the answers and the 32 performances as one DX7II bank"},
                     .refuses = {kNoPorts, kBadNumber, kNoAnswer}},
             .run = RdDX7CRTClick},
            {.control = "ConvTX802perfBank",
             .caption = "TX802pb>file",
             .row = 1,
             .column = 1,
             .use = {.selection = "the first selected entry: a TX802 64-performance bank",
                     .writes = {beside(".bin, .txt, .csv, .lst, .map")},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_ConvTX802pb},
            {.control = "ConvTX802Perf",
             .caption = "TX802p>file",
             .row = 1,
             .column = 2,
             .use = {.selection = "the first selected entry: a TX802 performance edit buffer",
                     .writes = {beside(".bin, .txt, .csv, .lst")},
                     .refuses = {kNothingSelected, kUnpackStops}},
             .run = Yam_ConvTX802p},
            {.control = "DX7p_to_TX802p",
             .caption = "DX7p>TX802p",
             .row = 1,
             .column = 3,
             .use = {.selection = "the first selected entry: a DX7II performance edit buffer",
                     .fields = {ctl::Channel},
                     .writes = {"the list: \"TX802 Perf Edit Buf converted from DX7\" (--save-new FILE keeps it)"},
                     .refuses = {kNothingSelected, kBadNumber, kUnpackStops}},
             .run = Yam_DX7p_to_TX802p},
            {.control = "dx7pb_to_tx802pb",
             .caption = "DX7pb>TX802pb",
             .row = 1,
             .column = 4,
             .use = {.selection = "the first selected entry: a DX7II 32-performance bank",
                     .fields = {ctl::Channel},
                     .asks = {{"Select Target Bank range for TX802",
                               {"1-32 (or yes): performances 1-32", "33-64 (or no): performances 33-64",
                                "cancel: nothing is converted"}}},
                     .writes = {"the list: \"TX802 Perf converted from DX7\" (--save-new FILE keeps it)"},
                     .refuses = {kNothingSelected, kBadNumber, kUnpackStops}},
             .run = Yam_DX7pb_to_TX802pb},
            {.control = "CheckSumCheck",
             .caption = "Check",
             .row = 2,
             .column = 1,
             .use = {.selection = "each selected entry: a Yamaha bulk dump",
                     .writes = {"log: \"Checking: \" + its text + \": Checksum Correct\" or \": Checksum "
                                "Invalid ...\""},
                     .refuses = {kNoOutput}},
             .run = CheckSumCheckClick},
            {.control = "CheckSumFix",
             .caption = "Fix",
             .row = 2,
             .column = 2,
             .use = {.selection = "each selected entry: a Yamaha bulk dump",
                     .writes = {"the list: a corrected copy \"Fixed: \" + its text of each dump with a wrong checksum",
                                "log: \"Fixing: \" + its text + \": \" + what was changed (\"block 3: 72 -> 4B\"), "
                                "\"Checksum already correct\" or \"Not fixed: \" + why"},
                     .refuses = {kNothingSelected}},
             .run = CheckSumFixClick},
        });
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
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    void readSettings(Session& s, const IniFile& ini) const override { YamReadSettings(s, ini); }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeYamahaFamily()
{
    return std::make_unique<YamahaFamily>();
}

}  // namespace tolvex
