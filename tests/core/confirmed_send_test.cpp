// SPDX-License-Identifier: GPL-3.0-or-later
// "Send Selected" with "Wait for the instrument": whole conversations with a
// simulated Korg instrument on the loopback, on the virtual clock.
#include <gtest/gtest.h>

#include "core/app/controls.h"
#include "core/app/librarian.h"
#include "core/sysex/syx_file.h"
#include "devices/devices.h"
#include "support/rig.h"
#include "support/simulated_korg.h"

namespace tolvex {
namespace {

using testing::Rig;
using testing::SimulatedKorg;
using Reply = SimulatedKorg::Reply;

Bytes fixtureMessage(const char* file, std::size_t index)
{
    return readSyxFile(std::string(TOLVEX_FIXTURES_DIR) + file).messages.at(index);
}

// Eight Triton dumps (a Yamaha message and a Korg parameter change between
// the second and third, which no instrument answers) or two Kronos object
// dumps, with the instrument answering 300 ms after each dump.
TEST(WaitForTheInstrument, StopsAtTheFirstErrorOrSilenceAndOtherwiseWaitsOnlyForTheInstrument)
{
    const Bytes triton = fixtureMessage("/korg/triton-one-program.syx", 0);
    const Bytes kronos = fixtureMessage("/kronos/kronos-messages.syx", 0);
    const Bytes yamaha{0xF0, 0x43, 0x10, 0x01, 0x02, 0x03, 0xF7};
    const Bytes korgParameter{0xF0, 0x42, 0x30, 0x50, 0x41, 0x00, 0x00, 0x01, 0x00, 0xF7};
    const struct {
        const char* name;
        bool kronos;
        bool checked;
        std::vector<Reply> replies;
        std::size_t heard;     // messages the instrument heard
        std::int64_t mostMs;   // the send took no longer
        std::int64_t leastMs;  // and no shorter
        std::string box;       // "" for none
    } cases[] = {
        {"all loaded", false, true, {}, 10, 8 * 300 + 200, 8 * 300, ""},
        {"error at the third",
         false,
         true,
         {Reply::Completed, Reply::Completed, Reply::Error},
         5,
         3 * 300 + 100,
         3 * 300,
         "The Triton did not confirm dump 3 of 8 (Program Bank INT-C): it answered DATA LOAD ERROR (NAC)"},
        {"silent at the second",
         false,
         true,
         {Reply::Completed, Reply::Silent},
         2,
         300 + 5000 + 100,
         300 + 5000,
         "The Triton did not confirm dump 2 of 8 (Program Bank INT-B): no answer in 5 s"},
        {"box off: nothing waits", false, false, {Reply::Silent, Reply::Silent}, 10, 100, 0, ""},
        {"Kronos: reply 00 goes on", true, true, {}, 2, 2 * 300 + 100, 2 * 300, ""},
        {"Kronos: an error reply stops",
         true,
         true,
         {Reply::Error},
         1,
         300 + 100,
         300,
         "The Kronos did not confirm dump 1 of 2 (Dump Comb U-A003 v2): it answered Reply target object is "
         "protected"},
    };
    for (const auto& c : cases) {
        Rig rig;
        installDeviceFamilies(rig.s);
        rig.s.operation.LongTimeOutVal = 5;
        rig.s.controls.checked.set(ctl::WaitAck, c.checked);
        SimulatedKorg synth(rig.bus, &rig.shell, rig.port, c.kronos ? 0x68 : 0x50);
        synth.replies = c.replies;
        synth.replyCode = c.kronos;
        synth.delayMs = 300;
        std::vector<Bytes> sent;
        const auto add = [&](const std::string& text, const Bytes& m) {
            rig.s.messages.append(text, m, "");
            sent.push_back(m);
        };
        if (c.kronos) {
            add("Korg Kronos: Dump Comb U-A003 v2", kronos);
            add("Korg Kronos: Dump Comb U-A003 v2", kronos);
        } else {
            for (int i = 0; i < 8; ++i) {
                add("Korg Triton: Program Bank INT-" + std::string(1, static_cast<char>('A' + i)), triton);
                if (i == 1) {
                    add("Yamaha", yamaha);
                    add("Korg Triton: Parm", korgParameter);
                }
            }
        }
        const std::size_t listed = rig.s.messages.count();
        rig.s.messages.selectAll(true);
        Button_sendClick(rig.s);
        const std::vector<Bytes> heard = synth.heard();
        EXPECT_EQ(heard, std::vector<Bytes>(sent.begin(), sent.begin() + static_cast<long>(c.heard))) << c.name;
        EXPECT_LE(rig.shell.nowMs(), c.mostMs) << c.name;
        EXPECT_GE(rig.shell.nowMs(), c.leastMs) << c.name;
        if (c.box.empty()) {
            EXPECT_TRUE(rig.shell.boxes.empty()) << c.name << ": " << rig.shell.boxes.front().text;
        } else {
            ASSERT_EQ(rig.shell.boxes.size(), 1u) << c.name;
            EXPECT_EQ(rig.shell.boxes[0].text, c.box) << c.name;
            EXPECT_EQ(rig.s.log.lines()[rig.s.log.count() - 2], c.box) << c.name;
        }
        // The answers the send waited for never join the list.
        EXPECT_EQ(rig.s.messages.count(), listed) << c.name;
        EXPECT_FALSE(rig.s.operation.CancelVisible) << c.name;
    }
}

// Without an input no answer can come: the send says so and sends nothing;
// Cancel ends a wait at once.
TEST(WaitForTheInstrument, WithoutAnInputRefusesAndCancelEndsTheWait)
{
    const Bytes triton = fixtureMessage("/korg/triton-one-program.syx", 0);
    for (const bool cancel : {false, true}) {
        Rig rig;
        installDeviceFamilies(rig.s);
        rig.s.controls.checked.set(ctl::WaitAck, true);
        SimulatedKorg synth(rig.bus, &rig.shell, rig.port, 0x50);
        synth.replies = {Reply::Silent};
        rig.s.messages.append("Korg Triton: One Program Dump", triton, "");
        rig.s.messages.append("Korg Triton: One Program Dump", triton, "");
        rig.s.messages.selectAll(true);
        if (cancel) {
            rig.shell.startTimer("user", 1000, [&] {
                CancelClick(rig.s);
                rig.shell.stopTimer("user");
            });
        } else {
            rig.devices.closeInput();
        }
        Button_sendClick(rig.s);
        if (cancel) {
            EXPECT_EQ(synth.heard().size(), 1u);
            EXPECT_EQ(rig.s.log.lines().back(), "Sending cancelled after 1 of 2");
            EXPECT_LT(rig.shell.nowMs(), 1100);
            EXPECT_TRUE(rig.shell.boxes.empty());
        } else {
            EXPECT_TRUE(synth.heard().empty());
            ASSERT_EQ(rig.shell.boxes.size(), 1u);
            EXPECT_EQ(rig.shell.boxes[0].text, "Choose a MIDI In port first");
        }
    }
}

}  // namespace
}  // namespace tolvex
