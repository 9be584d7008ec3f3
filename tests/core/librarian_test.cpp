// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/librarian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/sysex/syx_file.h"
#include "core_test_util.h"
#include "support/fake_output.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::bytesOf;
using testing::FakeOutput;
using testing::ScriptedShell;
using testing::TempDir;

TEST(SyxFile, SplitsFilesIntoMessagesKeepingEveryMessage)
{
    using S = SyxParse::Status;
    const struct {
        std::size_t junk;  // bytes before the first F0
        const char* file;
        const char* messages;  // separated by '|'
        S status;
        int withoutEnd;
        int realTime = 0;
    } cases[] = {
        {99, "F0 43 10 01 F7", "F0 43 10 01 F7", S::Ok, 0},
        {100, "F0 F7", "", S::TooManyLeadingBytes, 0},
        {0, "", "", S::NoMessages, 0},
        {0, "F0 01 F7 00 00 F0 02 F7", "F0 01 F7 | F0 02 F7", S::Ok, 0},  // bytes between messages are dropped
        {0, "F0 01 02 F0 03 F7 F0 04 F7", "F0 01 02 | F0 03 F7 | F0 04 F7", S::Ok, 1},  // unterminated
        {0, "F0 01 90 05 F0 02 F7", "F0 01 90 | F0 02 F7", S::Ok, 1},  // another status byte ends and is kept
        // Real-time bytes a recording caught inside a dump are left out of it.
        {0, "F0 01 F8 02 FE 03 F7 F8 F0 04 FF F7", "F0 01 02 03 F7 | F0 04 F7", S::Ok, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.junk << " bytes, then " << c.file);
        Bytes file(c.junk, 0x00);
        const Bytes tail = bytesOf(c.file);
        file.insert(file.end(), tail.begin(), tail.end());
        // Fed a byte at a time, as a file read in pieces would be.
        SyxSplitter bytewise;
        for (std::uint8_t b : file) bytewise.feed(ByteView(&b, 1));
        // And handing each message on as soon as it is complete, in pieces of 3 bytes.
        std::vector<Bytes> handed;
        SyxSplitter streaming([&handed](Bytes&& m) { handed.push_back(std::move(m)); });
        for (std::size_t at = 0; at < file.size(); at += 3)
            streaming.feed(ByteView(file).subspan(at, std::min<std::size_t>(3, file.size() - at)));
        SyxParse streamed = streaming.finish();
        EXPECT_TRUE(streamed.messages.empty());
        streamed.messages = handed;
        for (const SyxParse& p : {bytewise.finish(), streamed}) {
            EXPECT_EQ(p.status, c.status);
            EXPECT_EQ(p.messages, testing::messagesOf(c.messages));
            EXPECT_EQ(p.withoutEndByte, c.withoutEnd);
            EXPECT_EQ(p.realTimeBytes, c.realTime);
        }
    }
}

// A file over 16 MiB is read with the heap grown ahead for it: every
// message arrives whole.
TEST(SyxFile, AFileOfManyMegabytesIsReadWhole)
{
    TempDir dir;
    std::string file;
    for (std::uint32_t i = 0; file.size() < (17u << 20); ++i) {
        std::string m(600 + i % 300, static_cast<char>(i % 0x80));
        m.front() = '\xF0';
        m.back() = '\xF7';
        file += m;
    }
    const SyxParse p = readSyxFile(dir.write("big.syx", file));
    ASSERT_EQ(p.status, SyxParse::Status::Ok);
    std::size_t at = 0;
    for (std::size_t i = 0; i < p.messages.size(); ++i) {
        ASSERT_EQ(p.messages[i].size(), 600 + i % 300) << i;
        ASSERT_EQ(std::memcmp(p.messages[i].data(), file.data() + at, p.messages[i].size()), 0) << i;
        at += p.messages[i].size();
    }
    EXPECT_EQ(at, file.size());
}

