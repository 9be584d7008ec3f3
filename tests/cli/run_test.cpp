// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' commands through `tolvex-cli run`: one command, scripts, and
// the usage errors that must end a run instead of hanging it.
#include "cli/runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "core/app/librarian.h"
#include "core/app/session.h"
#include "devices/devices.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

const std::string kFixtures = TOLVEX_FIXTURES_DIR;
const std::string kChanges = kFixtures + "/yamaha/dx7-parameter-changes.syx";  // 24 messages of 7 bytes
const std::string kBank = kFixtures + "/yamaha/dx7-rom1a.syx";

using testing::RunResult;

// The program's table, plus a command that asks the user a question.
CommandTable tableWithQuestion()
{
    CommandTable t = makeCommandTable();
    registerDeviceFamilies(t);
    t.add({.control = "AskUser", .caption = "Ask User", .place = "Test", .run = [](Session& s) {
               const MsgResult r = s.shell.messageBox("Tolvex", "Go on?", MsgIcon::Question, MsgButtons::YesNoCancel);
               s.log.LogString(r == MsgResult::Yes ? "yes" : r == MsgResult::No ? "no" : "cancel");
           }});
    t.add({.control = "NotYet", .caption = "Not Yet", .place = "Test"});  // its function is not built yet
    return t;
}

RunResult run(const std::vector<std::string>& args, const std::string& input = "", const DeviceFactory& devices = {})
{
    static const CommandTable table = tableWithQuestion();
    return testing::runTool(args, input, devices, &table);
}

Bytes hexBytesOf(const std::string& text)
{
    Bytes b;
    std::istringstream in(text);
    for (std::string w; in >> w;) b.push_back(static_cast<std::uint8_t>(std::stoi(w, nullptr, 16)));
    return b;
}

TEST(Runner, CommandsWithSelectionsFieldsAndAnswers)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string said;  // standard output when done, else the start of standard error
    } cases[] = {
        {{"View Selected", kChanges, "--select", "1,3-4"},
         0,
         "Loading: 24 message(s)\nSysex: F0 43 10 00 69 28 F7 \nSysex: F0 43 10 00 6B 0B F7 \n"
         "Sysex: F0 43 10 00 6C 29 F7 \n"},
        {{"View Selected", kChanges, "--select", "25"}, 2, "tolvex-cli run: no entries 25 among 24"},
        {{"View Selected", kChanges, "--select", "3-1"}, 2, "tolvex-cli run: no entries 3-1"},
        {{"View Selectd", kChanges}, 2, "tolvex-cli run: no command named View Selectd; close names: View Selected"},
        {{"Send Sysex", "--set", "SXreqStrin=43"},
         2,
         "tolvex-cli run: no field named SXreqStrin; close names: SXreqString"},
        {{"Send Sysex", "--set", "Prog=3"},
         2,
         "tolvex-cli run: Prog names several fields; use one of: ProgChange, TriProg, KroProg"},
        {{"Req 1 Prog"}, 2, "tolvex-cli run: Req 1 Prog is the caption of several"},
        {{"Not Yet", kBank}, 2, "tolvex-cli run: NotYet (\"Not Yet\") is not available yet\n"},
        {{"SetlistAutoName"}, 2, "tolvex-cli run: SetlistAutoName (\"SetlistAutoName\") has no action\n"},
        {{"Ask User", "--answer", "No"}, 0, "no\n"},
        {{"Ask User"}, 2, "Tolvex: Go on?\ntolvex-cli run: the box \"Go on?\" asks a question and no answer is left"},
        {{"Ask User", "--answer", "1-32"}, 2, "Tolvex: Go on?\ntolvex-cli run: the answer"},
        {{"Save As", kBank}, 2, "tolvex-cli run: the command asks for a file (Save As)"},
        {{"View Selected", "--set", "Filter7F=maybe"}, 2, "tolvex-cli run: Filter7F is a check box"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            EXPECT_EQ(r.out, c.said);
        } else {
            EXPECT_EQ(r.err.substr(0, c.said.size()), c.said);
        }
    }
    const RunResult list = run({"--list"});
    EXPECT_EQ(list.status, 0);
    for (const char* line : {"Main window\tTest\tNot Yet\tNotYet\t(not built yet)\n",
                             "Main window\tKronos\tSetlist 2 EditBuf\tSetlist2EditBuf\t(no action)\n",
                             "Timbre Copy\t-\tTimbreComboArray[1-16]\tdrop-down\n"})
        EXPECT_NE(list.out.find(line), std::string::npos) << line;
}

