// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/device_family.h"
#include "core/app/session.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_startup.h"

namespace tolvex {

namespace {

void describeUses(CommandTable& t)
{
    using namespace uses;
    t.describe("Conv1TriCombi",
               {"the first selected entry: a Triton Combi bank, one-Combi or current-Combi dump, or an All Data dump "
                "(Prog 0-511: its Combinations INT-A 000 to INT-D 127)",
                {ctl::Tri_Gchan, ctl::KroProg, ctl::PassPrgBank, ctl::AutoSendCB},
                {"KroInitCombi.bin, Kro_Default_EFX_Data.bin, TriProgNameList.txt, TriCombiNameList.txt"},
                {},
                {"the list: \"Kronos Combi converted from Triton\" (+ \" \" and the Prog box for a bank)",
                 "Tri-Kronos-Combi-Parse.txt (replaced) and Tri-Kronos-Combi-Convert-Log.txt (appended) in the "
                 "current folder; debug-tri-data.bin, debug-kro-data.bin",
                 "MIDI: the converted Combi when Auto Send is checked (--out PORT)"},
                {kNoneSelected, "\"Message is not Triton Combi Bank\"", kBadNumber}});
}

class TritonToKronosFamily final : public DeviceFamily {
public:
    const char* name() const override { return "Korg Triton to Kronos"; }
    void addCommands(CommandTable& t) const override
    {
        t.addAt("Kronos", "Conv1TriCombi", "Conv Triton Combi", 1, 1);
        t.addField({ctl::PassPrgBank, "Conv Pass Program and Bank", kMainWindow, true, 0, {}, ""});
        t.addField({ctl::AutoSendCB,
                    "Auto Send Triton Converted",
                    kMainWindow,
                    true,
                    0,
                    {},
                    "When Converting Triton to Kronos Combi, automatically send to Edit Buffer"});
        t.placeField(ctl::PassPrgBank, "Kronos", 3, 0);
        t.placeField(ctl::AutoSendCB, "Kronos", 3, 1);
        registerTritonToKronos(t);
        describeUses(t);
    }
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