// (Files refused for junk or for holding no message: in the command line's
// tests of names, which open them the same way.)
TEST(OpenSysex, LoadsNamedEntriesOrShowsWhyNot)
{
    TempDir dir;
    // A message far longer than the pieces a file is read in, between short ones.
    Bytes big(3 * 1024 * 1024 + 5, 0x11), longOne = bytesOf("F0 01 F7");
    big.front() = 0xF0;
    big.back() = 0xF7;
    longOne.insert(longOne.end(), big.begin(), big.end());
    longOne.insert(longOne.end(), {0xF0, 0x02, 0xF7});
    const struct {
        const char* name;
        Bytes file;
        std::size_t entries;
        const char* lastLog;
    } cases[] = {
        {"unterminated", bytesOf("F0 43 10 F0 43 F7"), 2, "Warning: 1 message(s) without end byte (F7)"},
        {"three megabytes in one message", longOne, 3, "Loading: 3 message(s)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedShell shell;
        Session s(shell);
        const std::string path = dir.write(std::string(c.name) + ".syx", c.file);
        shell.openAnswers.push_back({path});
        Open1sxClick(s);
        ASSERT_EQ(s.messages.count(), c.entries);
        EXPECT_EQ(s.log.lines().back(), c.lastLog);
        EXPECT_TRUE(shell.boxes.empty());
        Bytes loaded;  // every byte of every message, in order
        for (std::size_t i = 0; i < c.entries; ++i) {
            const TSXstorage& m = s.messages.storageAt(i);
            loaded.insert(loaded.end(), m.sxdata.begin(), m.sxdata.end());
            ASSERT_EQ(m.filename, path);
            ASSERT_LE(m.sxdata.capacity() - m.sxdata.size(), m.sxdata.size() / 8);  // no room kept
        }
        EXPECT_TRUE(loaded == c.file);
        EXPECT_EQ(s.paths.lastpath, dir.str());
        EXPECT_EQ(shell.busyCursorLog, (std::vector<bool>{true, false}));
    }
    // A file that cannot be opened says why, and the busy cursor is never left on.
    ScriptedShell shell;
    Session s(shell);
    const std::string path = dir.write("file.syx", bytesOf("F0 F7")) + "/x.syx";
    EXPECT_FALSE(OpenSysexFile(s, path));
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Cannot open file " + path + ": Not a directory");
    EXPECT_EQ(shell.busyCursorLog, (std::vector<bool>{true, false}));
}

TEST(SaveAs, WritesSelectedMessagesBackToBack)
{
    TempDir dir;
    {
        ScriptedShell shell;
        Session s(shell);
        const std::vector<Bytes> all = testing::messagesOf("F0 01 F7 | F0 02 02 F7 | F0 F7 | F0 04 04 04 04 F7");
        for (const Bytes& m : all) s.messages.append("m", m, "received");
        for (std::size_t i : {1u, 3u}) s.messages.setSelected(i, true);
        const std::string path = dir.write("round.syx", "an older file");
        shell.saveAnswers.push_back(path);
        SaveAs1Click(s);
        EXPECT_EQ(s.log.lines().back(), "Wrote " + path);  // a file replaced is seen as written
        for (std::size_t i : {0u, 1u, 2u, 3u}) EXPECT_EQ(s.messages.storageAt(i).filename, i % 2 ? path : "received");
        EXPECT_EQ(s.paths.lastpath, dir.str());
        EXPECT_EQ(shell.saveRequests.at(0).defaultExt, "syx");
        EXPECT_EQ(dir.read("round.syx"), "\xF0\x02\x02\xF7\xF0\x04\x04\x04\x04\xF7");
    }

    ScriptedShell shell;
    Session s(shell);
    s.messages.append("m", bytesOf("F0 F7"), "");
    SaveAs1Click(s);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "No Messages Were Selected - nothing to do");
    EXPECT_TRUE(shell.saveRequests.empty());

    // A folder that does not exist: the error is shown and nothing changes.
    s.messages.setSelected(0, true);
    shell.saveAnswers.push_back(dir.file("no/such/folder/x.syx"));
    SaveAs1Click(s);
    EXPECT_EQ(shell.boxes.back().text,
              "Cannot create file " + dir.file("no/such/folder/x.syx") + ": No such file or directory");
    EXPECT_EQ(s.messages.storageAt(0).filename, "");
}

struct OutputSession {
    ScriptedShell shell;
    Session s{shell};
    FakeOutput out;
    OutputSession()
    {
        s.midi.midiOutput = &out;
        s.midi.MIDI_Out_Present = true;
    }
    std::string box() const { return shell.boxes.empty() ? "" : shell.boxes.back().text; }
    void append(const std::vector<std::pair<const char*, const char*>>& named)  // name, hex bytes
    {
        for (const auto& [name, hex] : named) s.messages.append(name, bytesOf(hex), "");
    }
};

