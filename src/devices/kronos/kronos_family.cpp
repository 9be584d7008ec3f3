// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "core/text/bytes.h"
#include "devices/common/korg_confirmation.h"
#include "devices/common/korg_naming.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/kronos/kronos_timbre_copy.h"

namespace tolvex {

PatchFamily kronosPatchFamily();  // kronos_patches.cpp

namespace {

// The Kronos page, its Special menu entries and the timbre-copy window: each
// command with its place, hint, what it reads and writes, and its function.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    const char* const kNotCombi = "\"Message is not Kronos Combi\"";
    const Command menu[] = {
        {.control = "KroGlobal2Txt",
         .caption = "&Global2Text",
         .place = "Special",
         .use = {.selection = "the first selected entry: a Kronos Global dump",
                 .writes = {"Kronos-Global-Cat-Parse.txt in the current folder"},
                 .refuses = {"a message of another kind"}},
         .run = Kro_Global2Txt},
        {.control = "KroParseToText",
         .caption = "&Parse2Text",
         .place = "Special",
         .use = {.selection = "the first selected entry: a Kronos Combi or current-Combi dump",
                 .writes = {"combiparse.txt in the current folder", "log: the Combi's name"},
                 .refuses = {kNotCombi}},
         .run = Kro_ParseToText},
        {.control = "KroSaveCombiBin",
         .caption = "&SaveCombi2Bin",
         .place = "Special",
         .use = {.selection = "the first selected entry: a Kronos Combi or current-Combi dump",
                 .writes = {"the unpacked Combi (7810 bytes) to a file (--file PATH)"},
                 .refuses = {kNotCombi}},
         .run = Kro_SaveCombiBin},
    };
    for (const Command& c : menu) t.add(c);

    const CommandUse request{.fields = {ctl::Channel, ctl::KroBank, ctl::KroProg},
                             .writes = {"MIDI: the request (--out PORT)"},
                             .refuses = {"a channel outside 0-15, a bank or program out of range: its box"}};
    t.addPage({.title = "Kronos",
               .extras = {{.kind = PageExtra::LabelledButton,
                           .text = "Combi Tempo:",
                           .control = kCmbTempoButton,
                           .row = 1,
                           .column = 4},
                          // Under the buttons, beside the boxes: a column of its own would widen the page.
                          {.kind = PageExtra::Legend,
                           .text = "Bank INT-A - F  : 0  -  5\nGM, g(1)-g(9,d)): 16 - 26\nUSER-A - G      : 64 - 70\n"
                                   "USER-AA- GG : 71 - 77 (prg only)",
                           .control = ctl::BankTextMemo1,
                           .row = 2,
                           .column = 2,
                           .columnSpan = 3}}},
              {
                  {.control = "KroReq1Prog",
                   .caption = "Req 1 Prog",
                   .row = 0,
                   .column = 0,
                   .use = request,
                   .run = Kro_Req_1ProgClick},
                  {.control = "KroReq1Combi",
                   .caption = "Req 1 Combi",
                   .row = 0,
                   .column = 1,
                   .use = request,
                   .run = Kro_Req_1CombiClick},
                  {.control = "CurProgReq",
                   .caption = "Cur Prog Req",
                   .row = 0,
                   .column = 2,
                   .use = request,
                   .run = Kro_Cur_Prog_req_Click},
                  {.control = "CurCombReq",
                   .caption = "Cur Comb Req",
                   .row = 0,
                   .column = 3,
                   .use = request,
                   .run = Kro_Cur_Combi_req_Click},
                  {.control = "CurSetlistReq",
                   .caption = "Cur Setlist Req",
                   .row = 0,
                   .column = 4,
                   .use = request,
                   .run = Kro_Cur_Setlist_req_Click},
                  {.control = "Setlist2EditBuf",
                   .caption = "Setlist 2 EditBuf",
                   .row = 1,
                   .column = 0,
                   .hint = "No action: Korg's published facts do not say what this button should send",
                   .noAction = true},
                  {.control = "TimbreCopy",
                   .caption = "Timbre Copy",
                   .row = 1,
                   .column = 2,
                   .use = {.selection = "the first selected entry: a Kronos Combi dump",
                           .writes = {"shows the timbre-copy window with it as the source"}},
                   .run = TimbreCopyClick},
                  {.control = "SetlistAutoName",
                   .caption = "SetlistAutoName",
                   .row = 1,
                   .column = 3,
                   .hint = "No action: Korg's published facts do not say how a setlist should be named",
                   .noAction = true},
                  // Placed by the page's extra, beside its caption.
                  {.control = kCmbTempoButton,
                   .caption = "?",
                   .hint = "Shows tempo setting from current Combi object",
                   .use = {.selection = "the first selected entry: a Kronos Combi dump",
                           .writes = {"log: \"Combi Tempo: \" and the tempo"},
                           .refuses = {kNotCombi}},
                   .run = Kro_GetCombiTempo},
              },
              {
                  {.control = ctl::KroProg, .caption = "Prog", .row = 2, .column = 0},
                  {.control = ctl::KroBank, .caption = "Bank", .row = 2, .column = 1},
              });
    t.placeField(ctl::Filter7F, "Kronos", 3, 2);  // the filter applies to Kronos messages

