// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/families.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/common/patches.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_params.h"
#include "devices/triton/triton_sysex.h"

namespace tolvex {

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

class TritonFamily final : public DeviceFamily {
public:
    bool provesWhole(ByteView sx) const override { return splitProvesWhole(tritonPatchFamily(), sx); }
    const char* name() const override { return "Korg Triton"; }
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    std::vector<RememberedControl> remembered() const override
    {
        return {{ctl::TriProg, "TriProg", "0"},
                {ctl::TriBank, "TriBank", "0"},
                {ctl::TriEfxPIDtxt, "TriEfxPIDtxt", "0"},
                {ctl::Tri_Gchan, "Tri_Gchan", "1"}};
    }
    void addNamers(Session&, FamilyNamers& namers) const override
    {
        namers.tritonParameter = [](ByteView sx, std::string* shortDesc) { return TriParamParse(sx, shortDesc); };
    }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makeTritonFamily()
{
    return std::make_unique<TritonFamily>();
}

}  // namespace tolvex
