#include <gtest/gtest.h>

#include "core/session.h"
#include "midi/loopback.h"
#include "midi/midi_output.h"
#include "midi/port_devices.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;
using testing::sysex;

// An output on the loopback with a device attached that records what it hears.
struct Rig {
    Rig()
    {
        bus.attach("Loopback", [this](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
        EXPECT_TRUE(out.Open()) << out.OpenError();
        session.midiOutput = &out;
        session.MIDI_Out_Present = true;
    }
    ScriptedShell shell;
    MidiLoopback bus;
    TMidiOutput out{shell, bus.makeOutput()};
    Session session{shell};
    std::vector<Bytes> heard;
};

std::string errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EmidioutputError& e) {
        return e.what();
    }
    return "";
}

TEST(MidiOutput, LongMessageKeepsTheOutputBusyUntilDoneReachesTheMainThread)
{
    Rig rig;
    int doneCalls = 0;
    rig.out.OnMidiOutput = [&](TMidiOutput&) { ++doneCalls; };
    rig.out.PutLong(sysex(100));
    EXPECT_TRUE(rig.out.MidiOutBusy());
    rig.out.PutShort(0xC3, 0x05, 0);  // a short message neither waits nor finishes the long one
    EXPECT_TRUE(rig.out.MidiOutBusy());
    rig.shell.ProcessMessages();
    EXPECT_FALSE(rig.out.MidiOutBusy());
    EXPECT_EQ(doneCalls, 1);
    rig.out.PutLong({});  // nothing to send: not busy
    EXPECT_FALSE(rig.out.MidiOutBusy());
    EXPECT_EQ(rig.heard, (std::vector<Bytes>{sysex(100), {0xC3, 0x05}}));
}

TEST(MidiOutput, ShortMessagesCarryTheBytesTheirStatusTakes)
{
    const struct {
        std::uint8_t status, d1, d2;
        Bytes sent;  // empty: refused
    } cases[] = {
        {0xC3, 0x05, 0x00, {0xC3, 0x05}},  // program change 5 on channel 4
        {0x90, 0x3C, 0x64, {0x90, 0x3C, 0x64}},
        {0xE0, 0x00, 0x40, {0xE0, 0x00, 0x40}},
        {0xD2, 0x10, 0x7F, {0xD2, 0x10}},
        {0xF2, 0x01, 0x02, {0xF2, 0x01, 0x02}},
        {0xF3, 0x04, 0x7F, {0xF3, 0x04}},
        {0xFC, 0x01, 0x02, {0xFC}},
        {0x40, 0x01, 0x02, {}},
        {0xF0, 0x01, 0x02, {}},
    };
    for (const auto& c : cases) {
        Rig rig;
        const std::string error = errorText([&] { rig.out.PutShort(c.status, c.d1, c.d2); });
        if (c.sent.empty()) {
            EXPECT_FALSE(error.empty()) << int(c.status);
            EXPECT_TRUE(rig.heard.empty()) << int(c.status);
        } else {
            EXPECT_EQ(error, "") << int(c.status);
            EXPECT_EQ(rig.heard, std::vector<Bytes>{c.sent}) << int(c.status);
        }
    }
}