    // The timbre-copy window: the source is the first selected entry when the window is shown.
    const char* const kSource = "the first selected entry (the source Combi)";
    const char* const kEditBuffer = "the window's edit buffer";
    const CommandUse copy{.selection = kSource, .writes = {kEditBuffer}};
    const Command window[] = {
        {.control = "CopyFullBtn",
         .caption = "Copy Full Combi",
         .hint = "Copy full Combi from source (including Name, EFX, GE, etc)",
         .use = copy,
         .run = CopyFullBtnClick},
        {.control = "CopyNonTimbre",
         .caption = "Copy All Non Timbre",
         .hint = "Copy the name and non-Timbre (all EFX) paramters of the source Combi to output edit buffer",
         .use = copy,
         .run = CopyNonTimbreClick},
        {.control = "CopyMFX",
         .caption = "Copy MFX",
         .hint = "Copy MFX of the source Combi to output edit buffer",
         .use = copy,
         .run = CopyMFXClick},
        {.control = "CopyTFX",
         .caption = "Copy TFX",
         .hint = "Copy TFX of the source Combi to output edit buffer",
         .use = copy,
         .run = CopyTFXClick},
        {.control = "CopyKarma",
         .caption = "Copy Karma",
         .hint = "Copy Karma data to output edit buffer",
         .use = copy,
         .run = CopyKarmaClick},
        {.control = "InitButton1",
         .caption = "Initialize Combi Buffer",
         .hint = "Return Combi Edit Buffer to \"Init Combi\" values",
         .use = {.reads = {kKroInitCombiFile}, .writes = {kEditBuffer}},
         .run = InitButton1Click},
        {.control = "SendBtn",
         .caption = "Send Edit Buffer to Kronos",
         .hint = "Click to send Combi to Kronos Edit Buffer",
         .use = {.writes = {"MIDI: the edit buffer as a current-Combi dump (--out PORT)"}, .refuses = {kNoOutput}},
         .run = SendBtnClick},
        {.control = "SaveEditBuffBtn",
         .caption = "Save Edit Buffer",
         .hint = "Save current edit buffer back to main sysex object list",
         .use = {.writes = {"the list: the edit buffer as a new entry"}},
         .run = SaveEditBuffBtnClick},
        {.control = "BtnCloseCopyDlg",
         .caption = "Close",
         .use = {.writes = {"hides the window"}},
         .run = BtnCloseCopyDlgClick},
        {.control = "CopyTimbre",
         .caption = "Copy Timbres",
         .place = "GroupBox1",
         .hint = "Click to copy selected Timbres remapped to Combi Buffer",
         .use = {.selection = kSource, .fields = {TimbreCheckboxArray, TimbreComboArray}, .writes = {kEditBuffer}},
         .run = CopyTimbreClick},
        {.control = "CopyIFXButton",
         .caption = "Copy IFX",
         .place = "GroupBox2",
         .hint = "Click to copy selected IFX slots remapped to Combi Buffer",
         .use = {.selection = kSource, .fields = {IFXCheckboxArray, IFXComboArray}, .writes = {kEditBuffer}},
         .run = CopyIFXClick},
    };
    for (Command c : window) {
        c.window = kKroTimbreCopyWindow;
        // Showing the window (or coming back to it) loads the source first.
        c.showWindow = KroTimbreCopyFormActivate;
        t.add(std::move(c));
    }
    std::vector<std::string> toTimbre, toSlot;
    for (int d = 1; d <= kTimbreRows; ++d) toTimbre.push_back(format("To Timbre %2d", d));
    for (int d = 1; d <= kIFXRows; ++d) toSlot.push_back(format("To IFX Slot %2d", d));
    const Field arrays[] = {
        {.control = TimbreCheckboxArray, .check = true, .count = kTimbreRows},
        {.control = TimbreComboArray, .count = kTimbreRows, .items = toTimbre},
        {.control = IFXCheckboxArray, .check = true, .count = kIFXRows},
        {.control = IFXComboArray, .count = kIFXRows, .items = toSlot},
    };
    for (Field f : arrays) {
        f.window = kKroTimbreCopyWindow;
        t.addField(std::move(f));
    }
    t.addHint("CopyEditObjName", "Name of Object from main form (Combi)");
    t.addHint("SrcCombi", "Name of Combi selected as object on main form");
    t.addHint("GroupBox1", "If more than one Timbre is mapped to the same destination, the hightest number is used");
    t.addHint("GroupBox2", "If more than one Timbre is mapped to the same destination, the hightest number is used");
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
    void addCommands(CommandTable& t) const override { declareCommands(t); }
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
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeKronosFamily()
{
    return std::make_unique<KronosFamily>();
}

}  // namespace tolvex
