#include "core/app/librarian.h"

#include <gtest/gtest.h>

#include <random>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/sysex/syx_file.h"
#include "support/fake_output.h"
#include "support/rig.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::FakeOutput;
using testing::ScriptedShell;
using testing::TempDir;

Bytes bytes(std::initializer_list<int> v)
{
    Bytes out;
    for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

TEST(SyxFile, SplitsFilesIntoMessagesKeepingEveryMessage)
{
    Bytes junk99(99, 0x00), junk100(100, 0x00), junk50(50, 0x11);
    auto cat = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    using S = SyxParse::Status;
    const struct {
        const char* name;
        Bytes file;
        S status;
        std::vector<Bytes> messages;
        int withoutEnd;
    } cases[] = {
        {"99 leading bytes",
         cat(junk99, bytes({0xF0, 0x43, 0x10, 0x01, 0xF7})),
         S::Ok,
         {bytes({0xF0, 0x43, 0x10, 0x01, 0xF7})},
         0},
        {"100 leading bytes", cat(junk100, bytes({0xF0, 0xF7})), S::TooManyLeadingBytes, {}, 0},
        {"100 bytes, no F0", junk100, S::TooManyLeadingBytes, {}, 0},
        {"empty file", {}, S::NoMessages, {}, 0},
        {"50 bytes, no F0", junk50, S::NoMessages, {}, 0},
        {"bytes between messages dropped",
         bytes({0xF0, 1, 0xF7, 0, 0, 0xF0, 2, 0xF7}),
         S::Ok,
         {bytes({0xF0, 1, 0xF7}), bytes({0xF0, 2, 0xF7})},
         0},
        {"unterminated message keeps the next one",
         bytes({0xF0, 1, 2, 0xF0, 3, 0xF7, 0xF0, 4, 0xF7}),
         S::Ok,
         {bytes({0xF0, 1, 2}), bytes({0xF0, 3, 0xF7}), bytes({0xF0, 4, 0xF7})},
         1},
        {"cut off by the end of the file",
         bytes({0xF0, 1, 0xF7, 0xF0, 1, 2}),
         S::Ok,
         {bytes({0xF0, 1, 0xF7}), bytes({0xF0, 1, 2})},
         1},
        {"other status byte ends and is included",
         bytes({0xF0, 1, 0xF8, 5, 0xF0, 2, 0xF7}),
         S::Ok,
         {bytes({0xF0, 1, 0xF8}), bytes({0xF0, 2, 0xF7})},
         1},
        {"lone F0 at the end", bytes({0xF0}), S::Ok, {bytes({0xF0})}, 1},
    };
    for (const auto& c : cases) {
        // Whole, and fed a byte at a time as a file read in pieces would be.
        SyxSplitter bytewise;
        for (std::uint8_t b : c.file) bytewise.feed(ByteView(&b, 1));
        for (const SyxParse& p : {parseSyx(c.file), bytewise.finish()}) {
            EXPECT_EQ(p.status, c.status) << c.name;
            EXPECT_EQ(p.messages, c.messages) << c.name;
            EXPECT_EQ(p.withoutEndByte, c.withoutEnd) << c.name;
        }
    }
}

TEST(OpenSysex, LoadsNamedEntriesOrShowsWhyNot)
{
    TempDir dir;
    const struct {
        const char* name;
        Bytes file;
        std::size_t entries;
        const char* box;  // "title: text"
        const char* lastLog;
    } cases[] = {
        {"two messages", bytes({0xF0, 0x43, 0x10, 0x01, 0xF7, 0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}), 2, nullptr,
         "Loading: 2 message(s)"},
        {"unterminated", bytes({0xF0, 0x43, 0x10, 0xF0, 0x43, 0xF7}), 2, nullptr,
         "Warning: 1 message(s) without end byte (F7)"},
        {"junk", Bytes(100, 0x20), 0, "Error: File Contains > 100 bytes of non-sysex - not loaded",
         "Loading: 0 message(s)"},
        {"empty", {}, 0, "MIDI: No Sysex Messages In File", "Loading: 0 message(s)"},
    };
    for (const auto& c : cases) {
        ScriptedShell shell;
        Session s(shell);
        const std::string path = dir.write(std::string(c.name) + ".syx", c.file);
        shell.openAnswers.push_back({path});
        Open1sxClick(s);
        EXPECT_EQ(s.messages.count(), c.entries) << c.name;
        EXPECT_EQ(s.log.lines().back(), c.lastLog) << c.name;
        if (c.box) {
            ASSERT_EQ(shell.boxes.size(), 1u) << c.name;
            EXPECT_EQ(shell.boxes[0].title + ": " + shell.boxes[0].text, c.box);
        } else {
            EXPECT_TRUE(shell.boxes.empty()) << c.name;
            EXPECT_EQ(s.messages.storageAt(0).filename, path);
            EXPECT_EQ(s.lastpath, dir.str());
        }
        EXPECT_EQ(shell.openRequests.at(0).filter, "Sysex files (*.syx)|*.SYX|All files (*.*)|*.*");
        EXPECT_EQ(shell.busyCursorLog, (std::vector<bool>{true, false})) << c.name;
    }
    ScriptedShell shell;
    Session s(shell);
    EXPECT_FALSE(OpenSysexFile(s, dir.file("missing.syx")));
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Cannot open file " + dir.file("missing.syx"));
    EXPECT_EQ(shell.busyCursorLog, (std::vector<bool>{true, false}));  // never left on
}

TEST(SaveAs, WritesSelectedMessagesBackToBackAndReadsThemBack)
{
    TempDir dir;
    std::mt19937 rng(42);
    for (int round = 0; round < 20; ++round) {
        ScriptedShell shell;
        Session s(shell);
        std::vector<Bytes> expected;
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) {
            Bytes m(2 + rng() % 300);
            for (auto& b : m) b = static_cast<std::uint8_t>(rng() & 0x7F);
            m.front() = 0xF0;
            m.back() = 0xF7;
            s.messages.append("m" + std::to_string(i), m, "received");
            if (rng() % 2 || i == 0) {
                s.messages.setSelected(static_cast<std::size_t>(i), true);
                expected.push_back(m);
            }
        }
        const std::string path = dir.file("round.syx");
        shell.saveAnswers.push_back(path);
        SaveAs1Click(s);
        for (std::size_t i : s.messages.selectedIndexes()) EXPECT_EQ(s.messages.storageAt(i).filename, path);
        EXPECT_EQ(s.lastpath, dir.str());
        EXPECT_EQ(shell.saveRequests.at(0).defaultExt, "syx");

        Session back(shell);
        ASSERT_TRUE(OpenSysexFile(back, path));
        ASSERT_EQ(back.messages.count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(back.messages.storageAt(i).sxdata, expected[i]);
    }

    ScriptedShell shell;
    Session s(shell);
    s.messages.append("m", bytes({0xF0, 0xF7}), "");
    SaveAs1Click(s);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "No Messages Were Selected - nothing to do");
    EXPECT_TRUE(shell.saveRequests.empty());

    // A folder that does not exist: the error is shown and nothing changes.
    s.messages.setSelected(0, true);
    shell.saveAnswers.push_back(dir.file("no/such/folder/x.syx"));
    SaveAs1Click(s);
    EXPECT_EQ(shell.boxes.back().text, "Cannot create file " + dir.file("no/such/folder/x.syx"));
    EXPECT_EQ(s.messages.storageAt(0).filename, "");
}

