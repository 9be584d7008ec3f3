// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "support/rig.h"

namespace tolvex {
namespace {

// A stopped server closes input and output together: both are logged, one box
// says it, and sends then warn as without a device until a port is chosen again.
TEST(DeviceLost, LoggedEachTimeShownOnceAndSendsWarnAfterwards)
{
    testing::Rig rig;
    rig.devices.closeInput();
    rig.devices.closeOutput();
    MidiDeviceLost(rig.s, "The JACK server has stopped");
    MidiDeviceLost(rig.s, "The JACK server has stopped");
    EXPECT_EQ(rig.s.midi.midiOutput, nullptr);
    ASSERT_EQ(rig.shell.boxes.size(), 1u);
    EXPECT_EQ(rig.shell.boxes[0].title, "MIDI");
    EXPECT_EQ(rig.shell.boxes[0].text, "MIDI device lost: The JACK server has stopped");
    rig.shell.advance(kLostBoxRepeatMs);
    MidiDeviceLost(rig.s, "The JACK server has stopped");  // a later loss is news again
    EXPECT_EQ(rig.shell.boxes.size(), 2u);
    EXPECT_EQ(rig.s.log.count(), 3);

    rig.s.controls.text.set(ctl::SXreqString, "43 10");
    ReqSysexClick(rig.s);
    EXPECT_EQ(rig.shell.boxes.back().text, "MIDI Interface Not Installed");
    rig.devices.openOutput(rig.port);  // the user chooses the port again
    rig.s.midi.midiOutput = rig.devices.output();
    ReqSysexClick(rig.s);
    EXPECT_EQ(rig.s.log.lines().back(), "Sending: F0 43 10 F7 ");
}

// The peer leaves right after its last messages: they are still stored.
TEST(DeviceLost, WhatArrivedBeforeTheLossIsKept)
{
    testing::Rig rig;
    rig.devices.onInput = [] {};  // the main thread has not got to them yet
    rig.receive(Bytes{0xF0, 0x7D, 0x01, 0xF7});
    rig.receive(Bytes{0xF0, 0x7D, 0x02, 0xF7});
    rig.shell.runPosted();
    rig.devices.onInput = [&rig] { MIDIInput1MidiInput(rig.s); };
    rig.bus.lose(rig.port, "The connection to Synth was lost");
    rig.shell.runPosted();
    EXPECT_EQ(rig.s.messages.count(), 2u);
    EXPECT_FALSE(rig.devices.inputOpen());
    EXPECT_EQ(rig.s.log.lines().back(), "MIDI device lost: The connection to Synth was lost");
}

}  // namespace
}  // namespace tolvex
