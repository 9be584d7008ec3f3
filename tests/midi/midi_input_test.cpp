#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/session.h"
#include "midi/circular_buffer.h"
#include "midi/loopback.h"
#include "midi/midi_input.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::collectEvents;
using testing::ScriptedShell;
using testing::sysex;

struct Rig {
    explicit Rig(std::uint16_t capacity = 1024, std::uint16_t bufSize = 4096, std::uint16_t bufCount = 16)
    {
        in.SetCapacity(capacity);
        in.SetSysexBufferSize(bufSize);
        in.SetSysexBufferCount(bufCount);
        collectEvents(in, events);
        EXPECT_TRUE(in.Open()) << in.OpenError();
        in.Start();
    }
    void send(ByteView m) { bus.inject("Loopback", m); }

    ScriptedShell shell;
    MidiLoopback bus;
    TMidiInput in{shell, bus.makeInput()};
    std::vector<TMyMidiEvent> events;
};

TEST(CircularBuffer, WrapsAroundAndRefusesWhenFullOrEmpty)
{
    TCircularBuffer<int> q(3);
    int out = 0;
    EXPECT_FALSE(q.Read(out));
    EXPECT_FALSE(q.Remove());
    int next = 0, expected = 0;
    // Fill, overfill, drain in uneven steps so the positions wrap several times.
    for (int round = 0; round < 5; ++round) {
        while (q.Put(next)) ++next;
        EXPECT_EQ(q.EventCount(), 3);
        EXPECT_EQ(q.FreeSlots(), 0u);
        for (int i = 0; i < 1 + round % 3; ++i) {
            ASSERT_TRUE(q.Read(out));
            EXPECT_EQ(out, expected++);
            ASSERT_TRUE(q.Remove());
        }
    }
    TCircularBuffer<int> none(0);
    EXPECT_FALSE(none.Put(1));
}

TEST(MidiInput, SplitsSysexIntoBuffersInOrderAndReusesThem)
{
    const struct {
        std::size_t length;
        std::uint16_t bufSize;
        std::vector<std::size_t> events;
    } cases[] = {
        {10000, 4096, {4096, 4096, 1808}},
        {4096, 4096, {4096}},
        {4097, 4096, {4096, 1}},
        {6, 4096, {6}},
        {300, 256, {256, 44}},
    };
    for (const auto& c : cases) {
        // Three buffers only: sending the message four times works only if each buffer comes back.
        Rig rig(1024, c.bufSize, 3);
        Session session(rig.shell);
        for (std::uint8_t seed = 0; seed < 4; ++seed) {
            const Bytes m = sysex(c.length, seed);
            rig.send(m);
            rig.shell.ProcessMessages();
            ASSERT_EQ(rig.events.size(), c.events.size()) << c.length;
            bool complete = false;
            for (std::size_t i = 0; i < c.events.size(); ++i) {
                EXPECT_EQ(rig.events[i].MidiMessage, 0xF0);
                EXPECT_EQ(rig.events[i].SysexLength(), c.events[i]) << c.length << " event " << i;
                complete = session.SX_Object.Addsysex(rig.events[i]);
            }
            EXPECT_TRUE(complete) << c.length;
            EXPECT_EQ(session.SX_Object.sxdata, m) << c.length;
            rig.events.clear();
        }
    }
}