TEST(OpenSysex, LoadsFiftyMegabytesOfDX7Banks)
{
    TempDir dir;
    Bytes bank(4104, 0x20);
    const Bytes header = bytes({0xF0, 0x43, 0x00, 0x09, 0x20, 0x00});
    std::copy(header.begin(), header.end(), bank.begin());
    bank.back() = 0xF7;
    std::string all;
    for (int i = 0; i < 12000; ++i) all.append(bank.begin(), bank.end());
    const std::string path = dir.write("banks.syx", all);
    ScriptedShell shell;
    Session s(shell);
    ASSERT_TRUE(OpenSysexFile(s, path));
    EXPECT_TRUE(shell.boxes.empty());
    ASSERT_EQ(s.messages.count(), 12000u);
    EXPECT_EQ(s.messages.storageAt(11999).sxdata, bank);
    EXPECT_EQ(s.log.lines().back(), "Loading: 12000 message(s)");
}

struct OutputSession {
    ScriptedShell shell;
    Session s{shell};
    FakeOutput out;
    OutputSession()
    {
        s.midiOutput = &out;
        s.MIDI_Out_Present = true;
    }
    std::string box() const { return shell.boxes.empty() ? "" : shell.boxes.back().text; }
};

TEST(SendSysex, ParsesHexWordsAndAddsTheFrame)
{
    const struct {
        const char* text;
        Bytes sent;  // empty: nothing sent
        const char* box;
    } cases[] = {
        {"43 10 1 20", bytes({0xF0, 0x43, 0x10, 0x01, 0x20, 0xF7}), ""},
        {"f0 41 f7", bytes({0xF0, 0x41, 0xF7}), ""},
        {"  F0 43 10 F7  ", bytes({0xF0, 0x43, 0x10, 0xF7}), ""},
        {"7E 7F 06 01", bytes({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}), ""},
        {"100", bytes({0xF0, 0x00, 0xF7}), ""},
        {"43\t10 20", bytes({0xF0, 0x43, 0x10, 0x20, 0xF7}), ""},
        {"43\t10\t\t20", bytes({0xF0, 0x43, 0x10, 0x20, 0xF7}), ""},
        {"", {}, "No hex bytes to send"},
        {"   ", {}, "No hex bytes to send"},
        {"123456789", {}, "Hex number too large: 123456789"},
        {"43 1G 20", {}, "Invalid hex byte: 1G"},
        {"43 -1", {}, "Invalid hex byte: -1"},
    };
    for (const auto& c : cases) {
        OutputSession o;
        o.s.text.set(ctl::SXreqString, c.text);
        ReqSysexClick(o.s);
        if (c.sent.empty()) {
            EXPECT_TRUE(o.out.sent.empty()) << c.text;
        } else {
            ASSERT_EQ(o.out.sent.size(), 1u) << c.text;
            EXPECT_EQ(o.out.sent[0], c.sent) << c.text;
        }
        EXPECT_EQ(o.box(), c.box) << c.text;
    }
    OutputSession o;
    o.s.text.set(ctl::SXreqString, "43 10 1 20");
    ReqSysexClick(o.s);
    EXPECT_EQ(o.s.log.lines().back(), "Sending: F0 43 10 01 20 F7 ");

    OutputSession none;
    none.s.MIDI_Out_Present = false;
    none.s.text.set(ctl::SXreqString, "43 10");
    ReqSysexClick(none.s);
    EXPECT_EQ(none.box(), "MIDI Interface Not Installed");
    EXPECT_TRUE(none.s.log.lines().empty());
}

