// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/common/korg_confirmation.h"
#include "devices/common/korg_packing.h"
#include "devices/common/patches.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_naming.h"
#include "devices/triton/triton_params.h"
#include "devices/triton/triton_sysex.h"

namespace tolvex {

PatchFamily tritonPatchFamily();  // triton_patches.cpp

namespace {

// The Triton page: its commands and boxes with their grid places, what each
// command reads and writes, and its function.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    const char* const kTritonChecks = "a channel outside 0-15, a bank outside 0-11, a program outside 0-127: its box";
    const char* const kRequest = "MIDI: the request (--out PORT)";
    const CommandUse oneRecord{
        .fields = {ctl::Channel, ctl::TriBank, ctl::TriProg}, .writes = {kRequest}, .refuses = {kTritonChecks}};
    const CommandUse oneBank{.fields = {ctl::Channel, ctl::TriBank}, .writes = {kRequest}, .refuses = {kTritonChecks}};
    const CommandUse current{.fields = {ctl::Channel}, .writes = {kRequest}, .refuses = {kBadNumber}};
    const Question useNames{"Use these names for Triton to Kronos conversion?",
                            {"yes: the names also go to the conversion's name list in the settings folder",
                             "no: only the report is written"}};
    t.addPage(
        {.title = "Triton"},
        {
            {.control = "TriReq1Prog",
             .caption = "Req 1 Prog",
             .row = 0,
             .column = 0,
             .hint = "Request 1 Program (Using Prog and Bank values)",
             .use = oneRecord,
             .run = Tri_Req_1ProgClick},
            {.control = "TriReq1ProgBank",
             .caption = "Req 1 Prog Bank",
             .row = 0,
             .column = 1,
             .hint = "Request 1 Bank of Programs (using only Bank value)",
             .use = oneBank,
             .run = Tri_Req_1ProgbankClick},
            {.control = "TriReqAllProgInallBanks",
             .caption = "All Prog",
             .row = 0,
             .column = 2,
             .hint = "Request all Banks of Programs",
             .use = oneBank,
             .run = Tri_ReqAllProgBanksClick},
            {.control = "TriReq1Combi",
             .caption = "Req 1 Combi",
             .row = 0,
             .column = 3,
             .hint = "Request one Combi (Using Prog and Bank values)",
             .use = oneRecord,
             .run = Tri_Req_1CombiClick},
            {.control = "TriReq1CombiBank",
             .caption = "Req 1 Combi Bank",
             .row = 0,
             .column = 4,
             .hint = "Request 1 Bank of Combis (using only Bank value)",
             .use = oneBank,
             .run = Tri_Req_1CombiBankClick},
            {.control = "TriReqAllCombiInAllBanks",
             .caption = "All Combi",
             .row = 0,
             .column = 5,
             .hint = "Request all Banks of Combis",
             .use = oneBank,
             .run = Tri_ReqAllCombiBanksClick},
            {.control = "ReqCurProg",
             .caption = "ReqCurProg",
             .row = 1,
             .column = 0,
             .use = current,
             .run = Tri_ReqCurProgClick},
            {.control = "ReqCurCombi",
             .caption = "ReqCurCombi",
             .row = 1,
             .column = 1,
             .use = current,
             .run = Tri_ReqCurCombiClick},
            // The parse of the answer belongs to the conversion, which gives the command its function.
            {.control = "TriParsEfx",
             .caption = "ParsEfx",
             .row = 1,
             .column = 2,
             .use = {.fields = {ctl::Channel, ctl::TriEfxPIDtxt},
                     .reads = {kInOut},
                     .writes = {"TriEfxDebug.bin in the current folder", "log: the effect parameter and its mapping"},
                     .refuses = {kBadNumber, "no answer within 5 s"}}},
            {.control = "TriAllProgText",
             .caption = "AllProgText",
             .row = 1,
             .column = 3,
             .hint = "Convert All Progams Dump to Names Mapping Text",
             .use = {.selection = "the first selected entry: a Triton all-banks Program dump",
                     .asks = {useNames},
                     .writes = {"TriProgNamesList.txt in the current folder (1,536 lines)"},
                     .refuses = {kNoneSelected, "a message of another kind"}},
             .run = Tri_AllProgText},
            {.control = "TriAllCombiText",
             .caption = "AllCombiText",
             .row = 1,
             .column = 4,
             .hint = "Convert All Combis Dump to Names Mapping Text",
             .use = {.selection = "the first selected entry: a Triton all-banks Combination dump",
                     .asks = {useNames},
                     .writes = {"TriCombiNamesList.txt in the current folder (1,536 lines)"},
                     .refuses = {kNoneSelected, "\"Message is not Triton Combi\""}},
             .run = Tri_AllCombiText},
        },
        {
            {.control = ctl::TriProg,
             .caption = "Prog",
             .hint = "Enter Triton Program Number (Decimal)",
             .row = 2,
             .column = 0},
            {.control = ctl::TriBank,
             .caption = "Bank",
             .hint = "Enter Triton Bank Number (Decimal)",
             .row = 2,
             .column = 1},
            {.control = ctl::TriEfxPIDtxt, .caption = "PID", .row = 2, .column = 2},
            {.control = ctl::Tri_Gchan, .caption = "Gchan", .row = 2, .column = 3},
        });
}

// Korg 7-bit packed records behind a header of `offset` bytes, unpacked and
// packed again; a message cut before its last group and end byte is refused.
Bytes repacked(ByteView sx, std::size_t offset, std::size_t length)
{
    const std::size_t needed = offset + KorgPackedSize(length) + 1;
    if (sx.size() < needed) throw TolvexError(format("Message too short: %zu bytes, %zu needed", sx.size(), needed));
    return KorgDatatoSXConvert(sx.first(offset),
                               KorgSXtoDataConvert(sx, static_cast<int>(offset), static_cast<int>(length)));
}

// The dumps the Triton loads and answers: Programs, Combinations (current and
// stored), sequence, all data, global, drum kits and arpeggio patterns.
constexpr std::uint8_t kAnsweredDumps[] = {0x40, 0x48, 0x49, 0x4C, 0x4D, 0x50, 0x51, 0x52, 0x69};

class TritonFamily final : public DeviceFamily {
public:
    std::vector<std::string> fixtures() const override
    {
        return {"tests/fixtures/korg/triton-one-program.syx", "tests/fixtures/korg/triton-factory-combi-bank-a.syx",
                "tests/fixtures/korg/triton-factory-combi-current.syx"};
    }
    std::optional<Bytes> roundTrip(ByteView sx) const override
    {
        if (sx.size() < 8 || sx[0] != 0xF0 || sx[1] != 0x42 || (sx[2] & 0xF0) != 0x30 || sx[3] != 0x50)
            throw TolvexError("not a Triton dump");
        const bool one = (sx[6] & 0x30) == 0x20;
        switch (sx[4]) {
        case 0x49 /* current Combination */: return repacked(sx, 6, 448);
        case 0x4C /* Program dump */: return repacked(sx, 8, one ? 540 : 540 * 128);
        case 0x4D /* Combination dump */: return repacked(sx, 8, one ? 448 : 448 * 128);
        default: throw TolvexError("not a Triton dump");
        }
    }
    std::optional<PatchFamily> patches() const override { return tritonPatchFamily(); }
    std::optional<DumpConfirmation> confirmation(ByteView sx) const override
    {
        return korgDumpConfirmation(sx, {0x50, "Triton", kAnsweredDumps});
    }
    const char* name() const override { return "Korg Triton"; }
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    std::vector<RememberedControl> remembered() const override
    {
        return {{ctl::TriProg, "TriProg", "0"},
                {ctl::TriBank, "TriBank", "0"},
                {ctl::TriEfxPIDtxt, "TriEfxPIDtxt", "0"},
                {ctl::Tri_Gchan, "Tri_Gchan", "1"}};
    }
    void addNamers(Session&, FamilyNamers& namers) const override { namers.add(tritonNamer()); }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeTritonFamily()
{
    return std::make_unique<TritonFamily>();
}

}  // namespace tolvex
