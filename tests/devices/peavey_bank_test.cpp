// SPDX-License-Identifier: GPL-3.0-or-later
// Whole conversations with a simulated Peavey SP on the loopback port, on the
// virtual clock: faulty answers to the bank read, loading banks, and walking a
// range of banks with Cancel (the whole read is run from the command line).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "devices/peavey/peavey_commands.h"
#include "support/rig.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

// A rig with the SP on its port, in a fresh current folder.
struct SpRig {
    SpRig()
    {
        rig.s.controls.text.set(ctl::Channel, "0");
        rig.s.controls.text.set(ctl::SP_Bank_Num_edit, "3");
        rig.s.controls.text.set(ctl::SP_DevID_edit, "1");
    }
    std::vector<std::string> boxes() const
    {
        std::vector<std::string> out;
        for (const RecordedBox& b : rig.shell.boxes) out.push_back(b.title + ": " + b.text);
        return out;
    }
    bool logged(const std::string& line) const
    {
        for (int i = 0; i < rig.s.log.count(); ++i)
            if (rig.s.log.line(i) == line) return true;
        return false;
    }

    TempDir dir;
    InFolder in{dir.str()};
    Rig rig{"SP"};
    SimulatedSP sp{rig.bus, rig.shell, "SP"};
};

TEST(PeaveyBank, AFaultyAnswerEndsTheReadWithoutAReport)
{
    const struct {
        const char* name;
        std::function<void(SimulatedSP&)> setUp;
        std::string box;  // "" for none
        std::int64_t atLeastMs;
    } cases[] = {
        {"wrong object number", [](SimulatedSP& sp) { sp.numberInReply[std::pair(1, 2)] = 5; },
         "Error: Returned object number was 5; expected 2", 0},
        {"3 zones claimed, 2 present",
         [](SimulatedSP& sp) { sp.bank.objects[2][0] = spMap("Piano Map", std::vector<std::uint8_t>(2), 3); },
         "Error: Zones length mismatch: header zones count is 3, length (64) is for 2 zones", 0},
        // A dump of the wrong length adds nothing; the read goes on to the end.
        {"wave of length 60", [](SimulatedSP& sp) { sp.bank.objects[0][1].resize(60); }, "", 0},
        {"silence", [](SimulatedSP& sp) { sp.silent = true; },
         "Error: Timeout waiting for requested sysex message tt 0", 5000},
    };
    for (const auto& c : cases) {
        SpRig r;
        c.setUp(r.sp);
        EXPECT_FALSE(Rd_PV_SP_bank_proc(r.rig.s, "", -1)) << c.name;
        EXPECT_EQ(r.boxes(), c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box}) << c.name;
        EXPECT_TRUE(r.logged("Error processing data: ")) << c.name;
        EXPECT_FALSE(std::filesystem::exists(r.dir.file("PV_SP_Preset_Data.txt"))) << c.name;
        EXPECT_GE(r.rig.shell.nowMs(), c.atLeastMs) << c.name;
        EXPECT_NE(r.sp.heard().back(), PV_BankNameRequest(0x7F)) << c.name;
    }
}

// The SP's answers to a load are those of the loads of a whole range, below;
// one it does not answer ends the load with a box once the time-out has run out.
TEST(PeaveyBank, AnUnansweredLoadCountsDownToItsBox)
{
    SpRig r;
    r.sp.silentBanks = {3};
    r.rig.s.operation.LongTimeOutVal = 3;
    r.rig.s.controls.text.set(ctl::SP_DevID_edit, "0");
    PV_SP_Load_Bank(r.rig.s);
    EXPECT_EQ(r.boxes(), std::vector<std::string>{"Error: Timeout waiting for requested sysex message"});
    EXPECT_TRUE(r.logged("Sending request to load bank 3 on device 0"));
    EXPECT_EQ(r.sp.heard(), std::vector<Bytes>{PV_LoadBankRequest(0x7F, 0, 3)});
    EXPECT_GE(r.rig.shell.nowMs(), 3000);
}