TEST(ProgramChange, ChecksRangesAndSendsOnTheChannel)
{
    const struct {
        const char* prog;
        const char* chan;
        Bytes sent;
        const char* box;
    } cases[] = {
        {"128", "0", bytes({0xC0, 0x00, 0x00}), ""},
        {"130", "17", bytes({0xC1, 0x02, 0x00}), ""},
        {"5", "255", bytes({0xCF, 0x05, 0x00}), ""},
        {"-1", "0", {}, "You must specify a valid number for the program."},
        {"256", "0", {}, "You must specify a valid number for the program."},
        {"x", "0", {}, "You must specify a valid number for the program."},
        {"1", "", {}, "You must specify a valid number for the Channel."},
        {"1", "256", {}, "You must specify a valid number for the Channel."},
    };
    for (const auto& c : cases) {
        OutputSession o;
        o.s.text.set(ctl::ProgChange, c.prog);
        o.s.text.set(ctl::Channel, c.chan);
        SendProgChangeClick(o.s);
        EXPECT_EQ(o.out.sent, c.sent.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{c.sent}) << c.prog;
        EXPECT_EQ(o.box(), c.box) << c.prog;
    }
}

TEST(SendSelected, SendsInOrderPacedAndCancellable)
{
    const struct {
        int delay;
        int cancelAfterMs;  // -1: no cancel
        std::size_t sent;
        std::int64_t elapsed;
    } cases[] = {{0, -1, 4, 0}, {250, -1, 4, 750}, {250, 300, 2, 500}};
    for (const auto& c : cases) {
        OutputSession o;
        o.s.SendDelayMs = c.delay;
        for (int i = 0; i < 5; ++i) o.s.messages.append("m" + std::to_string(i), bytes({0xF0, i, 0xF7}), "");
        for (std::size_t i : {0u, 1u, 3u, 4u}) o.s.messages.setSelected(i, true);
        if (c.cancelAfterMs >= 0)
            o.shell.startTimer("user", c.cancelAfterMs, [&] {
                CancelClick(o.s);
                o.shell.stopTimer("user");
            });
        Button_sendClick(o.s);
        ASSERT_EQ(o.out.sent.size(), c.sent);
        const int order[] = {0, 1, 3, 4};
        for (std::size_t i = 0; i < c.sent; ++i) EXPECT_EQ(o.out.sent[i][1], order[i]);
        EXPECT_EQ(o.shell.nowMs(), c.elapsed);
        EXPECT_FALSE(o.s.CancelVisible);
    }
    OutputSession o;
    o.s.messages.append("one", bytes({0xF0, 1, 0xF7}), "");
    o.s.messages.append("two", bytes({0xF0, 2, 0xF7}), "");
    o.s.messages.selectAll(true);
    Button_sendClick(o.s);
    EXPECT_EQ(o.s.log.lines(), (std::deque<std::string>{"Sending 2 of 2", "Sending: one", "Sending: two"}));

    OutputSession none;
    none.s.MIDI_Out_Present = false;
    Button_sendClick(none.s);
    EXPECT_EQ(none.box(), "MIDI Interface Not Installed");
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
        o.s.SendDelayMs = c.delay;
        o.out.busy = c.busy;
        for (int i = 0; i < 4; ++i) o.s.messages.append("m" + std::to_string(i), bytes({0xF0, i, 0xF7}), "");
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
        ASSERT_EQ(o.out.sent.size(), 3u) << c.delay;
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(o.out.sent[i], bytes({0xF0, static_cast<int>(i + 1), 0xF7}));
        ASSERT_EQ(o.shell.boxes.size(), 2u);
        for (const auto& b : o.shell.boxes) {
            EXPECT_EQ(b.title, "Warning");
            EXPECT_EQ(b.text, "Wait for the send to finish or press Cancel");
        }
        EXPECT_FALSE(o.s.SendRunning);
        o.s.messages.append("after", bytes({0xF0, 9, 0xF7}), "");
        o.s.messages.selectAll(true);
        ButtonClearSelClick(o.s);  // allowed again
        EXPECT_TRUE(o.s.messages.empty());
    }
}

