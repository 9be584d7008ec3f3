// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/midi_devices.h"
#include "core/app/table_files.h"
#include "core_test_util.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;
using testing::TempDir;

TEST(Settings, DefaultsWithoutAFileAndEverythingWrittenBackOnClose)
{
    TempDir dir;
    ScriptedShell shell;
    Session s(shell);
    installDeviceFamilies(s);
    FormCreate(s, dir.str());
    // Every other default shows in the file written back below.
    EXPECT_EQ(s.controls.text.get(ctl::Channel), "0");
    EXPECT_FALSE(s.controls.checked.get(ctl::Filter7F));
    EXPECT_EQ(s.paths.lastpath, dir.str());
    // The folder holds no tables: only the effect names' list is missed.
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text,
              "Cannot open table file \"" + dir.str() + "TriEffectNameList.txt\" - table left empty");

    s.controls.text.set(ctl::Channel, "2");
    s.controls.checked.set(ctl::Filter7F, true);
    s.paths.lastpath = "/music/syx/";
    FormClose(s);
    EXPECT_EQ(
        dir.read("TOLVEX.INI"),
        "[Settings]\r\nChannel=2\r\nSXreqString=\r\nSP_Bank_Num_edit=\r\nSP_DevID_edit=\r\nWS_Bank=0\r\n"
        "TriProg=0\r\nTriBank=0\r\nTriEfxPIDtxt=0\r\nTri_Gchan=1\r\nKroProg=0\r\nKroBank=0\r\n"
        "LastPath=/music/syx/\r\nSendDelayMs=0\r\nFilter7F=1\r\nXTCheckBox1=0\r\nWaitAck=0\r\nPassPrgBankVal=0\r\n"
        "AutoSendCB=0\r\n");
}

// Settings there but unreadable are said once and never replaced by the
// few the window knows (the user's own lines and sections would be gone).
TEST(Settings, SettingsThatCannotBeReadAreNeverWritten)
{
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        const char* reason;
    } cases[] = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "Is a directory"},
        {"no read permission",
         [](const std::string& p) {
             std::ofstream(p) << "[Settings]\r\nChannel=5\r\n[Mine]\r\nKeep=1\r\n";
             std::filesystem::permissions(p, std::filesystem::perms::owner_write);
         },
         "Permission denied"},
    };
    for (const auto& c : cases) {
        if (::geteuid() == 0 && std::string(c.reason) == "Permission denied") continue;  // root reads it anyway
        TempDir dir;
        const std::string ini = dir.str() + "TOLVEX.INI";
        c.make(ini);
        ScriptedShell shell;
        Session s(shell);
        installDeviceFamilies(s);
        FormCreate(s, dir.str());
        const auto& lines = s.log.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "Cannot read settings " + ini + ": " + c.reason + "; they will not be saved"),
                  1)
            << c.name;
        s.controls.text.set(ctl::Channel, "2");
        FormClose(s);
        std::error_code ec;
        EXPECT_EQ(std::filesystem::is_directory(ini), std::string(c.name) == "a folder") << c.name;
        if (!std::filesystem::is_directory(ini)) {
            std::filesystem::permissions(ini, std::filesystem::perms::owner_read, std::filesystem::perm_options::add);
            EXPECT_EQ(dir.read("TOLVEX.INI"), "[Settings]\r\nChannel=5\r\n[Mine]\r\nKeep=1\r\n") << c.name;
        }
    }
}

// A file named relative to the folder the program started in is opened from
// there, and its folder is remembered whole (never as an empty LastPath).
TEST(Settings, ARelativeFileNameIsTheStartFoldersAndItsFolderIsRemembered)
{
    TempDir dir;
    std::filesystem::create_directory(dir.str() + "syx");
    std::filesystem::copy_file(testing::fixture("yamaha/dx7-rom1a.syx"), dir.str() + "syx/ROM1A.syx");
    const auto before = std::filesystem::current_path();
    ScriptedShell shell;
    Session s(shell);
    installDeviceFamilies(s);
    FormCreate(s, dir.str());
    for (const char* name : {"syx/ROM1A.syx", "ROM1A.syx"}) {
        std::filesystem::current_path(std::string(name) == "ROM1A.syx" ? dir.str() + "syx" : dir.str());
        const std::size_t had = s.messages.count();
        OpenSysexFile(s, name);
        EXPECT_EQ(s.messages.count(), had + 1) << name;
        EXPECT_EQ(s.paths.lastpath, dir.str() + "syx/") << name;
    }
    std::filesystem::current_path(before);
    FormClose(s);
    EXPECT_NE(dir.read("TOLVEX.INI").find("LastPath=" + dir.str() + "syx/\r\n"), std::string::npos);
}

