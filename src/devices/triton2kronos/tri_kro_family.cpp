// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/device_family.h"
#include "core/app/session.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_efx_parse.h"
#include "devices/triton2kronos/tri_kro_startup.h"

namespace tolvex {

namespace {

// The conversion's command and boxes on the Kronos page, and the function of
// the Triton page's "ParsEfx", whose answer the conversion's tables read.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    t.add({.control = "Conv1TriCombi",
           .caption = "Conv Triton Combi",
           .place = "Kronos",
           .row = 1,
           .column = 1,
           .hint = "Convert Triton Combi (or one in a Combi Bank) to one Kronos Combi",
           .use = {.selection = "the first selected entry: a Triton Combi bank, one-Combi or current-Combi dump, or an "
                                "All Data dump (Prog 0-511: its Combinations INT-A 000 to INT-D 127)",
                   .fields = {ctl::Tri_Gchan, ctl::KroProg, ctl::PassPrgBank, ctl::AutoSendCB},
                   .reads = {"KroInitCombi.bin, Kro_Default_EFX_Data.bin, TriProgNameList.txt, TriCombiNameList.txt"},
                   .writes = {"the list: \"Kronos Combi converted from Triton\" (+ \" \" and the Prog box for a bank)",
                              "Tri-Kronos-Combi-Parse.txt (replaced) and Tri-Kronos-Combi-Convert-Log.txt (appended) "
                              "in the current folder; debug-tri-data.bin, debug-kro-data.bin",
                              "MIDI: the converted Combi when Auto Send is checked (--out PORT)"},
                   .refuses = {kNoneSelected, "\"Message is not Triton Combi Bank\"", kBadNumber}},
           .run = [](Session& s) { ConvTriCombiBankClick(s); }});
    t.addField({.control = ctl::PassPrgBank,
                .caption = "Conv Pass Program and Bank",
                .check = true,
                .place = "Kronos",
                .row = 3,
                .column = 0});
    t.addField({.control = ctl::AutoSendCB,
                .caption = "Auto Send Triton Converted",
                .check = true,
                .hint = "When Converting Triton to Kronos Combi, automatically send to Edit Buffer",
                .place = "Kronos",
                .row = 3,
                .column = 1});
    t.bind("TriParsEfx", [](Session& s) { Tri_ParsEfxClick(s, TriParseEfxPostProcess); });
}

class TritonToKronosFamily final : public DeviceFamily {
public:
    const char* name() const override { return "Korg Triton to Kronos"; }
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    std::vector<RememberedControl> remembered() const override
    {
        return {{ctl::PassPrgBank, "PassPrgBankVal", "", true}, {ctl::AutoSendCB, "AutoSendCB", "", true}};
    }
    // The effect map, read when first needed.
    void startTables(Session& s, const std::string& progpath, bool) const override { TriKroDeferStartup(s, progpath); }
    void readSettings(Session& s, const IniFile& ini) const override { TriKroReadSettings(s, ini); }
    std::vector<std::string> summaries(Session& s) const override { return TriKroStartupSummaries(s); }
    void loadLists(Session& s, const std::string& progpath) const override { TriKroLoadLists(s, progpath); }
    bool loadDeferredTables(Session& s) const override { return TriKroLoadDeferredTables(s); }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeTritonToKronosFamily()
{
    return std::make_unique<TritonToKronosFamily>();
}

}  // namespace tolvex