TEST(SendSysex, ParsesHexWordsAndAddsTheFrame)
{
    const struct {
        const char* text;
        const char* sent;  // "": nothing sent
        const char* box;
    } cases[] = {
        {"  f0 43 10 f7  ", "F0 43 10 F7", ""},   {"100", "F0 00 F7", ""},
        {"   ", "", "No hex bytes to send"},      {"123456789", "", "Hex number too large: 123456789"},
        {"43 1G 20", "", "Invalid hex byte: 1G"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        OutputSession o;
        o.s.controls.text.set(ctl::SXreqString, c.text);
        ReqSysexClick(o.s);
        EXPECT_EQ(o.out.sent, testing::messagesOf(c.sent));
        EXPECT_EQ(o.box(), c.box);
        EXPECT_EQ(o.s.log.lines(), *c.sent ? std::deque<std::string>{"Sending: " + std::string(c.sent) + " "}
                                           : std::deque<std::string>{});
    }
}

TEST(ProgramChange, ChecksRangesAndSendsOnTheChannel)
{
    const struct {
        const char *prog, *chan, *sent, *box;
    } cases[] = {
        {"127", "15", "CF 7F 00", ""},
        {"0", "0", "C0 00 00", ""},
        {"130", "17", "", "Prog must be 0-127"},
        {"128", "0", "", "Prog must be 0-127"},
        {"-1", "0", "", "Prog must be 0-127"},
        {"5", "16", "", "Chan must be 0-15"},
        {"5", "-1", "", "Chan must be 0-15"},
        {"x", "0", "", "You must specify a valid number for the program."},
        {"99999999999", "0", "", "You must specify a valid number for the program."},
        {"1", "Chan", "", "You must specify a valid number for the Channel."},
    };
    for (const auto& c : cases) {
        OutputSession o;
        o.s.controls.text.set(ctl::ProgChange, c.prog);
        o.s.controls.text.set(ctl::Channel, c.chan);
        SendProgChangeClick(o.s);
        EXPECT_EQ(o.out.sent, testing::messagesOf(c.sent)) << c.prog;
        EXPECT_EQ(o.box(), c.box) << c.prog;
        EXPECT_EQ(o.s.log.lines().empty(), *c.box != '\0') << c.prog;  // a refusal logs no "Sending"
    }
}

// A cancel stops the send between two messages and is used up by it.
TEST(SendSelected, SendsInOrderPacedAndCancellable)
{
    const struct {
        int delay;
        int cancelAfterMs;  // -1: no cancel
        std::int64_t elapsed;
        std::vector<std::string> log;
    } cases[] = {
        {250, -1, 750, {"Sending 4 of 4", "Sending: m0", "Sending: m1", "Sending: m3", "Sending: m4"}},
        {250, 300, 500, {"Sending 2 of 4", "Sending: m0", "Sending: m1", "Sending cancelled after 2 of 4"}},
    };
    for (const auto& c : cases) {
        OutputSession o;
        o.s.midi.SendDelayMs = c.delay;
        o.append({{"m0", "F0 00 F7"}, {"m1", "F0 01 F7"}, {"m2", ""}, {"m3", "F0 03 F7"}, {"m4", "F0 04 F7"}});
        o.s.messages.selectAll(true);  // the empty m2 is no message to send
        if (c.cancelAfterMs >= 0)
            o.shell.startTimer("user", c.cancelAfterMs, [&] {
                CancelClick(o.s);
                o.shell.stopTimer("user");
            });
        Button_sendClick(o.s);
        EXPECT_EQ(std::vector<std::string>(o.s.log.lines().begin(), o.s.log.lines().end()), c.log);
        const auto order = testing::messagesOf("F0 00 F7 | F0 01 F7 | F0 03 F7 | F0 04 F7");
        EXPECT_EQ(o.out.sent, std::vector<Bytes>(order.begin(), order.begin() + (c.cancelAfterMs < 0 ? 4 : 2)));
        EXPECT_EQ(o.shell.nowMs(), c.elapsed);
        EXPECT_FALSE(o.s.operation.CancelVisible);
        EXPECT_FALSE(CancelButton(o.s));
    }
}

// A dump that streams for long shows how much of it has gone out.
TEST(SendSelected, ALongDumpShowsTheBytesGoneOut)
{
    OutputSession o;
    o.out.stream = true;
    Bytes dump(100000, 0x11);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    o.s.messages.append("bank", dump, "");
    o.s.messages.setSelected(0, true);
    std::vector<std::string> seen;
    o.shell.startTimer("cable", 100, [&] {
        seen.push_back(o.s.log.lines().back());
        o.out.queued -= std::min<std::uint64_t>(o.out.queued, 10000);
        if (o.out.queued == 0) o.shell.stopTimer("cable");
    });
    Button_sendClick(o.s);
    EXPECT_EQ(std::vector<std::string>(o.s.log.lines().begin(), o.s.log.lines().end()),
              (std::vector<std::string>{"Sending: bank", "Sent 100000 of 100000 bytes"}));
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Sent 20000 of 100000 bytes"), seen.end());
}

// Waits inside a send handle events: what the user does then must neither free
// what is being sent nor shift which messages go out.
TEST(SendSelected, SendsItsOwnCopiesAndRefusesRemovalsMeanwhile)
{
    const struct {
        bool busy;  // the output is still busy with an earlier message
        int delay;
    } cases[] = {{true, 0}, {false, 100}};
    for (const auto& c : cases) {
        OutputSession o;
        o.s.midi.SendDelayMs = c.delay;
        o.out.busy = c.busy;
        o.append({{"m0", "F0 00 F7"}, {"m1", "F0 01 F7"}, {"m2", "F0 02 F7"}, {"m3", "F0 03 F7"}});
        for (std::size_t i : {1u, 2u, 3u}) o.s.messages.setSelected(i, true);
        o.shell.startTimer("user", 50, [&] {
            o.shell.stopTimer("user");
            ButtonClearSelClick(o.s);
            Button_clearClick(o.s);
            o.s.messages.removeAt(0);  // and a removal no command guards
            o.s.messages.clear();
            o.out.busy = false;
        });
        Button_sendClick(o.s);
        EXPECT_EQ(o.out.sent, testing::messagesOf("F0 01 F7 | F0 02 F7 | F0 03 F7")) << c.delay;
        ASSERT_EQ(o.shell.boxes.size(), 2u);
        for (const auto& b : o.shell.boxes) {
            EXPECT_EQ(b.title, "Warning");
            EXPECT_EQ(b.text, "Wait for the send to finish or press Cancel");
        }
        EXPECT_FALSE(o.s.midi.SendRunning);
        o.append({{"after", "F0 09 F7"}});
        o.s.messages.selectAll(true);
        ButtonClearSelClick(o.s);  // allowed again
        EXPECT_TRUE(o.s.messages.empty());
    }
}

// View Selected shows each selected message up to its first 24 bytes.
TEST(ViewSelected, ShowsTheFirst24BytesOfEachSelectedMessage)
{
    ScriptedShell shell;
    Session s(shell);
    s.messages.append("twenty-five", Bytes(25, 0x11), "");
    s.messages.append("twenty-four", Bytes(24, 0x22), "");
    s.messages.selectAll(true);
    ViewSelectedClick(s);
    EXPECT_EQ(s.log.lines(), (std::deque<std::string>{
                                 "Sysex: 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 ...",
                                 "Sysex: 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 22 "}));
}

TEST(Clipboard, CopiesWholeLinesBelowTheLimit)
{
    ScriptedShell shell;
    Session s(shell);
    for (int i = 0; i < 300; ++i) s.log.LogString(std::string(199, 'a') + static_cast<char>('0' + i % 10));
    lstLogDblClick(s);
    EXPECT_EQ(shell.clipboard.size(), 157u * 202u);
    EXPECT_EQ(shell.clipboard.substr(200, 2), "\r\n");

    s.log.clear();
    s.log.LogString(std::string(300, 'b'));
    s.log.LogString("second");
    s.log.selected = 0;
    lstLogContextPopup(s);
    EXPECT_EQ(shell.clipboard, std::string(255, 'b') + "\r\n");
    s.log.selected = -1;
    lstLogContextPopup(s);
    EXPECT_EQ(shell.clipboard, "");
}

}  // namespace
}  // namespace tolvex
