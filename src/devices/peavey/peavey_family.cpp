// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/session.h"
#include "devices/peavey/peavey_commands.h"
#include "devices/peavey/peavey_naming.h"

namespace tolvex {

PatchFamily peaveyPatchFamily();  // peavey_patches.cpp

namespace {

// The SP page: its commands and boxes with their grid places, what each
// command reads and writes, and its function.
void declareCommands(CommandTable& t)
{
    using namespace uses;
    t.addPage(
        {.title = "SP",
         .legacy = true,
         .extras = {{.kind = PageExtra::StatusLabel, .control = ctl::TimeoutLabel, .row = 1, .column = 2}}},
        {
            {.control = "SPtoFile",
             .caption = "SP>File",
             .row = 0,
             .column = 0,
             .use = {.selection = "each selected entry: a Peavey SP directory or object dump",
                     .writes = {beside(".txt (directories) or [Type].bin (objects)")},
                     .refuses = {"a message of another kind"}},
             .run = PV_SPtoFile},
            {.control = "SP_Load_Bank",
             .caption = "SP Load Bank",
             .row = 0,
             .column = 1,
             .use = {.fields = {ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                     .reads = {kInOut},
                     .writes = {"the SP loads the bank from its disk; log: \"Bank Loaded OK\""},
                     .refuses = {kBadNumber, "no answer in time"}},
             .run = PV_SP_Load_Bank},
            {.control = "Rd_PV_SP_bank",
             .caption = "Rd SP bank data",
             .row = 0,
             .column = 2,
             .use = {.fields = {ctl::Channel},
                     .reads = {kInOut},
                     .writes = {"PV_SP_Preset_Data.txt in the current folder"},
                     .refuses = {"no answer in time"}},
             .run = [](Session& s) { Rd_PV_SP_bank_proc(s, "", -1); }},
            {.control = "SP_Load_All_Banks",
             .caption = "Read all SP Banks",
             .row = 0,
             .column = 3,
             .use = {.fields = {ctl::Channel, ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                     .reads = {kInOut},
                     .writes = {"PV_SP_Preset_DataN.txt for each bank N from the Bank box on, in the current folder"},
                     .refuses = {"no answer in time"}},
             .run = PV_SP_Load_All_Banks},
        },
        {
            {.control = ctl::SP_Bank_Num_edit,
             .caption = "Bank",
             .hint = "Bank number to Load from SP 0-127",
             .row = 1,
             .column = 0},
            {.control = ctl::SP_DevID_edit,
             .caption = "Dev",
             .hint = "0-6 for SCSI Devs, 7 for Floppy",
             .row = 1,
             .column = 1},
        });
}

class PeaveyFamily final : public DeviceFamily {
public:
    const char* name() const override { return "Peavey SP"; }
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/peavey/sp-objects.syx"}; }
    std::optional<PatchFamily> patches() const override { return peaveyPatchFamily(); }
    void addCommands(CommandTable& t) const override { declareCommands(t); }
    std::vector<RememberedControl> remembered() const override
    {
        return {{ctl::SP_Bank_Num_edit, "SP_Bank_Num_edit"}, {ctl::SP_DevID_edit, "SP_DevID_edit"}};
    }
    void addNamers(Session&, FamilyNamers& namers) const override
    {
        namers.add({{0x00, 0x00, 0x1B}, std::nullopt, 0, [](ByteView sx, NameParts& out) {
                        PV_NameMessage(sx, out.name, out.sup);
                    }});
    }
};

}  // namespace

std::unique_ptr<const DeviceFamily> makePeaveyFamily()
{
    return std::make_unique<PeaveyFamily>();
}

}  // namespace tolvex
