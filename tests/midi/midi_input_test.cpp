// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "midi/loopback.h"
#include "midi_test_util.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::sysex;

struct Rig {
    explicit Rig(std::uint32_t capacity = 1024, std::uint16_t bufSize = 4096, std::size_t ceiling = 64 * 1024)
    {
        in.SetCapacity(capacity);
        in.SetSysexBufferSize(bufSize);
        in.SetSysexCeiling(ceiling);
        testing::collectEvents(in, events);
        EXPECT_TRUE(in.Open()) << in.OpenError();
        in.Start();
    }
    // The driver delivers `messages`, then the main thread runs once; gives the events' lengths.
    std::vector<std::size_t> receive(const std::vector<Bytes>& messages)
    {
        events.clear();
        for (const Bytes& m : messages) bus.inject("Loopback", m);
        shell.ProcessMessages();
        return testing::lengths(events);
    }

    testing::ScriptedShell shell;
    MidiLoopback bus;
    TMidiInput in{shell, bus.makeInput()};
    std::vector<TMyMidiEvent> events;
};

TEST(MidiInput, SplitsSysexIntoEventsAndDropsOnlyWhatExceedsTheCeiling)
{
    const Bytes note = {0x90, 0x3C, 0x64};
    const struct {
        const char* name;
        std::uint32_t capacity;
        std::uint16_t bufSize;
        std::size_t ceiling;
        std::vector<Bytes> sent;
        std::vector<std::size_t> received;  // SysexLength of each event
        std::uint64_t dropped;              // messages
    } cases[] = {
        {"one whole buffer", 1024, 4096, 4096, {sysex(4096)}, {4096}, 0},
        {"one byte more", 1024, 4096, 65536, {sysex(4097)}, {4096, 1}, 0},
        {"wraps around the ring", 1024, 4096, 32, {sysex(20)}, {20}, 0},
        {"message longer than the ceiling", 4, 16, 32, {sysex(40), sysex(6)}, {6}, 1},
        {"burst up to the ceiling", 8, 16, 32, {sysex(16), sysex(16), sysex(3), note}, {16, 16, 0}, 1},
        {"no queue slot left", 4, 16, 64, {note, note, note, sysex(20), sysex(5)}, {0, 0, 0, 16, 4}, 1},
        {"no ring", 1024, 4096, 0, {sysex(5), note}, {0}, 1},
    };
    for (const auto& c : cases) {
        Rig rig(c.capacity, c.bufSize, c.ceiling);
        int overflows = 0;
        rig.in.OnOverflow = [&](TMidiInput&) { ++overflows; };
        // Later rounds work only if every byte and queue slot came back.
        for (int round = 1; round <= 3; ++round) {
            EXPECT_EQ(rig.receive(c.sent), c.received) << c.name;
            if (c.dropped == 0) {
                EXPECT_EQ(testing::messages(rig.events), c.sent) << c.name;
            }
            EXPECT_EQ(rig.in.DroppedEvents(), c.dropped * round) << c.name;
            EXPECT_EQ(overflows, c.dropped ? round : 0) << c.name;
        }
    }
}

// Back-ends deliver SysEx in pieces of any size; the input queues whole messages and filters short ones.
// (16 MiB in pieces, with a clock byte between them: in the ALSA back-end's tests.)
TEST(MidiInput, JoinsPiecesAndQueuesMessagesCutShortAsTheyCame)
{
    const Bytes note = {0x90, 0x3C, 0x64}, identity = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    const std::vector<Bytes> mixed = {note,   {0xC3, 0x05}, {0xFE /* Active Sensing */}, {0xF8 /* Timing Clock */},
                                      {0xFA}, identity};
    const struct {
        const char* name;
        std::vector<Bytes> delivered;
        std::vector<Bytes> events;  // short messages as status, data 1, data 2
        bool sysexOnly = false;
    } cases[] = {
        {"real-time bytes between and inside pieces",
         {{0xF0, 1, 2}, {0xF8}, {3, 0xFA, 4}, {5, 0xF7}},
         {{0xFA, 0, 0}, {0xF0, 1, 2, 3, 4, 5, 0xF7}}},
        {"a new F0 before the end", {{0xF0, 1, 2}, {0xF0, 3, 0xF7}}, {{0xF0, 1, 2}, {0xF0, 3, 0xF7}}},
        {"a status byte before the end", {{0xF0, 1, 2}, {0x90, 0x3C, 0x64}}, {{0xF0, 1, 2}, {0x90, 0x3C, 0x64}}},
        {"several messages in one piece, stray bytes between",
         {{0xF0, 1, 0xF7, 5, 0xF7, 0xC3, 0x05, 0xF0, 2, 0xF7}},
         {{0xF0, 1, 0xF7}, {0xC3, 0x05, 0x00}, {0xF0, 2, 0xF7}}},
        {"active sensing and clock are filtered", mixed, {note, {0xC3, 0x05, 0x00}, {0xFA, 0x00, 0x00}, identity}},
        {"an input for SysEx only", mixed, {identity}, true},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.in.SetSysexOnly(c.sysexOnly);
        rig.receive(c.delivered);
        std::vector<Bytes> events;
        for (const auto& e : rig.events)
            events.push_back(e.Sysex.empty() ? Bytes{e.MidiMessage, e.Data1, e.Data2} : e.Sysex);
        EXPECT_TRUE(events == c.events) << c.name << ": " << events.size() << " events";
        EXPECT_EQ(rig.in.DroppedEvents(), 0u) << c.name;
    }
}

TEST(MidiInput, NothingFlowsBeforeStartOrAfterClose)
{
    Rig rig(16, 16, 32);
    int calls = 0;
    rig.in.OnMidiInput = rig.in.OnOverflow = [&](TMidiInput&) { ++calls; };
    rig.bus.inject("Loopback", sysex(10));
    rig.bus.inject("Loopback", sysex(40));  // too long: an overflow
    rig.in.Close();                         // both notifications are still pending
    rig.shell.ProcessMessages();
    ASSERT_TRUE(rig.in.Open());
    rig.receive({sysex(10)});  // not started yet
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(rig.in.GetEventCount(), 0);
    rig.in.Start();
    rig.receive({sysex(10)});
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace tolvex
