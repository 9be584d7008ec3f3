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

void describeUses(CommandTable& t)
{
    using namespace uses;
    // Wavestation.
    t.describe("ExtractWS", {"the first selected entry: a Wavestation SR dump",
                             {},
                             {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt names, when loaded"},
                             {},
                             {beside(".bin"),
                              "WS_SR_Patchs_bankN.txt, WS_SR_Perfs_bankN.txt or WS_SR_Perfmap.txt "
                              "in the current folder"},
                             {"a function the tool does not handle"}});
    t.describe("LoadMappingButton", {"",
                                     {},
                                     {"WS_SR_Global_Patch.txt and WS_SR_Global_Perf.txt in the current folder"},
                                     {},
                                     {"the name tables of later extractions"},
                                     {"a file that cannot be read"}});
    const char* const kNoBank = "no bank in 5 s: \"The Wavestation did not answer: no patch bank N in 5 s\"";
    const struct {
        const char *control, *what, *function;
    } oneBank[] = {{"ReqPatchBank", "patch", "1C"}, {"ReqPerfBank", "performance", "1D"}};
    for (const auto& b : oneBank)
        t.describe(b.control,
                   {"",
                    {ctl::Channel, ctl::WS_Bank},
                    {kInOut},
                    {},
                    {std::string("MIDI: the request F0 42 3n 28 ") + b.function + " bank F7",
                     std::string("the list: the ") + b.what + " bank's dump as it arrives (Cancel stops the wait)"},
                    {kNoPorts, kBadNumber, kNoBank}});
    for (const auto& [control, what] : {std::pair{"AllPatch", "patch"}, std::pair{"AllPerf", "performance"}})
        t.describe(control, {"",
                             {ctl::Channel},
                             {kInOut},
                             {},
                             {std::string("the list: the ") + what +
                                  " banks 0-11, requested in turn until one does not come (Cancel stops)",
                              "log: \"... bank N received (N+1 of 12)\" for each"},
                             {kNoPorts, kBadNumber, kNoBank}});
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
    void addCommands(CommandTable& t) const override
    {
        t.addPage("Wavestation", 4, {}, true);  // its buttons stand where addAt puts them
        t.addAt("Wavestation", "ExtractWS", "ExtractWS", 0, 0);
        t.addAt("Wavestation", "LoadMappingButton", "Load Mapping", 0, 1);
        t.addAt("Wavestation", "ReqPatchBank", "Req Patch Bank", 1, 0);
        t.addAt("Wavestation", "ReqPerfBank", "Req Perf Bank", 1, 1);
        t.addAt("Wavestation", "AllPatch", "All Patch", 1, 2);
        t.addAt("Wavestation", "AllPerf", "All Perf", 1, 3);
        t.addField({ctl::WS_Bank, "Bank", kMainWindow, false, 0, {}, ""});
        t.placeField(ctl::WS_Bank, "Wavestation", 0, 2);
        registerWavestation(t);
        describeUses(t);
    }
    std::vector<RememberedControl> remembered() const override { return {{ctl::WS_Bank, "WS_Bank", "0"}}; }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeWavestationFamily()
{
    return std::make_unique<WavestationFamily>();
}

}  // namespace tolvex