// A file the user already has is never emptied: not when the command failed,
// added nothing or was cancelled, and not when the list is empty.
TEST(Runner, SavingNothingOrAfterAFailureLeavesTheFileAsItWas)
{
    TempDir dir;
    const std::string mine = dir.write("mine.syx", "years of work");
    const struct {
        std::vector<std::string> args;
        std::string err;  // the end of standard error
    } cases[] = {
        {{"View Selected", kBank, "--save-new", mine}, "Nothing to save: no entry was added\n"},
        {{"View Selected", "--save-list", mine}, "Nothing to save: the list is empty\n"},
        {{"Send Selected", kBank, "--save-list", mine}, mine + " not written: the command failed\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0] << ": " << r.err;
        ASSERT_GE(r.err.size(), c.err.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - c.err.size()), c.err) << c.args[0];
        EXPECT_EQ(testing::readFile(mine), "years of work") << c.args[0];
    }
}

// A file that gives no message fails the run, as it fails names; a script
// stops there.
TEST(Runner, FilesWithoutSysexFailTheRun)
{
    TempDir dir;
    const std::string empty = dir.write("empty.syx", "");
    const std::string text = dir.write("text.syx", std::string(120, 'x'));
    const struct {
        std::vector<std::string> args;
        std::string script;
        std::string err;  // a part of standard error
    } cases[] = {
        {{"View Selected", empty}, "", "MIDI: " + empty + ": No Sysex Messages In File\n"},
        {{"View Selected", kBank, text},
         "",
         "Error: " + text + ": File Contains > 100 bytes of non-sysex - not loaded\n"},
        {{"--script", "-"},
         "open " + kBank + "\nopen " + empty + "\nopen " + kChanges + "\n",
         "tolvex-cli run: line 2: " + empty + " was not loaded\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.args, c.script);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    // The command does not run on what was loaded: no file is written with part of it.
    const RunResult r = run({"Save As", kBank, empty, "--file", dir.file("all.syx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("all.syx")));
}

// Save As and the saves of the run write files, or standard output for "-".
TEST(Runner, SavesWhatItLoadedAndWhatTheCommandAdded)
{
    TempDir dir;
    const std::string out = dir.file("out.syx"), all = dir.file("all.syx");
    const RunResult saved = run({"Save As", kBank, "--file", out, "--save-list", all});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "Loading: 1 message(s)\nWriting: Yamaha Bulk Dump: Packed 32 Voice\nWrote " + out +
                             "\nWrote " + all + "\n");
    EXPECT_EQ(testing::readFile(out), testing::readFile(kBank));
    EXPECT_EQ(testing::readFile(all), testing::readFile(kBank));

    std::ostringstream captured;
    std::streambuf* const original = std::cout.rdbuf(captured.rdbuf());
    const RunResult dash = run({"Save As", kBank, "--file", "-", "--save-list", "-"});
    std::cout.rdbuf(original);
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(captured.str(), testing::readFile(kBank) + testing::readFile(kBank));
    // Standard output is the data alone: the log goes to standard error.
    EXPECT_EQ(dash.out, "");
    EXPECT_EQ(dash.err.rfind("Loading: 1 message(s)\nWriting: Yamaha Bulk Dump: Packed 32 Voice\n", 0), 0u) << dash.err;
}

// A run leaves no empty diagnostic files behind when it has nothing to write
// in them (a run that writes lines: ExtractWS in the Wavestation run tests).
TEST(Runner, NoEmptyDiagnosticFiles)
{
    TempDir dir;
    const RunResult quiet = testing::runTool({"View Selected", kBank}, "", {}, nullptr, dir.str());
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    for (const char* name : {"debugfile.txt", "debugINI.txt", "KroUnknownParamFile.txt"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}

// Each step works on what the steps before it left in the session.
TEST(Runner, ScriptStepsShareOneSession)
{
    TempDir dir;
    const std::string script =
        "# remove two messages, then look at what is left\n"
        "open '" +
        kChanges +
        "'\n"
        "select 2-23\n"
        "do \"Clear Selected\"\n"
        "\n"
        "select 1-2\n"
        "do ViewSelected\n"
        "save-list " +
        dir.file("left.syx") +
        "\n"
        "list-entries\n";
    const RunResult r = run({"--script", "-"}, script);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string changes = testing::readFile(kChanges);
    EXPECT_EQ(testing::readFile(dir.file("left.syx")), changes.substr(0, 7) + changes.substr(23 * 7));
    EXPECT_NE(r.out.find("Sysex: F0 43 10 00 69 28 F7 \nSysex: F0 43 10 00 03 3B F7 \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(kChanges + "\t2\t7\tYamaha Parameter Change"), std::string::npos) << r.out;  // from 1

    const RunResult failing = run({"--script", "-"}, "open " + kBank + "\ndo \"Send Selected\"\ndo ViewSelected\n");
    EXPECT_EQ(failing.status, 1);
    EXPECT_NE(failing.err.find("tolvex-cli run: line 2: Choose a MIDI Out port first (--out PORT)"), std::string::npos);
    EXPECT_EQ(failing.out.find("Sysex:"), std::string::npos);  // the third line never ran
    EXPECT_EQ(run({"--script", "-"}, "open x.syx\nfrobnicate\n").status, 2);
    EXPECT_EQ(run({"--script", "-"}, "do 'View Selected\n").err, "tolvex-cli run: line 1: unclosed '\n");
}

// Requests go out on the port as the instrument expects them; a bad box
// refuses the request before anything is logged or sent.
TEST(Runner, RequestsAndTheirRefusals)
{
    MidiLoopback bus({"Synth"});
    std::vector<Bytes> heard;
    bus.attach("Synth", [&](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const struct {
        std::string command;
        std::vector<std::string> boxes;  // set after all five boxes at 0
        std::string said;                // the message sent, in hex, or the box refusing it
    } cases[] = {
        {"Send Sysex", {"SXreqString=43 10\t1 20"}, "F0 43 10 01 20 F7"},
        {"Program Change", {"ProgChange=130", "Channel=17"}, "Error: Prog must be 0-127"},
        {"Program Change", {"ProgChange=127", "Channel=16"}, "Error: Chan must be 0-15"},
        // Kronos
        {"KroReq1Prog", {"KroBank=71", "KroProg=5"}, "F0 42 30 68 72 00 47 00 05 F7"},
        {"KroReq1Combi", {"Channel=15", "KroBank=64", "KroProg=127"}, "F0 42 3F 68 72 01 40 00 7F F7"},
        {"Cur Setlist Req", {}, "F0 42 30 68 74 0D F7"},
        {"KroReq1Combi", {"KroBank=71"}, "Error: The Kronos bank must be between 0 and 70."},
        {"KroReq1Prog", {"KroBank=78"}, "Error: The Kronos bank must be between 0 and 77."},
        {"CurCombReq", {"Channel=16"}, "Error: The Channel bank must be between 0 and 15"},
        {"CurProgReq", {"KroBank="}, "Error: You must specify a valid number for the Kronos Bank."},
        // The current-object requests check the boxes they do not send too.
        {"CurSetlistReq", {"KroProg=128"}, "Error: The program value must be between 0 and 127"},
        // Triton
        {"TriReq1Combi", {"TriBank=11", "TriProg=127"}, "F0 42 30 50 1D 2B 7F 00 F7"},
        {"All Prog", {"Channel=15", "TriProg=9"}, "F0 42 3F 50 1C 30 00 00 F7"},
        {"ReqCurProg", {"Channel=9"}, "F0 42 39 50 10 00 F7"},
        // A bank request ignores the program box.
        {"TriReq1ProgBank", {"TriProg=abc"}, "F0 42 30 50 1C 10 00 00 F7"},
        {"TriReq1Prog", {"TriProg=abc"}, "Error: You must specify a valid number for the Program."},
        {"TriReq1Combi", {"TriProg=128"}, "Error: The program value must be between 0 and 127"},
        {"TriReq1Prog", {"TriBank=12"}, "Error: The Triton Studio bank must be between 0 and 11."},
        {"All Prog", {"TriBank=B"}, "Error: You must specify a valid number for the Triton Studio Bank."},
        {"ParsEfx", {"Channel=x", "TriEfxPIDtxt=x"}, "Error: You must specify a valid number for the Channel."},
        {"ParsEfx", {"TriEfxPIDtxt=1.5"}, "Error: You must specify a valid number for the PID."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " " + ::testing::PrintToString(c.boxes));
        heard.clear();
        std::vector<std::string> args{c.command, "--out", "synth"};
        for (const char* box : {"Channel=0", "KroBank=0", "KroProg=0", "TriBank=0", "TriProg=0"})
            args.insert(args.end(), {"--set", box});
        for (const std::string& box : c.boxes) args.insert(args.end(), {"--set", box});
        const RunResult r = run(args, "", loopback);
        const bool refused = c.said.rfind("Error: ", 0) == 0;
        EXPECT_EQ(r.status, refused ? 1 : 0) << r.err;
        EXPECT_EQ(r.out + r.err, refused ? c.said + "\n" : "Sending: " + c.said + " \n");
        EXPECT_EQ(heard, refused ? std::vector<Bytes>{} : std::vector<Bytes>{hexBytesOf(c.said)});
    }
    // Without an output the request is refused instead of logged as sent.
    const RunResult none = run({"CurCombReq", "--set", "Channel=0", "--set", "KroBank=0", "--set", "KroProg=0"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out + none.err, "Warning: Choose a MIDI Out port first (--out PORT)\n");
}

// A port that is not there ends the run with its reason before any step, and
// nothing is sent: no MIDI system at all, or no port of that name.
TEST(Runner, MissingMidiSystemOrPortEndsTheRun)
{
    MidiLoopback bus({"Synth"});
    std::vector<Bytes> heard;
    bus.attach("Synth", [&](ByteView m) { heard.emplace_back(m.begin(), m.end()); });
    const DeviceFactory loopback = testing::loopbackDevices(bus);
    const DeviceFactory noSystem = [](Shell&, const std::string&) -> std::unique_ptr<MidiDevices> { return nullptr; };
    const std::string none = "No MIDI system found (neither ALSA nor JACK)\n";
    const struct {
        std::vector<std::string> args;
        const DeviceFactory* devices;
        std::string err;
    } cases[] = {
        {{"KroReq1Combi", "--set", "KroBank=64", "--set", "KroProg=3", "--in", "Kronos", "--out", "Kronos"},
         &noSystem,
         none},
        {{"View Selected", kBank, "--out", "Foo"}, &noSystem, none},
        {{"CurSetlistReq", "--in", "Synth"}, &noSystem, none},
        {{"View Selected", kBank, "--out", "Foo"}, &loopback, "No MIDI port named Foo\n"},
        {{"KroReq1Prog", "--out", "synth", "--in", "Kronos"}, &loopback, "No MIDI port named Kronos\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult r = run(c.args, "", *c.devices);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(heard.empty());
}

// `run COMMAND --help` comes from the command table: every command the program
// runs is described there, with fields and controls the table knows.
TEST(Runner, EveryCommandTellsWhatItReadsAsksAndWrites)
{
    CommandTable t = makeCommandTable();
    registerDeviceFamilies(t);
    for (const Command& c : t.all()) {
        if (!c.run) continue;
        const CommandUse* use = t.useOf(c.control);
        ASSERT_NE(use, nullptr) << c.control << " has no description";
        EXPECT_FALSE(use->writes.empty()) << c.control;
        for (const std::string& f : use->fields) EXPECT_EQ(t.findFields(f).size(), 1u) << c.control << ": " << f;
    }

    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> said;  // each must be in standard output
    } cases[] = {
        {{"DX7pb>TX802pb", "--help"},
         0,
         {"DX7pb>TX802pb (control dx7pb_to_tx802pb), Main window, DX/TX\n", "Channel (\"Chan\"), now \"",
          "1-32 (or yes)", "a question with no --answer left"}},
        {{"Req 1 Prog", "--help"}, 0, {"control TriReq1Prog", "control KroReq1Prog", "TriProg (\"Prog\")"}},
        {{"SetlistAutoName", "--help"}, 0, {"  No action: ", "Not available"}},
    };
    for (const auto& c : cases) {
        const RunResult r = testing::runTool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.front() << r.err;
        for (const std::string& text : c.said) EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
    EXPECT_EQ(testing::runTool({"DX7pb>TX802p", "--help"}).status, 2);  // no such command: a usage error
}

// The families place their buttons, boxes and page extras by grid cell: on
// every page each has cells of its own (one declared on another's cell would
// hide it), the check boxes share a row of options with nothing else, and a
// button beside a caption is one of the page's commands.
TEST(CommandTable, EveryPageGivesEachControlCellsOfItsOwn)
{
    CommandTable t = makeCommandTable();
    registerDeviceFamilies(t);
    for (const Page& p : t.pages()) {
        std::map<std::pair<int, int>, std::string> taken;
        std::set<int> optionRows;
        const auto take = [&](const std::string& what, int row, int column, int rows = 1, int columns = 1) {
            for (int r = row; r < row + rows; ++r)
                for (int c = column; c < column + columns; ++c)
                    EXPECT_TRUE(taken.emplace(std::pair{r, c}, what).second)
                        << p.title << ": " << what << " and " << taken[{r, c}] << " at " << r << "," << c;
        };
        for (const Command* c : t.on(kMainWindow, p.title))
            if (c->row >= 0) take(c->control, c->row, c->column);
        for (const Field& f : t.fields()) {
            if (f.place != p.title) continue;
            if (f.check)
                optionRows.insert(f.row);
            else
                take(f.control, f.row, f.column);
        }
        for (const PageExtra& x : p.extras) {
            take(x.text + x.control, x.row, x.column, x.rowSpan, x.columnSpan);
            if (x.kind != PageExtra::LabelledButton) continue;
            const Command* button = t.find(x.control);
            EXPECT_TRUE(button && button->place == p.title) << x.control;
        }
        for (const auto& [cell, what] : taken) EXPECT_EQ(optionRows.count(cell.first), 0u) << p.title << ": " << what;
    }
}

}  // namespace
}  // namespace tolvex