TEST(Settings, ValuesReadBackAsTheUserLeftThem)
{
    const struct {
        const char* line;
        int longTimeOut;
        bool passPrgBank;
        const char* channel;
    } cases[] = {{"LongTimeOut=30\nPassPrgBankVal=yes", 30, false, "0"},
                 {"LongTimeOut=30x\nPassPrgBankVal=-1", 100, true, "0"},
                 // Edited by hand: blanks around keys and values.
                 {"LongTimeOut = 30\n  PassPrgBankVal = 1 \nChannel = 5\t", 30, true, "5"}};
    for (const auto& c : cases) {
        TempDir dir;
        // Sections and keys in any case; the user's notes and own keys are kept.
        dir.write("TOLVEX.INI", std::string("; my notes\n[settings]\n") + c.line +
                                    "\nMyOwnKey=keep me\nxtcheckbox1=1\nLastPath=/x/\n");
        ScriptedShell shell;
        Session s(shell);
        installDeviceFamilies(s);
        FormCreate(s, dir.str());
        EXPECT_EQ(s.operation.LongTimeOutVal, c.longTimeOut) << c.line;
        EXPECT_EQ(s.controls.checked.get(ctl::PassPrgBank), c.passPrgBank) << c.line;
        EXPECT_EQ(s.controls.text.get(ctl::Channel), c.channel) << c.line;
        EXPECT_TRUE(legacyPagesVisible(s));
        EXPECT_EQ(s.paths.lastpath, "/x/");
        FormClose(s);
        const std::string written = dir.read("TOLVEX.INI");
        EXPECT_EQ(written.rfind("; my notes", 0), 0u) << written;
        EXPECT_NE(written.find("MyOwnKey=keep me"), std::string::npos) << written;
    }
}

