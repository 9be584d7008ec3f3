// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/families.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_remote.h"

namespace tolvex {

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
            {.control = "CheckSumFix", .caption = "Fix", .row = 2, .column = 2},
        });
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
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    void readSettings(Session& s, const IniFile& ini) const override { YamReadSettings(s, ini); }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeYamahaFamily()
{
    return std::make_unique<YamahaFamily>();
}

}  // namespace tolvex