TEST(SendSelected, SkipsEmptyAndUnterminatedMessagesAndStopsWhenTheOutputFails)
{
    const struct {
        int failAfter;
        std::vector<std::string> log;
        std::size_t sent;
    } cases[] = {
        {-1, {"Sending 2 of 3", "Sending: a", "Not sent (no end byte F7): cut", "Sending: b"}, 2},
        {1,
         {"Sending 1 of 3", "Sending: a", "Not sent (no end byte F7): cut", "Sending: b", "Sent 1 of 3 messages"},
         1},
    };
    for (const auto& c : cases) {
        OutputSession o;
        o.out.failAfter = c.failAfter;
        o.s.messages.append("a", bytes({0xF0, 1, 0xF7}), "");
        o.s.messages.append("empty", Bytes{}, "");
        o.s.messages.append("cut", bytes({0xF0, 2, 3}), "");
        o.s.messages.append("b", bytes({0xF0, 4, 0xF7}), "");
        o.s.messages.selectAll(true);
        Button_sendClick(o.s);
        EXPECT_EQ(o.out.sent.size(), c.sent);
        EXPECT_EQ(std::vector<std::string>(o.s.log.lines().begin(), o.s.log.lines().end()), c.log);
    }
}

// A port that is listed but not open (it failed to open, or a selector change
// failed) must not take sends that go nowhere.
TEST(Sending, WarnsAndLogsNothingWithoutAnOpenOutput)
{
    const std::function<void(Session&)> commands[] = {Button_sendClick, ReqSysexClick, SendProgChangeClick};
    for (const auto& command : commands) {
        testing::Rig rig;
        rig.devices.closeOutput();
        rig.s.messages.append("m", bytes({0xF0, 1, 0xF7}), "");
        rig.s.messages.selectAll(true);
        rig.s.text.set(ctl::SXreqString, "43 10");
        rig.s.text.set(ctl::ProgChange, "1");
        rig.s.text.set(ctl::Channel, "0");
        command(rig.s);
        ASSERT_EQ(rig.shell.boxes.size(), 1u);
        EXPECT_EQ(rig.shell.boxes[0].text, "MIDI Interface Not Installed");
        EXPECT_EQ(rig.shell.boxes[0].title, "Warning");
        EXPECT_TRUE(rig.s.log.lines().empty());
    }
}

