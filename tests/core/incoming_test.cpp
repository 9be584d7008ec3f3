// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/incoming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/app/controls.h"
#include "core/app/librarian.h"
#include "devices/devices.h"
#include "midi/midi_test_util.h"
#include "support/rig.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::Rig;
using testing::sysex;

TEST(Incoming, LongDumpCountsEventsLightsTheLampAndIsStored)
{
    Rig rig;
    std::vector<std::string> counts;
    rig.s.addListener([&](const std::string& n) {
        if (n == ctl::MidEventCountLabel) counts.push_back(rig.s.controls.text.get(ctl::MidEventCountLabel));
    });
    const Bytes dump = sysex(40000, 1);
    rig.receive(dump);
    rig.shell.runPosted();
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) expected.push_back(format("%2.2d events", i));
    expected.push_back("");
    EXPECT_EQ(counts, expected);
    ASSERT_EQ(rig.s.messages.count(), 1u);
    EXPECT_EQ(rig.s.messages.storageAt(0).sxdata, dump);
    EXPECT_EQ(rig.s.controls.text.get(ctl::Label_nbytes), "40000 bytes in buffer");
    EXPECT_TRUE(rig.s.operation.MidiInBusy);
    // The last buffer holds 40000 - 9 * 4096 = 3136 bytes: 3136 * 1000 / 3125 + 10 ms.
    rig.shell.advance(1012);
    EXPECT_TRUE(rig.s.operation.MidiInBusy);
    rig.shell.advance(1);
    EXPECT_FALSE(rig.s.operation.MidiInBusy);
    MidEventCountLabelClick(rig.s);
    EXPECT_EQ(rig.s.midi.NumMIDIevents, 0);
    EXPECT_EQ(rig.s.controls.text.get(ctl::MidEventCountLabel), "00 ");
}

TEST(Incoming, TwoMessagesInOneBufferSelectTheNewestAndPostProcessOnce)
{
    Rig rig;
    int postProcessed = 0;
    rig.s.operation.postProcessTasks["TriParseEfx"] = [&](Session&, std::int32_t) { ++postProcessed; };
    SetPostProcess(rig.s, "TriParseEfx", 1);
    rig.s.messages.append("old", Bytes{0xF0, 0xF7}, "");
    rig.s.messages.setSelected(0, true);
    const Bytes first = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    const Bytes second = {0xF0, 0x43, 0x00, 0x09, 0x20, 0x00, 0x01, 0xF7};
    // One buffer of the driver holding both: the first is stored as well.
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    rig.receive(both);
    rig.shell.runPosted();
    ASSERT_EQ(rig.s.messages.count(), 3u);
    EXPECT_EQ(rig.s.messages.selectedIndexes(), std::vector<std::size_t>{2});
    EXPECT_EQ(postProcessed, 1);
    EXPECT_FALSE(rig.s.operation.PendingPostProcess);
    EXPECT_EQ(rig.s.controls.text.get(ctl::SXrecvString), "F0 43 00 09 20 00 01 F7 ");
    // The entry text is name + " " + supplement; the file name is the cleaned name.
    EXPECT_EQ(rig.s.messages.textAt(1),
              "Universal Sysex Non Realtime (ch 00) - General Information : Identity Request ");
    EXPECT_EQ(rig.s.messages.storageAt(1).filename,
              "Universal Sysex Non Realtime (ch 00) - General Information  Identity Request");
}

TEST(Incoming, FilteredKronosFunction7FIsNeitherLoggedNorStored)
{
    Rig rig;
    installDeviceFamilies(rig.s);  // the Kronos family's naming drops what the filter takes
    rig.s.controls.checked.set(ctl::Filter7F, true);
    rig.receive(Bytes{0xF0, 0x42, 0x30, 0x68, 0x7F, 0x01, 0x02, 0xF7});
    rig.shell.runPosted();
    EXPECT_EQ(rig.s.messages.count(), 0u);
    EXPECT_EQ(rig.s.midi.NumMIDIevents, 1);
    EXPECT_TRUE(rig.s.operation.MidiInBusy);
    EXPECT_EQ(rig.s.controls.text.get(ctl::Label_nbytes), "");
}

TEST(Incoming, DroppedEventsAreReportedInTheLog)
{
    Rig rig;
    // An input whose ceiling holds 64 bytes of SysEx, sent more before the main
    // thread gets to them: what fits arrives whole, the rest is counted.
    TMidiInput& input = rig.devices.input();
    input.Close();
    input.SetSysexCeiling(64);
    ASSERT_TRUE(input.Open());
    input.Start();
    for (int i = 0; i < 10; ++i) rig.receive(sysex(10, static_cast<std::uint8_t>(i)));
    rig.shell.runPosted();
    EXPECT_EQ(rig.s.messages.count(), 6u);
    EXPECT_EQ(rig.s.midi.overflowDrops, 4u);
    const auto& lines = rig.s.log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MIDI input overflow: 4 event(s) dropped"), lines.end());
}

