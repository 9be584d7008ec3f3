// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "devices/common/korg_confirmation.h"
#include "devices/common/patches.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_naming.h"
#include "devices/wavestation/wavestation_sysex.h"

namespace tolvex {

PatchFamily wavestationPatchFamily();  // wavestation_patches.cpp

namespace {

// The Wavestation page: its commands and box with their grid places, what
// each command reads and writes, and its function. The bank requests are not
// built yet.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    const char* const kNoBank = "no bank in 5 s: \"The Wavestation did not answer: no patch bank N in 5 s\"";
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
                  {.control = "ReqPatchBank",
                   .caption = "Req Patch Bank",
                   .row = 1,
                   .column = 0,
                   .use = {.fields = {ctl::Channel, ctl::WS_Bank},
                           .reads = {kInOut},
                           .writes = {"MIDI: the request F0 42 3n 28 1C bank F7",
                                      "the list: the patch bank's dump as it arrives (Cancel stops the wait)"},
                           .refuses = {kNoPorts, kBadNumber, kNoBank}},
                   .run = WS_ReqPatchBankClick},
                  {.control = "ReqPerfBank",
                   .caption = "Req Perf Bank",
                   .row = 1,
                   .column = 1,
                   .use = {.fields = {ctl::Channel, ctl::WS_Bank},
                           .reads = {kInOut},
                           .writes = {"MIDI: the request F0 42 3n 28 1D bank F7",
                                      "the list: the performance bank's dump as it arrives (Cancel stops the wait)"},
                           .refuses = {kNoPorts, kBadNumber, kNoBank}},
                   .run = WS_ReqPerfBankClick},
                  {.control = "AllPatch",
                   .caption = "All Patch",
                   .row = 1,
                   .column = 2,
                   .use = {.fields = {ctl::Channel},
                           .reads = {kInOut},
                           .writes = {"the list: the patch banks 0-11, requested in turn until one does not come "
                                      "(Cancel stops)",
                                      "log: \"... bank N received (N+1 of 12)\" for each"},
                           .refuses = {kNoPorts, kBadNumber, kNoBank}},
                   .run = WS_AllPatchClick},
                  {.control = "AllPerf",
                   .caption = "All Perf",
                   .row = 1,
                   .column = 3,
                   .use = {.fields = {ctl::Channel},
                           .reads = {kInOut},
                           .writes = {"the list: the performance banks 0-11, requested in turn until one does not come "
                                      "(Cancel stops)",
                                      "log: \"... bank N received (N+1 of 12)\" for each"},
                           .refuses = {kNoPorts, kBadNumber, kNoBank}},
                   .run = WS_AllPerfClick},
              },
              {{.control = ctl::WS_Bank, .caption = "Bank", .row = 0, .column = 2}});
}

// The dumps the Wavestation loads and answers (parameter changes and selects are not answered).
constexpr std::uint8_t kAnsweredDumps[] = {0x40, 0x49, 0x4C, 0x4D, 0x50, 0x51, 0x54, 0x55,
                                           0x5A, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x61, 0x62};

class WavestationFamily final : public DeviceFamily {
public:
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/korg/wavestation-factory.syx"}; }
    // Its dumps are read (the patch lists, the library), never written.
    std::optional<Bytes> roundTrip(ByteView sx) const override
    {
        if (!WSSR_format(sx)) throw TolvexError("Sysex header does not match currently supported format");
        return std::nullopt;
    }
    std::optional<PatchFamily> patches() const override { return wavestationPatchFamily(); }
    void addNamers(Session&, FamilyNamers& namers) const override { namers.add(wavestationNamer()); }
    std::optional<DumpConfirmation> confirmation(ByteView sx) const override
    {
        return korgDumpConfirmation(sx, {0x28, "Wavestation", kAnsweredDumps});
    }
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
