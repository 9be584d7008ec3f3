// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::errorOf;
using testing::ScriptedShell;
using testing::sysex;

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
        refused += !errorOf([&] { rig.out.PutShort(status, 1, 2); }).empty();
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
    EXPECT_EQ(errorOf([&] { in.SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(errorOf([&] { in.SetProductName("XYZ"); }), "MIDI Input Device XYZ not installed ");
    EXPECT_EQ(errorOf([&] { out.PutLong(sysex(10)); }), "MIDI Output device not open");

    in.SetProductName("B");
    out.SetProductName("B");
    ASSERT_TRUE(in.Open() && out.Open());
    EXPECT_EQ(errorOf([&] { in.SetDeviceID(0); }), "Change to DeviceID while device was open");
    EXPECT_EQ(errorOf([&] { out.SetProductName("A"); }), "Change to ProductName while device was open");

    // A port that cannot be opened leaves the device closed with the back-end's text.
    TMidiInput second(shell, bus.makeInput());
    second.SetProductName("B");
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.OpenError(), "Loopback port B is already open");
    EXPECT_EQ(second.State(), misClosed);
}

// The input holds 10 s of its port's fastest traffic, and never less than one 16 MiB message.
TEST(PortDevices, InputRoomFollowsThePortsSpeed)
{
    const struct {
        double bytesPerSecond;
        std::size_t ceiling;
        std::uint32_t capacity;
    } cases[] = {
        {3125, PortDevices::kMinSysexCeiling, PortDevices::kMinCapacity},
        {32768 * 187.5, 61440000, 5120000},  // JACK at 48 kHz, 256 frames a period
        {1e12, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortDevices::sysexCeilingFor(c.bytesPerSecond), c.ceiling) << c.bytesPerSecond;
        EXPECT_EQ(PortDevices::capacityFor(c.bytesPerSecond), c.capacity) << c.bytesPerSecond;
    }
}

// A lost port is told on the main thread, once, with the device closed.
TEST(PortDevices, LostPortsAndFailedSendsCloseTheDeviceAndSayWhy)
{
    const struct {
        const char* name;
        std::function<void(MidiLoopback&, PortDevices&)> fault;
        std::vector<std::string> reasons;
        bool inputOpen;
    } cases[] = {
        {"server gone",
         [](MidiLoopback& bus, PortDevices&) { bus.lose("Loopback", "The server has stopped"); },
         {"The server has stopped", "The server has stopped"},
         false},
        {"failed send",
         [](MidiLoopback& bus, PortDevices& devices) {
             bus.failSends("Loopback", true);
             if (devices.output() != nullptr) {
                 EXPECT_THROW(devices.output()->PutLong(sysex(10)), EmidioutputError);
             }
         },
         {"Loopback port Loopback failed"},
         true},
    };
    for (const auto& c : cases) {
        ScriptedShell shell;
        MidiLoopback bus;
        PortDevices devices(shell, bus.makeInput(), bus.makeOutput());
        std::vector<std::string> reasons;
        devices.onLost = [&](const std::string& reason) { reasons.push_back(reason); };
        devices.openInput("Loopback", true);
        devices.openOutput("Loopback");
        c.fault(bus, devices);
        EXPECT_TRUE(reasons.empty()) << c.name << ": not on the driver's thread";
        shell.ProcessMessages();
        c.fault(bus, devices);  // a closed device is not lost again
        shell.ProcessMessages();
        EXPECT_EQ(reasons, c.reasons) << c.name;
        EXPECT_EQ(devices.inputOpen(), c.inputOpen) << c.name;
        EXPECT_FALSE(devices.outputOpen()) << c.name;
        EXPECT_EQ(devices.outputDevice().Error(), MidiErrorCode::Lost) << c.name;
    }
}

}  // namespace
}  // namespace tolvex