TEST(MidiOutput, SelectionErrorsAndClosedDevice)
{
    ScriptedShell shell;
    MidiLoopback bus({"A", "B"});
    TMidiOutput out(shell, bus.makeOutput());
    EXPECT_EQ(errorText([&] { out.SetProductName("XYZ"); }), "MIDI output Device XYZ not installed");
    EXPECT_EQ(errorText([&] { out.SetDeviceID(-1); }), "Invalid device ID");
    EXPECT_EQ(errorText([&] { out.SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(errorText([&] { out.PutMidiEvent(TMyMidiEvent{0xC0, 1, 0, 0, {}}); }), "MIDI Output device not open");
    EXPECT_EQ(errorText([&] { out.PutLong(sysex(10)); }), "MIDI Output device not open");
    EXPECT_FALSE(out.Close());

    out.SetProductName("B");
    ASSERT_TRUE(out.Open());
    EXPECT_EQ(errorText([&] { out.SetDeviceID(0); }), "Change to DeviceID while device was open");
    EXPECT_EQ(errorText([&] { out.SetProductName("A"); }), "Change to ProductName while device was open");
    EXPECT_EQ(out.ProductName(), "B");
    EXPECT_EQ(out.DeviceID(), 1);
    EXPECT_TRUE(out.Close());
}

TEST(MidiOutput, BulkOutSendsEveryMessageOrSaysWhyNot)
{
    // Several messages in a row: each waits for the one before and all arrive.
    {
        Rig rig;
        for (std::uint8_t i = 0; i < 5; ++i) EXPECT_TRUE(rig.session.SX_Object.MidiSysex_bulk_out(sysex(50, i)));
        ASSERT_EQ(rig.heard.size(), 5u);
        for (std::uint8_t i = 0; i < 5; ++i) EXPECT_EQ(rig.heard[i], sysex(50, i));
        EXPECT_TRUE(rig.shell.boxes.empty());
    }
    // An output that never finishes: the next message is refused with a box after 2 s.
    {
        Rig rig;
        rig.bus.holdDone(true);
        EXPECT_TRUE(rig.session.SX_Object.MidiSysex_bulk_out(sysex(50, 1)));
        const auto start = rig.shell.nowMs();
        EXPECT_FALSE(rig.session.SX_Object.MidiSysex_bulk_out(sysex(50, 2)));
        EXPECT_GE(rig.shell.nowMs() - start, TSXobject::kBusyWaitMs);
        ASSERT_EQ(rig.shell.boxes.size(), 1u);
        EXPECT_EQ(rig.shell.boxes[0].title, "MIDI Out Error");
        EXPECT_EQ(rig.shell.boxes[0].text, "MIDI output busy - message not sent");
        EXPECT_EQ(rig.heard.size(), 1u);
        rig.bus.releaseDone();
        EXPECT_TRUE(rig.session.SX_Object.MidiSysex_bulk_out(sysex(50, 3)));
        EXPECT_EQ(rig.heard.size(), 2u);
    }
}

// The window's device pair over the loopback: one port looped from output to input.
TEST(PortDevices, OpensByNameStartsTheInputAndReportsDropsOnce)
{
    ScriptedShell shell;
    MidiLoopback bus;
    PortDevices devices(shell, bus.makeInput(), bus.makeOutput());
    EXPECT_EQ(devices.inputNames(), std::vector<std::string>{"Loopback"});
    int inputs = 0, overflows = 0;
    devices.onInput = [&] { ++inputs; };
    devices.onOverflow = [&] { ++overflows; };

    EXPECT_THROW(devices.openInput("XYZ", true), TolvexError);
    devices.openInput("Loopback", true);
    devices.openOutput("Loopback");
    ASSERT_NE(devices.output(), nullptr);
    devices.output()->PutLong(sysex(PortDevices::kSysexBufferSize * 2 + 1));
    devices.output()->PutShort(0x90, 1, 1);  // dropped: SysEx only
    shell.ProcessMessages();
    EXPECT_EQ(inputs, 1);
    int events = 0;
    while (devices.GetMidiEvent()) ++events;
    EXPECT_EQ(events, 3);

    // Larger than every buffer together: dropped, counted and reported once.
    devices.output()->PutLong(sysex(PortDevices::kSysexBufferSize * PortDevices::kSysexBufferCount + 1));
    shell.ProcessMessages();
    EXPECT_EQ(overflows, 1);
    EXPECT_EQ(devices.takeOverflowDrops(), PortDevices::kSysexBufferCount + 1u);
    EXPECT_EQ(devices.takeOverflowDrops(), 0u);
    devices.closeInput();
    devices.closeOutput();
    EXPECT_EQ(devices.output(), nullptr);
}

}  // namespace
}  // namespace tolvex