// Remembered ports match whole names ignoring case and blanks; without one, no
// window takes a port of a Tolvex (its own or another window's) as its default.
// No box stops the start: what is amiss ends the start-up log and stays in the
// status bar; a box comes when a command needs the port that is missing, and
// "MIDI Interface Not Installed" only where there is no port at all.
TEST(Settings, RememberedDevicesMatchWholeNamesAndTolvexPortsAreNeverTheDefault)
{
    const char* const kInputGone = "Previously Selected MIDI Input Interface Not Present";
    const char* const kOutputGone = "Previously Selected MIDI Output Interface Not Present";
    const std::vector<std::string> synths{"Synth A", "Synth B"};
    const struct {
        std::vector<std::string> ports;  // empty: no MIDI system
        const char* remembered;
        int selected;
        std::vector<std::string> notices;
        const char* needingOutput;  // the box of a command needing the output ("": it sends)
    } cases[] = {
        {synths, " synth B ", 1, {}, ""},
        {synths, "Synth", 0, {kInputGone, kOutputGone}, ""},
        {{"Tolvex:Tolvex In 128:0", "Synth A", "Tolvex In"}, "", 1, {}, ""},
        // JACK with nothing but this program's own ports: nothing to choose by itself.
        {{"Tolvex In"}, "Synth", -1, {kInputGone, kOutputGone}, "Choose a MIDI Out port first"},
        {{"Tolvex In"}, "", -1, {}, "Choose a MIDI Out port first"},
        {{}, "Synth", -1, {"MIDI Interface Not Installed"}, "MIDI Interface Not Installed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.ports) + " / " + c.remembered);
        TempDir dir;
        dir.write("TOLVEX.INI", std::string("[MidiDevs]\nInput=") + c.remembered + "\nOutput=" + c.remembered + "\n");
        ScriptedShell shell;
        Session s(shell);
        MidiLoopback bus(c.ports);
        PortDevices devices(shell, bus.makeInput(), bus.makeOutput());
        s.midi.devices = &devices;
        InitMessageCore(s, false);
        FormCreate(s, dir.str());
        EXPECT_EQ(s.midi.cmbInput.itemIndex, c.selected);
        EXPECT_EQ(s.midi.cmbOutput.itemIndex, c.selected);
        EXPECT_TRUE(shell.boxes.empty());
        // Each notice is a line of the log, after the start-up lines.
        std::string status;
        for (const std::string& n : c.notices) status += (status.empty() ? "" : "; ") + n;
        EXPECT_EQ(s.controls.text.get(ctl::StatusBar), status);
        const auto& log = s.log.lines();
        EXPECT_TRUE(std::equal(c.notices.rbegin(), c.notices.rend(), log.rbegin()));
        SendProgChangeClick(s);
        std::vector<std::string> texts;
        for (const auto& b : shell.boxes) texts.push_back(b.text);
        EXPECT_EQ(texts, *c.needingOutput ? std::vector<std::string>{c.needingOutput} : std::vector<std::string>{});
        if (c.selected < 0) continue;
        EXPECT_TRUE(devices.inputOpen());
        EXPECT_NE(s.midi.midiOutput, nullptr);
        FormClose(s);
        EXPECT_FALSE(devices.inputOpen());
        // The fallback is what the next start finds.
        EXPECT_NE(dir.read("TOLVEX.INI").find("Input=" + s.midi.cmbInput.items[static_cast<std::size_t>(c.selected)]),
                  std::string::npos);
    }
}

TEST(Settings, DevicesThatCannotOpenAreReportedAndTheWindowGoesOn)
{
    TempDir dir;
    ScriptedShell shell;
    Session s(shell);
    MidiLoopback bus({"Synth A"});
    PortDevices devices(shell, bus.makeInput(), bus.makeOutput());
    s.midi.devices = &devices;
    InitMessageCore(s, false);
    FormCreate(s, dir.str());
    // The port disappears between listing and opening.
    s.midi.cmbInput.items = {"Unplugged"};
    s.midi.cmbOutput.items = {"Unplugged"};
    cmbInputChange(s);
    ASSERT_EQ(shell.boxes.size(), 2u);
    EXPECT_EQ(shell.boxes[0].title, "MIDI");
    EXPECT_EQ(shell.boxes[1].title, "MIDI");
    EXPECT_FALSE(devices.inputOpen());
    EXPECT_EQ(s.midi.midiOutput, nullptr);
    // A command needing the ports asks for a choice; with the output there, for the input.
    EXPECT_FALSE(requirePorts(s));
    EXPECT_EQ(shell.boxes.back().text, "Choose a MIDI Out port first");
    s.midi.cmbOutput.items = {"Synth A"};
    cmbOutputChange(s);
    EXPECT_FALSE(requirePorts(s));
    EXPECT_EQ(shell.boxes.back().text, "Choose a MIDI In port first");
}

// Devices whose port lists change while the program runs (a synth switched on).
class ChangingDevices : public MidiDevices {
public:
    std::vector<std::string> ins{"Synth A"}, outs{"Synth A"};
    std::vector<std::string> inputNames() const override { return ins; }
    std::vector<std::string> outputNames() const override { return outs; }
    void openInput(const std::string&, bool) override {}
    void closeInput() override {}
    void openOutput(const std::string&) override {}
    void closeOutput() override {}
    bool inputOpen() const override { return true; }
    bool outputOpen() const override { return true; }
    MidiOutPort* output() override { return nullptr; }
    std::optional<TMyMidiEvent> GetMidiEvent() override { return std::nullopt; }
    std::uint32_t takeOverflowDrops() override { return 0; }
};

// At the start a port that will not open is a notice; once the window is
// there, a choice that fails says so in a box.
TEST(Settings, APortThatWillNotOpenAtTheStartIsANotice)
{
    struct Busy : ChangingDevices {
        void openInput(const std::string& name, bool) override { throw TolvexError(name + " is busy"); }
    };
    TempDir dir;
    ScriptedShell shell;
    Session s(shell);
    Busy devices;
    s.midi.devices = &devices;
    InitMessageCore(s, false);
    FormCreate(s, dir.str());
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_EQ(s.controls.text.get(ctl::StatusBar), "Synth A is busy");
    EXPECT_EQ(s.log.lines().back(), "Synth A is busy");
    cmbInputChange(s);
    EXPECT_EQ(s.controls.text.get(ctl::StatusBar), "");
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "Synth A is busy");
}