// A period the server skipped, or a queue the sequencer threw away: said at
// most once a second. Only the thrown-away queue is a certain loss.
TEST(Incoming, LossesBetweenMessagesAreCountedAndSaidOnceASecond)
{
    struct Case {
        void (MidiLoopback::*lose)(const std::string&);
        const char* prefix;
        const char* twice;
        std::uint64_t lost;
    } cases[] = {
        {&MidiLoopback::missPeriod, "MIDI may be damaged: the audio server skipped",
         "MIDI may be damaged: the audio server skipped 2 period(s) while MIDI was arriving", 0},
        {&MidiLoopback::overrun, "MIDI data lost: the sequencer dropped",
         "MIDI data lost: the sequencer dropped incoming events 2 time(s)", 3},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.receive(sysex(10, 1));
        (rig.bus.*c.lose)(rig.port);
        (rig.bus.*c.lose)(rig.port);
        rig.shell.runPosted();
        (rig.bus.*c.lose)(rig.port);
        rig.shell.runPosted();
        EXPECT_EQ(rig.s.midi.midiDataLost, c.lost) << c.prefix;
        const auto said = [&] {
            return std::count_if(rig.s.log.lines().begin(), rig.s.log.lines().end(),
                                 [&](const std::string& l) { return l.rfind(c.prefix, 0) == 0; });
        };
        EXPECT_EQ(said(), 1) << c.prefix;
        EXPECT_EQ(rig.s.log.lines().back(), c.twice);
        rig.shell.advance(1000);  // the third is said when the second is over
        EXPECT_EQ(said(), 2) << c.prefix;
        (rig.bus.*c.lose)(rig.port);
        rig.shell.runPosted();
        EXPECT_EQ(said(), 2) << c.prefix;
        EXPECT_EQ(rig.s.messages.count(), 1u) << c.prefix;
    }
}

// A message the server skipped a period of is kept, marked and said, unless it
// proves itself whole; one whose data went missing for certain is not kept.
TEST(Incoming, AMessageArrivingWhileAPeriodWasSkippedIsKeptMarkedUnlessItProvesItself)
{
    const auto file = [](const char* name) {
        std::ifstream in(testing::fixture(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    };
    Bytes badVoice = file("yamaha/dx7-single-voice-keybd01.syx");
    badVoice[badVoice.size() - 2] ^= 0x01;  // its checksum no longer holds
    const Bytes triton = file("korg/triton-one-program.syx");
    Bytes tritonShort = triton;
    tritonShort.erase(tritonShort.end() - 3, tritonShort.end() - 1);  // two data bytes missing
    struct Case {
        const char* what;
        Bytes message;
        void (MidiLoopback::*happen)(const std::string&);
        std::size_t kept;
        std::uint8_t doubt;
    } cases[] = {
        {"no checksum", sysex(9000, 4), &MidiLoopback::missPeriod, 1, kDoubtLatePeriod},
        {"Yamaha checksum holds", file("yamaha/dx7-rom1a.syx"), &MidiLoopback::missPeriod, 1, 0},
        {"Yamaha checksum wrong", badVoice, &MidiLoopback::missPeriod, 1, kDoubtLatePeriod},
        {"Korg dump of its exact length", triton, &MidiLoopback::missPeriod, 1, 0},
        {"Korg dump two bytes short", tritonShort, &MidiLoopback::missPeriod, 1, kDoubtLatePeriod},
        {"the queue thrown away", sysex(9000, 4), &MidiLoopback::overrun, 0, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        for (auto& f : makeDeviceFamilies()) rig.s.families.add(std::move(f));
        const ByteView m(c.message);
        rig.receive(m.first(m.size() / 2));
        (rig.bus.*c.happen)(rig.port);
        rig.receive(m.subspan(m.size() / 2));
        rig.shell.runPosted();
        ASSERT_EQ(rig.s.messages.count(), c.kept) << c.what;
        if (c.kept == 0) continue;
        EXPECT_EQ(rig.s.messages.storageAt(0).sxdata, c.message) << c.what;
        EXPECT_EQ(rig.s.messages.storageAt(0).doubt, c.doubt) << c.what;
        const auto& lines = rig.s.log.lines();
        const bool said = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("Message 1 (", 0) == 0 &&
                   l.ends_with(") arrived while the audio server skipped a period; it may be damaged");
        });
        EXPECT_EQ(said, c.doubt != 0) << c.what;
    }
}

// A stopped server closes input and output together: both are logged, one box
// says it, and sends then warn as without a device until a port is chosen again
// (the command line's tests send without any device).
TEST(DeviceLost, LoggedEachTimeShownOnceAndSendsWarnAfterwards)
{
    Rig rig;
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

    // A port listed but no longer open: a send warns and logs nothing.
    rig.s.messages.append("m", Bytes{0xF0, 0x01, 0xF7}, "");
    rig.s.messages.selectAll(true);
    Button_sendClick(rig.s);
    EXPECT_EQ(rig.shell.boxes.back().text, "Choose a MIDI Out port first");
    EXPECT_EQ(rig.s.log.count(), 3);
    rig.s.controls.text.set(ctl::SXreqString, "43 10");
    rig.devices.openOutput(rig.port);  // the user chooses the port again
    rig.s.midi.midiOutput = rig.devices.output();
    ReqSysexClick(rig.s);
    EXPECT_EQ(rig.s.log.lines().back(), "Sending: F0 43 10 F7 ");
}

}  // namespace
}  // namespace tolvex