// A field out of its range, or no MIDI input, stops a load before it sends anything.
TEST(PeaveyBank, LoadsCheckTheirFieldsFirst)
{
    const struct {
        void (*command)(Session&);
        const char* field;  // nullptr: no MIDI input
        const char* value;
        std::string box;
    } cases[] = {
        {PV_SP_Load_Bank, ctl::SP_Bank_Num_edit, "128", "Error: You must specify a valid number for the bank (0-127)."},
        {PV_SP_Load_Bank, ctl::SP_DevID_edit, "8",
         "Error: You must specify a valid number for the device number (0-7)."},
        {PV_SP_Load_Bank, nullptr, "", "Warning: Choose a MIDI In port first"},
        {PV_SP_Load_All_Banks, ctl::SP_Bank_Num_edit, "256",
         "Error: You must specify a valid number for the bank (0-255)."},
        {PV_SP_Load_All_Banks, ctl::Channel, "x", "Error: You must specify a valid number for the Channel."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box + " " + c.value);
        SpRig r;
        if (c.field)
            r.rig.s.controls.text.set(c.field, c.value);
        else
            r.rig.s.midi.MIDI_In_Present = false;
        c.command(r.rig.s);
        EXPECT_EQ(r.boxes(), std::vector<std::string>{c.box});
        EXPECT_TRUE(r.sp.heard().empty());
        EXPECT_FALSE(r.rig.s.operation.CancelVisible);
    }
}

// No answer gives a box and no name; a name shorter than its field ends at the F7.
TEST(PeaveyBank, BankNameIsTakenOnlyFromBytesBeforeTheF7)
{
    Rig rig("SP");
    EXPECT_EQ(PV_Get_Bank_Name(rig.s, 0x7F), "");
    ASSERT_EQ(rig.shell.boxes.size(), 1u);
    EXPECT_EQ(rig.shell.boxes[0].text, "Timeout waiting for requested bank name sysex message");
    rig.synth().on(PV_BankNameRequest(0x7F),
                   {Bytes{0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05, 0x00, 0x11, 0x02, 0x0F, 0x01, 'A', 'B', 0xF7}});
    EXPECT_EQ(PV_Get_Bank_Name(rig.s, 0x7F), "AB");
    EXPECT_EQ(rig.shell.boxes.size(), 1u);
}

std::vector<int> loadsIn(const std::vector<Bytes>& heard)
{
    std::vector<int> banks;
    for (const Bytes& m : heard)
        if (m.size() == 20 && m[7] == 0x30) banks.push_back(m[15] << 12 | m[16] << 8 | m[17] << 4 | m[18]);
    return banks;
}

TEST(PeaveyBank, ReadAllWalksUpToBank255UntilCancel)
{
    {
        // A load that times out reads nothing; the run ends after bank 255 with Cancel hidden.
        SpRig r;
        r.sp.silentBanks = {255};
        r.rig.s.operation.LongTimeOutVal = 2;
        r.rig.s.controls.text.set(ctl::SP_Bank_Num_edit, "254");
        bool offered = false;
        r.rig.s.addListener(
            [&](const std::string& name) { offered |= name == ctl::Cancel && r.rig.s.operation.CancelVisible; });
        PV_SP_Load_All_Banks(r.rig.s);
        EXPECT_EQ(loadsIn(r.sp.heard()), (std::vector<int>{254, 255}));
        EXPECT_TRUE(r.boxes().empty());
        EXPECT_EQ(r.dir.read("PV_SP_Preset_Data254.txt").substr(0, 26), "Bank: 254 \"Disk Bank 254 \"");
        EXPECT_FALSE(std::filesystem::exists(r.dir.file("PV_SP_Preset_Data255.txt")));
        EXPECT_TRUE(r.logged("Loaded bank 254 from device 1"));
        EXPECT_TRUE(offered);
        EXPECT_FALSE(r.rig.s.operation.CancelVisible);
    }
    {
        // A click left from before the run does not end it; one during a load ends it after that load.
        SpRig r;
        for (int b = 250; b <= 255; ++b) r.sp.refusedBanks.insert(b);
        r.rig.s.controls.text.set(ctl::SP_Bank_Num_edit, "250");
        r.rig.s.operation.CancelState = true;
        r.rig.shell.startTimer("click", 3750, [&] {
            r.rig.shell.stopTimer("click");
            CancelClick(r.rig.s);
        });
        PV_SP_Load_All_Banks(r.rig.s);
        EXPECT_EQ(loadsIn(r.sp.heard()), (std::vector<int>{250, 251, 252}));
        EXPECT_TRUE(r.logged("Error Loading Bank"));
        EXPECT_FALSE(r.rig.s.operation.CancelVisible);
        EXPECT_FALSE(r.rig.s.operation.CancelState);
    }
}

}  // namespace
}  // namespace tolvex
