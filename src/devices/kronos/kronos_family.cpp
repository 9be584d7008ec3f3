// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/common/korg_naming.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/common/korg_confirmation.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/kronos/kronos_timbre_copy.h"

namespace tolvex {

PatchFamily kronosPatchFamily();  // kronos_patches.cpp

namespace {

void describeUses(CommandTable& t)
{
    using namespace uses;
    t.describe("KroGlobal2Txt", {"the first selected entry: a Kronos Global dump",
                                 {},
                                 {},
                                 {},
                                 {"Kronos-Global-Cat-Parse.txt in the current folder"},
                                 {"a message of another kind"}});
    t.describe("KroParseToText", {"the first selected entry: a Kronos Combi or current-Combi dump",
                                  {},
                                  {},
                                  {},
                                  {"combiparse.txt in the current folder", "log: the Combi's name"},
                                  {"\"Message is not Kronos Combi\""}});
    t.describe("KroSaveCombiBin", {"the first selected entry: a Kronos Combi or current-Combi dump",
                                   {},
                                   {},
                                   {},
                                   {"the unpacked Combi (7810 bytes) to a file (--file PATH)"},
                                   {"\"Message is not Kronos Combi\""}});

    // Kronos.
    const char* const kKronosChecks = "a channel outside 0-15, a bank or program out of range: its box";
    for (const char* control : {"KroReq1Prog", "KroReq1Combi", "CurProgReq", "CurCombReq", "CurSetlistReq"})
        t.describe(control, {"",
                             {ctl::Channel, ctl::KroBank, ctl::KroProg},
                             {},
                             {},
                             {"MIDI: the request (--out PORT)"},
                             {kKronosChecks}});
    t.describe("TimbreCopy", {"the first selected entry: a Kronos Combi dump",
                              {},
                              {},
                              {},
                              {"shows the timbre-copy window with it as the source"},
                              {}});
    t.describe("CmbTempoButton", {"the first selected entry: a Kronos Combi dump",
                                  {},
                                  {},
                                  {},
                                  {"log: \"Combi Tempo: \" and the tempo"},
                                  {"\"Message is not Kronos Combi\""}});

    // Timbre-copy window: the source is the first selected entry when the window is shown.
    const char* const kSource = "the first selected entry (the source Combi)";
    const char* const kEditBuffer = "the window's edit buffer";
    for (const char* control : {"CopyFullBtn", "CopyNonTimbre", "CopyMFX", "CopyTFX", "CopyKarma"})
        t.describe(control, {kSource, {}, {}, {}, {kEditBuffer}, {}});
    t.describe("CopyTimbre", {kSource, {"TimbreCheckboxArray", "TimbreComboArray"}, {}, {}, {kEditBuffer}, {}});
    t.describe("CopyIFXButton", {kSource, {"IFXCheckboxArray", "IFXComboArray"}, {}, {}, {kEditBuffer}, {}});
    t.describe("InitButton1", {"", {}, {"KroInitCombi.bin"}, {}, {kEditBuffer}, {}});
    t.describe("SendBtn",
               {"", {}, {}, {}, {"MIDI: the edit buffer as a current-Combi dump (--out PORT)"}, {kNoOutput}});
    t.describe("SaveEditBuffBtn", {"", {}, {}, {}, {"the list: the edit buffer as a new entry"}, {}});
    t.describe("BtnCloseCopyDlg", {"", {}, {}, {}, {"hides the window"}, {}});
}

// The object dumps the Kronos loads (a stored object, the current one); it
// answers each with its reply, code 00 when the object was loaded.
constexpr std::uint8_t kAnsweredDumps[] = {0x73, 0x75};

class KronosFamily final : public DeviceFamily {
public:
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/kronos/kronos-messages.syx"}; }
    // A Combi dump or current Combi, unpacked and packed again.
    std::optional<Bytes> roundTrip(ByteView sx) const override
    {
        const std::uint8_t function = Verify_Kro_Combi(sx);
        if (function != 0x73 && function != 0x75) throw TolvexError("not a Kronos Combi");
        const std::size_t offset = function == 0x75 ? kKroCurrentCombiOffset : kKroCombiDumpOffset;
        Bytes data(sizeof(kronos::TKro_Combi));
        KroUnpack(sx, offset, data);
        return KorgDatatoSXConvert(sx.first(offset), data);
    }
    const char* name() const override { return "Korg Kronos"; }
    std::optional<PatchFamily> patches() const override { return kronosPatchFamily(); }
    std::optional<DumpConfirmation> confirmation(ByteView sx) const override
    {
        return korgDumpConfirmation(sx, {0x68, "Kronos", kAnsweredDumps, true});
    }
    void addCommands(CommandTable& t) const override
    {
        t.addMenu("Special", "KroGlobal2Txt", "&Global2Text");
        t.addMenu("Special", "KroParseToText", "&Parse2Text");
        t.addMenu("Special", "KroSaveCombiBin", "&SaveCombi2Bin");
        t.addPage("Kronos", 5,
                  {{"KroReq1Prog", "Req 1 Prog"},
                   {"KroReq1Combi", "Req 1 Combi"},
                   {"CurProgReq", "Cur Prog Req"},
                   {"CurCombReq", "Cur Comb Req"},
                   {"CurSetlistReq", "Cur Setlist Req"},
                   {"Setlist2EditBuf", "Setlist 2 EditBuf"}});
        t.addAt("Kronos", "TimbreCopy", "Timbre Copy", 1, 2);
        t.addAt("Kronos", "SetlistAutoName", "SetlistAutoName", 1, 3, "(currently unimplemented)");
        t.addAt("Kronos", "CmbTempoButton", "?", -1, -1, "Shows tempo setting from current Combi object");
        t.addField({ctl::KroProg, "Prog", kMainWindow, false, 0, {}, ""});
        t.addField({ctl::KroBank, "Bank", kMainWindow, false, 0, {}, ""});
        t.placeField(ctl::KroProg, "Kronos", 2, 0);
        t.placeField(ctl::KroBank, "Kronos", 2, 1);
        t.placeField(ctl::Filter7F, "Kronos", 3, 2);  // the filter applies to Kronos messages
        t.bind("KroReq1Prog", Kro_Req_1ProgClick);
        t.bind("KroReq1Combi", Kro_Req_1CombiClick);
        t.bind("CurProgReq", Kro_Cur_Prog_req_Click);
        t.bind("CurCombReq", Kro_Cur_Combi_req_Click);
        t.bind("CurSetlistReq", Kro_Cur_Setlist_req_Click);
        registerKronosCombi(t);
        t.addHint("CopyEditObjName", "Name of Object from main form (Combi)");
        t.addHint("SrcCombi", "Name of Combi selected as object on main form");
        t.addHint("GroupBox1",
                  "If more than one Timbre is mapped to the same destination, the hightest number is used");
        t.addHint("GroupBox2",
                  "If more than one Timbre is mapped to the same destination, the hightest number is used");
        describeUses(t);
    }
    std::vector<RememberedControl> remembered() const override
    {
        return {{ctl::KroProg, "KroProg", "0"}, {ctl::KroBank, "KroBank", "0"}};
    }
    void addNamers(Session& s, FamilyNamers& namers) const override
    {
        namers.add(korgModelNamer(0x68, "Kronos", [&s](ByteView sx, NameParts& out) {
            // Karma control messages come in streams; the filter drops them.
            if (sx[4] == 0x7F && out.opts.Filter7F) {
                out.ignore = true;
                return;
            }
            out.name += KronosFunctionText(sx, out.shortDesc, out.opts.log, kronosDefs(s));
        }));
    }
    // The timbre-copy window's boxes start cleared, each row mapped to itself;
    // the definition tables are read when first needed, the unknown-parameter
    // file is made at once.
    void startTables(Session& s, const std::string& progpath, bool diagnostics) const override
    {
        KroTimbreCopyFormCreate(s);
        KronosDeferStartup(s, progpath, diagnostics);
    }
    std::vector<std::string> summaries(Session& s) const override { return KronosStartupSummaries(s); }
    bool loadDeferredTables(Session& s) const override { return KronosLoadDeferredTables(s); }
    // The page's legend of the Kronos banks.
    void loadLists(Session& s, const std::string&) const override
    {
        s.controls.text.set(ctl::BankTextMemo1,
                            "Bank INT-A - F  : 0  -  5\r\nGM, g(1)-g(9,d)): 16 - 26\r\nUSER-A - G      : 64 - 70\r\n"
                            "USER-AA- GG : 71 - 77 (prg only)");
    }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeKronosFamily()
{
    return std::make_unique<KronosFamily>();
}

}  // namespace tolvex
