// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/common/korg_packing.h"
#include "devices/common/korg_confirmation.h"
#include "devices/common/patches.h"
#include "devices/triton/triton_naming.h"
#include "devices/triton/triton_params.h"
#include "devices/triton/triton_sysex.h"

namespace tolvex {

PatchFamily tritonPatchFamily();  // triton_patches.cpp

namespace {

void describeUses(CommandTable& t)
{
    using namespace uses;
    // Triton.
    const char* const kTritonChecks = "a channel outside 0-15, a bank outside 0-11, a program outside 0-127: its box";
    for (const char* control : {"TriReq1Prog", "TriReq1Combi"})
        t.describe(control, {"",
                             {ctl::Channel, ctl::TriBank, ctl::TriProg},
                             {},
                             {},
                             {"MIDI: the request (--out PORT)"},
                             {kTritonChecks}});
    for (const char* control :
         {"TriReq1ProgBank", "TriReqAllProgInallBanks", "TriReq1CombiBank", "TriReqAllCombiInAllBanks"})
        t.describe(control,
                   {"", {ctl::Channel, ctl::TriBank}, {}, {}, {"MIDI: the request (--out PORT)"}, {kTritonChecks}});
    for (const char* control : {"ReqCurProg", "ReqCurCombi"})
        t.describe(control, {"", {ctl::Channel}, {}, {}, {"MIDI: the request (--out PORT)"}, {kBadNumber}});
    t.describe("TriParsEfx", {"",
                              {ctl::Channel, ctl::TriEfxPIDtxt},
                              {kInOut},
                              {},
                              {"TriEfxDebug.bin in the current folder", "log: the effect parameter and its mapping"},
                              {kBadNumber, "no answer within 5 s"}});
    const Question useNames{"Use these names for Triton to Kronos conversion?",
                            {"yes: the names also go to the conversion's name list in the settings folder",
                             "no: only the report is written"}};
    t.describe("TriAllProgText", {"the first selected entry: a Triton all-banks Program dump",
                                  {},
                                  {},
                                  {useNames},
                                  {"TriProgNamesList.txt in the current folder (1,536 lines)"},
                                  {kNoneSelected, "a message of another kind"}});
    t.describe("TriAllCombiText",
               {"the first selected entry: a Triton all-banks Combination dump",
                {},
                {},
                {useNames},
                {"TriCombiNamesList.txt in the current folder (1,536 lines)"},
                {kNoneSelected, "\"Message is not Triton Combi\""}});
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
    void addCommands(CommandTable& t) const override
    {
        t.addPage("Triton", 6,
                  {{"TriReq1Prog", "Req 1 Prog"},
                   {"TriReq1ProgBank", "Req 1 Prog Bank"},
                   {"TriReqAllProgInallBanks", "All Prog"},
                   {"TriReq1Combi", "Req 1 Combi"},
                   {"TriReq1CombiBank", "Req 1 Combi Bank"},
                   {"TriReqAllCombiInAllBanks", "All Combi"},
                   {"ReqCurProg", "ReqCurProg"},
                   {"ReqCurCombi", "ReqCurCombi"},
                   {"TriParsEfx", "ParsEfx"},
                   {"TriAllProgText", "AllProgText"},
                   {"TriAllCombiText", "AllCombiText"}});
        t.addField({ctl::TriProg, "Prog", kMainWindow, false, 0, {}, "Enter Triton Program Number (Decimal)"});
        t.addField({ctl::TriBank, "Bank", kMainWindow, false, 0, {}, "Enter Triton Bank Number (Decimal)"});
        t.addField({ctl::TriEfxPIDtxt, "PID", kMainWindow, false, 0, {}, ""});
        t.addField({ctl::Tri_Gchan, "Gchan", kMainWindow, false, 0, {}, ""});
        for (int column = 0; const char* box : {ctl::TriProg, ctl::TriBank, ctl::TriEfxPIDtxt, ctl::Tri_Gchan})
            t.placeField(box, "Triton", 2, column++);
        registerTriton(t);
        describeUses(t);
    }
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
