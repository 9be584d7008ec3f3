// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/app/midi_port.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core_test_util.h"
#include "support/fake_output.h"
#include "support/scripted_shell.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;

// Buffers of the driver joined into messages, the progress of a long one
// rewritten in place in the log. A sender that stops mid-message and starts a
// new one may have both handed over in one buffer: an F0 inside a buffer ends
// the unfinished message.
TEST(Addsysex, JoinsBuffersReportsProgressAndAnF0StartsANewMessage)
{
    const struct {
        const char *buffers, *stored;  // messages separated by '|'
        std::vector<std::string> log;
    } cases[] = {
        // An empty buffer carries nothing and is no event.
        {"F0 01 02 | 03 04 |  | 05 F7", "F0 01 02 03 04 05 F7", {"Final buffer 2 bytes (3 events),total bytes: 7"}},
        {"F0 7D 01 02 03 04 05 F0 7D 11 22 33 F7",
         "F0 7D 11 22 33 F7",
         {"First Partial Sysex buffer", "Incomplete SysEx message discarded (7 bytes)", "Complete SysEx message 6"}},
        {"F0 7D 01 | 02 03 F0 7D | 04 F7",
         "F0 7D 04 F7",
         {"Partial Sysex buffer 2, total bytes: 3", "Incomplete SysEx message discarded (5 bytes)",
          "Final buffer 2 bytes (2 events),total bytes: 4"}},
        {"F0 01 F7 F0 02 | 03 F7",
         "F0 01 F7 | F0 02 03 F7",
         {"Complete SysEx message 3", "Final buffer 2 bytes (2 events),total bytes: 4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.buffers);
        ScriptedShell shell;
        Session s(shell);
        std::vector<Bytes> stored;
        for (const Bytes& b : testing::messagesOf(c.buffers)) {
            TMyMidiEvent e;
            e.MidiMessage = 0xF0;
            e.Sysex = b;
            const bool complete = s.midi.SX_Object.Addsysex(e);
            stored.insert(stored.end(), s.midi.SX_Object.earlier.begin(), s.midi.SX_Object.earlier.end());
            if (complete) stored.push_back(s.midi.SX_Object.sxdata);
        }
        EXPECT_EQ(stored, testing::messagesOf(c.stored));
        EXPECT_EQ(std::vector<std::string>(s.log.lines().begin(), s.log.lines().end()), c.log);
        EXPECT_FALSE(s.midi.SX_Object.partial);
        EXPECT_EQ(s.midi.SX_Object.partials, 0);
    }
}

TEST(BulkOut, SendsWaitsForBusyOutputAndNeverDropsSilently)
{
    const Bytes msg{0xF0, 0x43, 0x20, 0x00, 0xF7};
    const struct {
        const char* name;
        bool present, busy, fail;
        int busyForMs;  // output turns free after this much time (-1: never)
        Bytes data;
        bool result;
        std::size_t sent;
        const char* box;
    } cases[] = {
        {"free output", true, false, false, 0, msg, true, 1, nullptr},
        {"no device", false, false, false, 0, msg, false, 0, nullptr},
        {"empty message", true, false, false, 0, {}, false, 0, nullptr},
        {"busy, then free", true, true, false, 500, msg, true, 1, nullptr},
        {"busy past 2 s", true, true, false, -1, msg, false, 0, "MIDI output busy - message not sent"},
        {"device error", true, false, true, 0, msg, false, 0, "The MIDI device is gone"},
    };
    for (const auto& c : cases) {
        ScriptedShell shell;
        Session s(shell);
        testing::FakeOutput out;
        out.busy = c.busy;
        out.fail = c.fail;
        s.midi.midiOutput = &out;
        s.midi.MIDI_Out_Present = c.present;
        if (c.busyForMs > 0) shell.startTimer("free", c.busyForMs, [&] { out.busy = false; });
        EXPECT_EQ(MidiSysex_bulk_out(s, c.data), c.result) << c.name;
        EXPECT_EQ(out.sent.size(), c.sent) << c.name;
        if (c.sent) {
            EXPECT_EQ(out.sent.front(), c.data) << c.name;
        }
        if (c.box) {
            ASSERT_EQ(shell.boxes.size(), 1u) << c.name;
            EXPECT_EQ(shell.boxes[0].title, "MIDI Out Error");
            EXPECT_EQ(shell.boxes[0].text, c.box);
        } else {
            EXPECT_TRUE(shell.boxes.empty()) << c.name;
        }
        if (c.busyForMs < 0) {
            EXPECT_GE(shell.nowMs(), kBusyWaitMs) << c.name;
        }
    }
}

// Removing keeps the selection and the current entry on the same messages.
TEST(MessageList, RemovingKeepsSelectionAndCurrentOnTheirMessages)
{
    MessageList many;
    for (int i = 0; i < 10; ++i) many.append(std::to_string(i), Bytes{}, "");
    for (std::size_t i : {1u, 3u}) many.setSelected(i, true);
    many.makeCurrent(7);  // the current entry becomes the only selected one
    EXPECT_EQ(many.selectedIndexes(), (std::vector<std::size_t>{7}));
    for (std::size_t i : {0u, 2u, 4u, 9u}) many.setSelected(i, true);
    many.removeAt(1);
    many.removeAt(99);  // out of range: nothing happens
    EXPECT_EQ(many.selectedIndexes(), (std::vector<std::size_t>{0, 1, 3, 6, 8}));
    many.setSelected(6, false);  // "7", the current one
    many.removeSelected();
    std::string left;
    for (std::size_t i = 0; i < many.count(); ++i) left += many.textAt(i);
    EXPECT_EQ(left, "35678");
    EXPECT_EQ(many.textAt(static_cast<std::size_t>(many.current())), "7");
    EXPECT_EQ(many.selectedCount(), 0u);
    many.setSelected(static_cast<std::size_t>(many.current()), true);
    many.removeSelected();
    EXPECT_EQ(many.current(), -1);
}

TEST(MessageList, StoragesStayPutAndAreReusedEmpty)
{
    MessageList list;
    std::vector<TSXstorage*> kept;
    for (int i = 0; i < 5000; ++i)
        kept.push_back(&list.append("m", Bytes{0xF0, static_cast<std::uint8_t>(i & 0x7F), 0xF7}, "/a.syx"));
    // An entry's storage keeps its address while the list grows and others go.
    for (std::size_t i = 0; i < list.count(); i += 3) list.setSelected(i, true);
    list.removeSelected();
    for (std::size_t i = 0, n = 0; n < 5000; ++n) {
        if (n % 3 == 0) continue;
        ASSERT_EQ(&list.storageAt(i), kept[n]) << n;
        EXPECT_EQ(list.storageAt(i).sxdata[1], n & 0x7F);
        ++i;
    }
    // A removed entry's storage is reused, empty, by the next one.
    list.storageAt(0).filename = "/saved.syx";
    list.removeAt(0);
    TSXstorage& reused = list.append("new", Bytes{0xF0, 0xF7}, "");
    EXPECT_EQ(&reused, kept[1]);
    EXPECT_TRUE(reused.filename.empty());
    EXPECT_EQ(list.textAt(list.count() - 1), "new");
}

TEST(LogList, KeepsTheLastLinesAndRewritesInPlace)
{
    LogList log;
    EXPECT_EQ(log.LogString(""), 0);
    EXPECT_EQ(log.count(), 0);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(log.LogString("line " + std::to_string(i)), i);
    EXPECT_EQ(log.LogString("line 300"), 299);  // the 301st line pushes the first out
    EXPECT_EQ(log.count(), 300);
    EXPECT_EQ(log.line(0), "line 1");
    log.replace(5, "rewritten");
    log.replace(300, "ignored");
    log.replace(-1, "ignored");
    EXPECT_EQ(log.line(5), "rewritten");
    log.LogItemsVis = 28;
    log.LogString("x");
    EXPECT_EQ(log.topIndex, 299 - 28 + 1);
    log.logItemMax = 0;
    EXPECT_EQ(log.LogString("y"), 0);
}

}  // namespace
}  // namespace tolvex
