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

void describeUses(CommandTable& t)
{
    using namespace uses;
    // SP.
    t.describe("SPtoFile", {"each selected entry: a Peavey SP directory or object dump",
                            {},
                            {},
                            {},
                            {beside(".txt (directories) or [Type].bin (objects)")},
                            {"a message of another kind"}});
    t.describe("SP_Load_Bank", {"",
                                {ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                                {kInOut},
                                {},
                                {"the SP loads the bank from its disk; log: \"Bank Loaded OK\""},
                                {kBadNumber, "no answer in time"}});
    t.describe(
        "Rd_PV_SP_bank",
        {"", {ctl::Channel}, {kInOut}, {}, {"PV_SP_Preset_Data.txt in the current folder"}, {"no answer in time"}});
    t.describe("SP_Load_All_Banks",
               {"",
                {ctl::Channel, ctl::SP_Bank_Num_edit, ctl::SP_DevID_edit},
                {kInOut},
                {},
                {"PV_SP_Preset_DataN.txt for each bank N from the Bank box on, in the current folder"},
                {"no answer in time"}});
}

class PeaveyFamily final : public DeviceFamily {
public:
    const char* name() const override { return "Peavey SP"; }
    std::vector<std::string> fixtures() const override { return {"tests/fixtures/peavey/sp-objects.syx"}; }
    std::optional<PatchFamily> patches() const override { return peaveyPatchFamily(); }
    void addCommands(CommandTable& t) const override
    {
        t.addPage("SP", 4,
                  {{"SPtoFile", "SP>File"},
                   {"SP_Load_Bank", "SP Load Bank"},
                   {"Rd_PV_SP_bank", "Rd SP bank data"},
                   {"SP_Load_All_Banks", "Read all SP Banks"}},
                  true);
        t.addField({ctl::SP_Bank_Num_edit, "Bank", kMainWindow, false, 0, {}, "Bank number to Load from SP 0-127"});
        t.addField({ctl::SP_DevID_edit, "Dev", kMainWindow, false, 0, {}, "0-6 for SCSI Devs, 7 for Floppy"});
        t.placeField(ctl::SP_Bank_Num_edit, "SP", 1, 0);
        t.placeField(ctl::SP_DevID_edit, "SP", 1, 1);
        registerPeavey(t);
        describeUses(t);
    }
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