TEST(ListCommands, ViewClearAndCount)
{
    ScriptedShell shell;
    Session s(shell);
    Bytes ten = bytes({0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7});
    Bytes thirty(30, 0x11);
    s.messages.append("ten", ten, "");
    s.messages.append("thirty", thirty, "");
    s.messages.append("other", bytes({0xF0, 0xF7}), "");
    s.messages.selectAll(true);
    s.messages.setSelected(2, false);
    ViewSelectedClick(s);
    EXPECT_EQ(s.log.line(0), "Sysex: F0 01 02 03 04 05 06 07 08 F7 ");
    std::string thirtyText = "Sysex: ";
    for (int i = 0; i < 24; ++i) thirtyText += "11 ";
    EXPECT_EQ(s.log.line(1), thirtyText + "...");
    s.messages.setCurrentIndex(1);
    ListBox1Click(s);
    EXPECT_EQ(s.text.get(ctl::Label_nbytes), "30 bytes in buffer");
    ButtonClearSelClick(s);
    EXPECT_EQ(s.log.line(2), "Freeing: ten");
    EXPECT_EQ(s.log.line(3), "Freeing: thirty");
    ASSERT_EQ(s.messages.count(), 1u);
    EXPECT_EQ(s.messages.textAt(0), "other");
    Button_clearClick(s);
    EXPECT_EQ(s.log.line(4), "Freeing 1 objects");
    EXPECT_TRUE(s.messages.empty());
}

TEST(Clipboard, CopiesWholeLinesBelowTheLimit)
{
    ScriptedShell shell;
    Session s(shell);
    for (int i = 0; i < 300; ++i) s.LogString(std::string(199, 'a') + static_cast<char>('0' + i % 10));
    lstLogDblClick(s);
    EXPECT_EQ(shell.clipboard.size(), 157u * 202u);
    EXPECT_EQ(shell.clipboard.substr(200, 2), "\r\n");

    s.log.clear();
    s.LogString(std::string(300, 'b'));
    s.LogString("second");
    s.log.selected = 0;
    lstLogContextPopup(s);
    EXPECT_EQ(shell.clipboard, std::string(255, 'b') + "\r\n");
    s.log.selected = -1;
    lstLogContextPopup(s);
    EXPECT_EQ(shell.clipboard, "");
}

TEST(PostProcess, RunsOnceThenDisarms)
{
    ScriptedShell shell;
    Session s(shell);
    std::vector<int> ran;
    s.postProcessTasks["TriParseEfx"] = [&](Session&, std::int32_t p) { ran.push_back(p); };
    SetPostProcess(s, "TriParseEfx", 3);
    DoPostProcess(s);
    EXPECT_EQ(ran, (std::vector<int>{3}));
    EXPECT_FALSE(s.PendingPostProcess);
    EXPECT_EQ(s.log.line(0), "Setting Post Process TriParseEfx");
    EXPECT_EQ(s.log.line(1), "Starting Post Process");
    EXPECT_EQ(s.log.line(2), "Running Post Process TaskTriParseEfx");
    SetPostProcess(s, "NoSuchTask", 1);
    DoPostProcess(s);
    EXPECT_EQ(s.log.lines().back(), "Starting Post Process");
    EXPECT_FALSE(s.PendingPostProcess);
}

}  // namespace
}  // namespace tolvex