TEST(Settings, PortListsAreAskedAnewWhenASelectorOpensKeepingTheChoice)
{
    TempDir dir;
    ScriptedShell shell;
    Session s(shell);
    ChangingDevices devices;
    s.midi.devices = &devices;
    InitMessageCore(s, false);
    FormCreate(s, dir.str());
    std::vector<std::string> changes;
    s.addListener([&](const std::string& name) { changes.push_back(name); });

    devices.ins = {"Drum Machine", "Synth A", "Synth B"};
    devices.outs = {"Synth B"};  // the chosen output has gone
    RefreshInputSelector(s);
    RefreshOutputSelector(s);
    EXPECT_EQ(s.midi.cmbInput.items, devices.ins);
    EXPECT_EQ(s.midi.cmbInput.text(), "Synth A");
    EXPECT_EQ(s.midi.cmbOutput.items, (std::vector<std::string>{"Synth B", "Synth A"}));
    EXPECT_EQ(s.midi.cmbOutput.text(), "Synth A");
    EXPECT_EQ(changes, (std::vector<std::string>{ctl::cmbInput, ctl::cmbOutput}));
    RefreshInputSelector(s);  // nothing new: the window is not disturbed
    EXPECT_EQ(changes.size(), 2u);
}

// An installed program (share/tolvex beside its bin folder) whose home cannot
// be written: it says so once at start, keeps working, shows no box at close
// and never writes into its program folder.
TEST(Settings, AnInstalledCopyWithAnUnwritableHomeNeverFallsBackToItsProgramFolder)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("usr/bin"));
    std::filesystem::create_directories(dir.file("usr/share/tolvex"));
    dir.write("home", "a file where the home folder should be");  // unwritable even for root
    const testing::ScopedEnv home("HOME", dir.file("home"));
    const testing::ScopedEnv config("XDG_CONFIG_HOME", "");
    const testing::ScopedEnv state("XDG_STATE_HOME", "");
    ScriptedShell shell;
    Session s(shell);
    FormCreate(s, dir.file("usr/bin"));
    const std::string problem = "Settings cannot be saved: " + dir.file("home/.config/tolvex/") + ": Not a directory";
    EXPECT_EQ(std::count(s.log.lines().begin(), s.log.lines().end(), problem), 1);
    EXPECT_EQ(s.paths.lastpath, dir.file("home") + "/");  // the first Open starts at home, not in /usr/bin
    EXPECT_EQ(diagnosticsFolder(dir.file("usr/bin")), "");
    s.controls.text.set(ctl::Channel, "5");
    FormClose(s);
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("usr/bin/TOLVEX.INI")));

    // With a state folder, its diagnostic files go there; a build copy keeps the current folder.
    const testing::ScopedEnv stateHere("XDG_STATE_HOME", dir.file("state"));
    EXPECT_EQ(diagnosticsFolder(dir.file("usr/bin")), dir.file("state/tolvex/"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("state/tolvex")));
    EXPECT_EQ(diagnosticsFolder(dir.str()), "");
}

// An installed copy started in the home folder (from the menu) writes the
// reports a user asks for beside the last file opened or saved; started
// elsewhere, or as a build copy, it keeps the current folder.
TEST(Settings, ReportsOfACopyStartedAtHomeGoBesideTheLastFile)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("usr/bin"));
    std::filesystem::create_directories(dir.file("usr/share/tolvex"));
    std::filesystem::create_directories(dir.file("home/dumps"));
    std::filesystem::create_directories(dir.file("work"));
    const testing::ScopedEnv home("HOME", dir.file("home"));
    const struct {
        std::string progpath, startedIn;
        bool follows;
    } cases[] = {{dir.file("usr/bin"), dir.file("home"), true},
                 {dir.file("usr/bin"), dir.file("work"), false},
                 {dir.str(), dir.file("home"), false}};
    const testing::InFolder restore("");
    for (const auto& c : cases) {
        EXPECT_EQ(reportsFollowLastFile(c.progpath, c.startedIn), c.follows) << c.progpath << " in " << c.startedIn;
        std::filesystem::current_path(c.startedIn);
        ScriptedShell shell;
        Session s(shell);
        s.paths.reportsFollowLastFile = reportsFollowLastFile(c.progpath, c.startedIn);
        s.paths.lastpath = dir.file("home/dumps") + "/";
        enterReportsFolder(s);
        const std::string expected = c.follows ? dir.file("home/dumps") : c.startedIn;
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), expected)) << c.startedIn;
    }
}

TEST(Log, ResizeGivesVisibleLines)
{
    ScriptedShell shell;
    Session s(shell);
    const int cases[][3] = {{385, 13, 28}, {100, 0, 0}, {100, -1, 0}, {12, 13, 0}};
    for (const auto& c : cases) {
        FormResize(s, c[0], c[1]);
        EXPECT_EQ(s.log.LogItemsVis, c[2]);
    }
}

}  // namespace
}  // namespace tolvex