TEST(MidiInput, FiltersShortMessages)
{
    const struct {
        bool sysexOnly;
        Bytes message;
        std::vector<std::uint8_t> event;  // MidiMessage, Data1, Data2; empty: no event
    } cases[] = {
        {false, {0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x64}},
        {false, {0xC3, 0x05}, {0xC3, 0x05, 0x00}},
        {true, {0x90, 0x3C, 0x64}, {}},
        {false, {0xFE}, {}},  // Active Sensing
        {false, {0xF8}, {}},  // Timing Clock
        {false, {0xFA}, {0xFA, 0x00, 0x00}},
        {true, {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, {0xF0, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.in.SetSysexOnly(c.sysexOnly);
        rig.send(c.message);
        rig.shell.ProcessMessages();
        if (c.event.empty()) {
            EXPECT_TRUE(rig.events.empty()) << int(c.message[0]);
            continue;
        }
        ASSERT_EQ(rig.events.size(), 1u) << int(c.message[0]);
        const TMyMidiEvent& e = rig.events[0];
        EXPECT_EQ(e.MidiMessage, c.event[0]);
        EXPECT_EQ(e.Data1, c.event[1]);
        EXPECT_EQ(e.Data2, c.event[2]);
        EXPECT_EQ(e.Sysex.empty(), c.message[0] != 0xF0);
    }
}

TEST(MidiInput, OverflowDropsWholeMessagesCountsThemAndRecovers)
{
    // Queue of 4 records, two SysEx buffers of 16 bytes.
    const struct {
        const char* name;
        std::vector<Bytes> sent;
        std::vector<std::size_t> received;  // SysexLength of each event (0: short message)
        std::uint64_t dropped;
    } cases[] = {
        {"queue full", {{0x90, 1, 1}, {0x90, 2, 1}, {0x90, 3, 1}, {0x90, 4, 1}, {0x90, 5, 1}}, {0, 0, 0, 0}, 1},
        {"message longer than all buffers", {sysex(40), sysex(6)}, {6}, 3},
        {"not enough buffers left", {sysex(16), sysex(17)}, {16}, 2},
        {"not enough queue slots left", {{0x90, 1, 1}, {0x90, 2, 1}, {0x90, 3, 1}, sysex(20)}, {0, 0, 0}, 2},
    };
    for (const auto& c : cases) {
        Rig rig(4, 16, 2);
        int overflows = 0;
        rig.in.OnOverflow = [&](TMidiInput&) { ++overflows; };
        for (const Bytes& m : c.sent) rig.send(m);
        rig.shell.ProcessMessages();
        std::vector<std::size_t> lengths;
        for (const auto& e : rig.events) lengths.push_back(e.SysexLength());
        EXPECT_EQ(lengths, c.received) << c.name;
        EXPECT_EQ(rig.in.DroppedEvents(), c.dropped) << c.name;
        EXPECT_EQ(overflows, 1) << c.name;
        // Once drained, a message that fits gets through whole.
        rig.events.clear();
        rig.send(sysex(32));
        rig.shell.ProcessMessages();
        ASSERT_EQ(rig.events.size(), 2u) << c.name;
        EXPECT_EQ(rig.in.DroppedEvents(), c.dropped) << c.name;
        EXPECT_EQ(overflows, 1) << c.name;
    }
}

TEST(MidiInput, SelectionAndSizingErrorsAndOpenFailure)
{
    ScriptedShell shell;
    MidiLoopback bus({"A", "B"});
    TMidiInput in(shell, bus.makeInput());
    EXPECT_EQ(in.Numdevs(), 2);
    EXPECT_EQ(in.ProductName(), "A");

    auto text = [](auto action) -> std::string {
        try {
            action();
        } catch (const EMidiInputError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(text([&] { in.SetDeviceID(2); }), "Invalid device ID");
    EXPECT_EQ(text([&] { in.SetProductName("XYZ"); }), "MIDI Input Device XYZ not installed ");
    EXPECT_EQ(text([&] { in.SetProductName("B"); }), "");
    EXPECT_EQ(in.DeviceID(), 1);

    ASSERT_TRUE(in.Open());
    const struct {
        std::function<void()> action;
        const char* text;
    } whileOpen[] = {
        {[&] { in.SetDeviceID(0); }, "Change to DeviceID while device was open"},
        {[&] { in.SetProductName("A"); }, "Change to ProductName while device was open"},
        {[&] { in.SetSysexBufferSize(256); }, "Change to SysexBufferSize while device was open"},
        {[&] { in.SetSysexBufferCount(4); }, "Change to SysexBuffercount while device was open"},
    };
    for (const auto& c : whileOpen) EXPECT_EQ(text(c.action), c.text);
    EXPECT_EQ(in.ProductName(), "B");

    // A port that cannot be opened leaves the device closed with the back-end's text.
    TMidiInput second(shell, bus.makeInput());
    second.SetProductName("B");
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.OpenError(), "Loopback port B is already open");
    EXPECT_EQ(second.State(), misClosed);
    EXPECT_EQ(second.Error(), MidiErrorCode::PortInUse);
    EXPECT_FALSE(second.GetMidiEvent());
}

TEST(MidiInput, NothingFlowsBeforeStartOrAfterClose)
{
    Rig rig;
    int calls = 0;
    rig.in.OnMidiInput = [&](TMidiInput&) { ++calls; };
    rig.send(sysex(10));
    rig.in.Close();  // the notification is still pending
    rig.shell.ProcessMessages();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(rig.in.GetEventCount(), 0);
    EXPECT_FALSE(rig.in.GetMidiEvent());

    ASSERT_TRUE(rig.in.Open());
    rig.send(sysex(10));  // not started yet
    rig.shell.ProcessMessages();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(rig.in.GetEventCount(), 0);
    rig.in.Start();
    rig.send(sysex(10));
    rig.shell.ProcessMessages();
    EXPECT_EQ(calls, 1);
}

// A driver thread sends while the main thread drains: every message that was
// not reported dropped arrives whole and in order.
TEST(MidiInput, DriverThreadAndMainThreadShareTheQueueSafely)
{
    Rig rig(64, 512, 8);
    Session session(rig.shell);
    std::vector<Bytes> received;
    rig.in.OnMidiInput = [&](TMidiInput& in) {
        while (auto e = in.GetMidiEvent()) {
            if (e->MidiMessage != 0xF0) {
                received.push_back({e->MidiMessage, e->Data1});
            } else if (session.SX_Object.Addsysex(*e)) {
                received.push_back(session.SX_Object.sxdata);
            }
        }
    };
    constexpr int kMessages = 3000;
    std::vector<Bytes> sent;
    for (int i = 0; i < kMessages; ++i)
        sent.push_back(i % 3 == 0 ? Bytes{0xB0, static_cast<std::uint8_t>(i & 0x7F)}
                                  : sysex(1 + static_cast<std::size_t>(i % 1500), static_cast<std::uint8_t>(i)));
    std::atomic<bool> done{false};
    std::thread driver([&] {
        for (const Bytes& m : sent) rig.send(m);
        done = true;
    });
    while (!done) rig.shell.runPosted();
    driver.join();
    rig.shell.runPosted();

    // Dropped messages leave gaps; what did arrive matches the sent sequence in order.
    std::size_t next = 0;
    for (const Bytes& m : received) {
        while (next < sent.size() && sent[next] != m) ++next;
        ASSERT_LT(next, sent.size()) << "a message arrived damaged or out of order";
        ++next;
    }
    EXPECT_GT(received.size(), 0u);
    if (rig.in.DroppedEvents() == 0) {
        EXPECT_EQ(received.size(), sent.size());
    }
}

}  // namespace
}  // namespace tolvex
