#include <gtest/gtest.h>

#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;
using testing::sysex;

std::string errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TolvexError& e) {
        return e.what();
    }
    return "";
}

// An output on the loopback with a device attached that records what it hears.
struct Rig {
    Rig()
    {
        bus.attach("Loopback", [this](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
        EXPECT_TRUE(out.Open()) << out.OpenError();
    }
    ScriptedShell shell;
    MidiLoopback bus;
    TMidiOutput out{shell, bus.makeOutput()};
    std::vector<Bytes> heard;
};

TEST(MidiOutput, LongMessageKeepsTheOutputBusyUntilDoneReachesTheMainThread)
{
    Rig rig;
    int doneCalls = 0;
    rig.out.OnMidiOutput = [&](TMidiOutput&) { ++doneCalls; };
    rig.bus.holdDone(true);
    rig.out.PutLong(sysex(100));
    rig.out.PutShort(0xC3, 0x05, 0);  // a short message neither waits nor finishes the long one
    rig.shell.ProcessMessages();
    EXPECT_TRUE(rig.out.MidiOutBusy());
    rig.bus.releaseDone();
    EXPECT_TRUE(rig.out.MidiOutBusy());  // done, but not yet seen by the main thread
    rig.shell.ProcessMessages();
    EXPECT_FALSE(rig.out.MidiOutBusy());
    EXPECT_EQ(doneCalls, 1);
    rig.out.PutLong({});  // nothing to send: not busy
    EXPECT_FALSE(rig.out.MidiOutBusy());
    EXPECT_EQ(rig.heard, (std::vector<Bytes>{sysex(100), {0xC3, 0x05}}));
}

TEST(MidiOutput, ShortMessagesCarryTheBytesTheirStatusTakes)
{
    Rig rig;
    int refused = 0;
    for (std::uint8_t status : {0xC3, 0x90, 0xD2, 0xE0, 0xF2, 0xF3, 0xFC, 0x40, 0xF0})
        refused += !errorText([&] { rig.out.PutShort(status, 1, 2); }).empty();
    // Program change, channel pressure and song select take one data byte, real-time messages none.
    EXPECT_EQ(rig.heard,
              (std::vector<Bytes>{{0xC3, 1}, {0x90, 1, 2}, {0xD2, 1}, {0xE0, 1, 2}, {0xF2, 1, 2}, {0xF3, 1}, {0xFC}}));
    EXPECT_EQ(refused, 2);  // 40 is no status byte, F0 starts a SysEx message
}

TEST(MidiDevices, SelectionErrorsAndClosedDevices)
{
    ScriptedShell shell;
    MidiLoopback bus({"A", "B"});
    TMidiInput in(shell, bus.makeInput());
    TMidiOutput out(shell, bus.makeOutput());
    EXPECT_EQ(errorText([&] { in.SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(errorText([&] { in.SetProductName("XYZ"); }), "MIDI Input Device XYZ not installed ");
    EXPECT_EQ(errorText([&] { out.SetDeviceID(-1); }), "Invalid device ID");
    EXPECT_EQ(errorText([&] { out.SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(errorText([&] { out.SetProductName("XYZ"); }), "MIDI output Device XYZ not installed");
    EXPECT_EQ(errorText([&] { out.PutLong(sysex(10)); }), "MIDI Output device not open");

    in.SetProductName("B");
    out.SetProductName("B");
    ASSERT_TRUE(in.Open() && out.Open());
    EXPECT_EQ(errorText([&] { in.SetDeviceID(0); }), "Change to DeviceID while device was open");
    EXPECT_EQ(errorText([&] { in.SetProductName("A"); }), "Change to ProductName while device was open");
    EXPECT_EQ(errorText([&] { in.SetSysexBufferSize(256); }), "Change to SysexBufferSize while device was open");
    EXPECT_EQ(errorText([&] { in.SetSysexBufferCount(4); }), "Change to SysexBuffercount while device was open");
    EXPECT_EQ(errorText([&] { out.SetDeviceID(0); }), "Change to DeviceID while device was open");
    EXPECT_EQ(errorText([&] { out.SetProductName("A"); }), "Change to ProductName while device was open");
    EXPECT_EQ(in.ProductName() + out.ProductName(), "BB");

    // A port that cannot be opened leaves the device closed with the back-end's text.
    TMidiInput second(shell, bus.makeInput());
    second.SetProductName("B");
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.OpenError(), "Loopback port B is already open");
    EXPECT_EQ(second.State(), misClosed);
}

// The window's device pair, looped from output to input on one port.
TEST(PortDevices, OpenInputStartsItSysexOnlyAndDropsAreReportedOnce)
{
    ScriptedShell shell;
    MidiLoopback bus;
    PortDevices devices(shell, bus.makeInput(), bus.makeOutput());
    devices.openInput("Loopback", true);
    devices.openOutput("Loopback");
    devices.output()->PutShort(0x90, 1, 1);  // dropped: SysEx only
    // Larger than every buffer together: dropped and counted.
    devices.output()->PutLong(sysex(PortDevices::kSysexBufferSize * PortDevices::kSysexBufferCount + 1));
    devices.output()->PutLong(sysex(10));
    shell.ProcessMessages();
    EXPECT_EQ(devices.GetMidiEvent().value_or(TMyMidiEvent{}).Sysex, sysex(10));
    EXPECT_FALSE(devices.GetMidiEvent());
    EXPECT_EQ(devices.takeOverflowDrops(), PortDevices::kSysexBufferCount + 1u);
    EXPECT_EQ(devices.takeOverflowDrops(), 0u);
}

}  // namespace
}  // namespace tolvex
