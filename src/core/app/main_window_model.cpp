// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/main_window_model.h"

#include "core/app/incoming.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/mem_stats.h"
#include "core/app/midi_devices.h"
#include "core/app/table_files.h"
#include "core/text/atomic_file.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"
#include "core/text/version_info.h"

namespace tolvex {

namespace {

// A port of this program, of this or another running copy: never a default,
// or a window would talk to itself or to the other window.
bool isTolvexPort(const std::string& name)
{
    const std::string lower = lowerCase(name);
    return lower.find("tolvex in") != std::string::npos || lower.find("tolvex out") != std::string::npos;
}

// A line in the log and in the status bar. What the start finds amiss is told
// so, never in a box: the user meets it beside the port lists it concerns,
// instead of having to answer it before the window shows.
void notice(Session& s, const std::string& text)
{
    s.log.LogString(text);
    const std::string shown = s.controls.text.get(ctl::StatusBar);
    s.controls.text.set(ctl::StatusBar, shown.empty() ? text : shown + "; " + text);
}

// Fills a selector and selects the remembered device, or the first one that is
// no Tolvex port; `missing` gets the notice when a remembered one is gone.
void fillSelector(Session& s, DeviceSelector& sel, const std::vector<std::string>& names, const std::string& remembered,
                  const char* warning, const char* changeName, std::vector<std::string>& missing)
{
    sel.items = names;
    const auto firstOther = std::find_if_not(names.begin(), names.end(), isTolvexPort);
    sel.itemIndex = firstOther == names.end() ? -1 : static_cast<int>(firstOther - names.begin());
    if (!remembered.empty()) {
        const auto it = std::find_if(names.begin(), names.end(),
                                     [&](const std::string& n) { return equalsIgnoringCase(n, remembered); });
        if (it != names.end())
            sel.itemIndex = static_cast<int>(it - names.begin());
        else
            missing.push_back(warning);
    }
    s.changed(changeName);
}

// Shows a device's failure in a box titled "MIDI", or, at the start, adds it
// to `notices`; the window goes on without the device.
template <class F>
void tryDevice(Session& s, F&& f, std::vector<std::string>* notices = nullptr)
{
    try {
        f();
    } catch (const TolvexError& e) {
        if (notices)
            notices->push_back(e.what());
        else
            s.shell.messageBox("MIDI", e.what(), MsgIcon::Error);
    }
}

void openDevices(Session& s, std::vector<std::string>* notices)
{
    MidiDevices* d = s.midi.devices;
    if (s.midi.MIDI_In_Present && d) {
        if (!s.midi.cmbInput.text().empty())
            tryDevice(
                s, [&] { d->openInput(s.midi.cmbInput.text(), true); }, notices);
    } else {
        s.midi.cmbInput.enabled = false;
        s.changed(ctl::cmbInput);
    }
    if (s.midi.MIDI_Out_Present && d) {
        if (!s.midi.cmbOutput.text().empty())
            tryDevice(
                s, [&] { d->openOutput(s.midi.cmbOutput.text()); }, notices);
        s.midi.midiOutput = d->output();
    } else {
        s.midi.cmbOutput.enabled = false;
        s.changed(ctl::cmbOutput);
    }
}

// The boxes the settings file keeps: the window's own, then each family's.
std::vector<RememberedControl> rememberedControls(const Session& s)
{
    std::vector<RememberedControl> out = {{ctl::Channel, "Channel", "0"},
                                          {ctl::SXreqString, "SXreqString", ""},
                                          {ctl::Filter7F, "Filter7F", "", true},
                                          {ctl::XTCheckBox1, "XTCheckBox1", "", true},
                                          {ctl::WaitAck, "WaitAck", "", true}};
    for (const auto& f : s.families.all())
        for (const RememberedControl& c : f->remembered()) out.push_back(c);
    return out;
}

std::string homeFolder(const std::string& fallback)
{
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + (std::string(home).back() == '/' ? "" : "/") : fallback;
}

// A folder as the user finds it: "" is the current folder.
std::string absoluteFolder(const std::string& folder)
{
    if (!folder.empty()) return folder;
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    return ec ? std::string("./") : here.string() + "/";
}

}  // namespace

void ensureSettingsFile(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec) return;
    try {
        writeFileReplacing(
            path, [](std::ostream& out) { out << "; Tolvex settings, written back when the main window closes\r\n"; },
            "Cannot create settings file " + path, "Cannot write settings file " + path);
    } catch (const TolvexError&) {
    }
}

void InitMessageCore(Session& s, bool writeDebugFile)
{
    if (writeDebugFile && !s.log.debugFile.open(s.paths.diagnosticPath(DebugFile::kDefaultName)))
        s.log.LogString("Could not create " + s.log.debugFile.path());
    s.midi.MIDI_In_Present = s.midi.devices && !s.midi.devices->inputNames().empty();
    s.midi.MIDI_Out_Present = s.midi.devices && !s.midi.devices->outputNames().empty();
}

void FormCreate(Session& s, const std::string& progpath)
{
    s.shell.setBusyCursor(true);
    s.log.logItemMax = 300;
    s.paths.progpath = progpath;
    if (!s.paths.progpath.empty() && s.paths.progpath.back() != '/') s.paths.progpath += '/';
    s.midi.MidInDevName.clear();
    s.midi.MidOutDevName.clear();
    s.operation.CancelState = false;
    s.operation.CancelVisible = false;
    s.changed(ctl::Cancel);

    s.controls.text.set(ctl::ProgChange, "1");

    s.paths.settingsFolder = settingsFolder(s.paths.progpath);
    const std::string settingsTrouble = settingsProblem(s.paths.settingsFolder);
    s.paths.settingsWritable = settingsTrouble.empty();
    const IniFile ini(s.paths.settingsFolder + kSettingsFileName);
    // Settings that cannot be read are never written over with what little is known.
    const std::string readTrouble = ini.readError().empty() ? std::string()
                                                            : "Cannot read settings " + ini.path() + ": " +
                                                                  ini.readError() + "; they will not be saved";
    if (!readTrouble.empty()) s.paths.settingsWritable = false;
    if (s.midi.MIDI_In_Present) s.midi.MidInDevName = ini.ReadString("MidiDevs", "Input", "");
    if (s.midi.MIDI_Out_Present) s.midi.MidOutDevName = ini.ReadString("MidiDevs", "Output", "");

    const std::string longTimeOut = ini.ReadString("Settings", "LongTimeOut", "");
    s.paths.lastpath = ini.ReadString("Settings", "LastPath", "");
    for (const RememberedControl& c : rememberedControls(s)) {
        if (c.check)
            s.controls.checked.set(c.control, ini.ReadBool("Settings", c.key));
        else
            s.controls.text.set(c.control, ini.ReadString("Settings", c.key, c.firstText));
    }

    if (s.paths.lastpath.empty())
        s.paths.lastpath = portableCopy(s.paths.progpath) ? s.paths.progpath : homeFolder(s.paths.progpath);
    if (!parseDecimal(longTimeOut, s.operation.LongTimeOutVal)) s.operation.LongTimeOutVal = 100;
    s.midi.SendDelayMs = std::max(0, ini.ReadInteger("Settings", "SendDelayMs", 0));

    for (const auto& f : s.families.all()) f->readSettings(s, ini);

    // What the ports lack is told after the start-up lines, where the eye
    // lands; the port lists show what there is.
    std::vector<std::string> missing;
    if (!s.midi.portsByOption && !s.midi.MIDI_In_Present && !s.midi.MIDI_Out_Present)
        missing.push_back(kNoMidiInterface);
    if (s.midi.MIDI_In_Present && s.midi.devices)
        fillSelector(s, s.midi.cmbInput, s.midi.devices->inputNames(), s.midi.MidInDevName,
                     "Previously Selected MIDI Input Interface Not Present", ctl::cmbInput, missing);
    if (s.midi.MIDI_Out_Present && s.midi.devices)
        fillSelector(s, s.midi.cmbOutput, s.midi.devices->outputNames(), s.midi.MidOutDevName,
                     "Previously Selected MIDI Output Interface Not Present", ctl::cmbOutput, missing);

    openDevices(s, &missing);

    s.log.LogString(GetExeVersion(4));
    s.log.LogString(GetExeVersion(3));
    const HeapStats heap = heapStats();
    s.log.LogString(format("allocated mem count: %llu, size %llu", static_cast<unsigned long long>(heap.blocks),
                           static_cast<unsigned long long>(heap.bytes)));
    for (const auto& f : s.families.all())
        for (const std::string& line : f->summaries(s)) s.log.LogString(line);
    s.log.LogString("Settings file: " + s.paths.settingsFolder + kSettingsFileName);
    if (!settingsTrouble.empty()) s.log.LogString(settingsTrouble);
    if (!readTrouble.empty()) s.log.LogString(readTrouble);
    s.log.LogString("Diagnostic files: " + absoluteFolder(s.paths.diagnosticsFolder));
    enterReportsFolder(s);
    s.log.LogString(std::string("Reports: ") +
                    (s.paths.reportsFollowLastFile ? "the folder of the last opened or saved file, now " : "") +
                    absoluteFolder(""));
    for (const std::string& text : missing) notice(s, text);

    s.operation.MidiInBusy = false;
    s.changed(ctl::MidiInBusy);
    s.shell.setBusyCursor(false);

    s.controls.text.set(ctl::SXrecvString, "");
    s.controls.text.set(ctl::MemLabel, memLabelText());
    for (const auto& f : s.families.all()) {
        try {
            f->loadLists(s, s.paths.progpath);
        } catch (const TolvexError& e) {
            s.shell.messageBox("Error", e.what(), MsgIcon::Error);
        }
    }
    s.operation.PendingPostProcess = false;
}

void FormClose(Session& s)
{
    for (const auto& f : s.families.all()) f->shutDown(s);
    // Said once at start-up when the settings folder could not be made; no box now.
    if (!s.paths.settingsWritable) {
        CloseDevs(s);
        s.messages.clear();
        return;
    }
    IniFile ini((s.paths.settingsFolder.empty() ? s.paths.progpath : s.paths.settingsFolder) + kSettingsFileName);
    if (s.midi.MIDI_In_Present && s.midi.cmbInput.itemIndex >= 0)
        ini.WriteString("MidiDevs", "Input", s.midi.cmbInput.text());
    if (s.midi.MIDI_Out_Present && s.midi.cmbOutput.itemIndex >= 0)
        ini.WriteString("MidiDevs", "Output", s.midi.cmbOutput.text());
    const std::vector<RememberedControl> remembered = rememberedControls(s);
    for (const RememberedControl& c : remembered)
        if (!c.check) ini.WriteString("Settings", c.key, s.controls.text.get(c.control));
    if (!s.paths.lastpath.empty()) ini.WriteString("Settings", "LastPath", s.paths.lastpath);
    ini.WriteString("Settings", "SendDelayMs", std::to_string(s.midi.SendDelayMs));
    for (const RememberedControl& c : remembered)
        if (c.check) ini.WriteBool("Settings", c.key, s.controls.checked.get(c.control));
    try {
        ini.UpdateFile();
    } catch (const TolvexError& e) {
        // The user would lose the settings without knowing; say so and close anyway.
        s.shell.messageBox("Error", e.what(), MsgIcon::Error);
    }
    CloseDevs(s);
    s.messages.clear();
}

void OpenDevs(Session& s)
{
    openDevices(s, nullptr);
}

void CloseDevs(Session& s)
{
    MidiDevices* d = s.midi.devices;
    if (s.midi.MIDI_In_Present && d) tryDevice(s, [&] { d->closeInput(); });
    InputStopped(s);
    s.shell.pause(100);
    if (s.midi.MIDI_Out_Present && d) tryDevice(s, [&] { d->closeOutput(); });
    s.midi.midiOutput = nullptr;
    s.shell.pause(100);
}

void cmbInputChange(Session& s)
{
    // The user has chosen: what the start said about the ports is past.
    s.controls.text.set(ctl::StatusBar, "");
    s.shell.setBusyCursor(true);
    CloseDevs(s);
    OpenDevs(s);
    s.shell.setBusyCursor(false);
}

void cmbOutputChange(Session& s)
{
    cmbInputChange(s);
}

namespace {

void refreshSelector(Session& s, DeviceSelector& sel, std::vector<std::string> names, const char* changeName)
{
    const std::string current = sel.text();
    int index = -1;
    if (!current.empty()) {
        const auto it = std::find(names.begin(), names.end(), current);
        if (it == names.end()) names.push_back(current);
        index = static_cast<int>(std::find(names.begin(), names.end(), current) - names.begin());
    }
    if (names == sel.items && index == sel.itemIndex) return;
    sel.items = std::move(names);
    sel.itemIndex = index;
    s.changed(changeName);
}

}  // namespace

void RefreshInputSelector(Session& s)
{
    if (s.midi.devices && s.midi.cmbInput.enabled)
        refreshSelector(s, s.midi.cmbInput, s.midi.devices->inputNames(), ctl::cmbInput);
}

void RefreshOutputSelector(Session& s)
{
    if (s.midi.devices && s.midi.cmbOutput.enabled)
        refreshSelector(s, s.midi.cmbOutput, s.midi.devices->outputNames(), ctl::cmbOutput);
}

bool legacyPagesVisible(const Session& s)
{
    return s.controls.checked.get(ctl::XTCheckBox1);
}

void XTCheckBox1Click(Session& s, bool checked)
{
    s.controls.checked.set(ctl::XTCheckBox1, checked);
}

void enterReportsFolder(Session& s)
{
    if (!s.paths.reportsFollowLastFile || s.paths.lastpath.empty()) return;
    std::error_code ec;
    if (std::filesystem::is_directory(s.paths.lastpath, ec)) std::filesystem::current_path(s.paths.lastpath, ec);
}

bool reportsFollowLastFile(const std::string& progpath, const std::string& currentFolder)
{
    const char* home = std::getenv("HOME");
    if (portableCopy(progpath) || !home || !*home) return false;
    std::error_code ec;
    return std::filesystem::equivalent(currentFolder, home, ec);
}

void ClearLogButtonClick(Session& s)
{
    s.log.clear();
}

void FormResize(Session& s, int logHeight, int lineHeight)
{
    s.log.LogItemsVis = lineHeight <= 0 ? 0 : std::max(0, logHeight / lineHeight - 1);
}

std::string memLabelText()
{
    return format("Memory: %llu K", static_cast<unsigned long long>(heapStats().bytes / 1024));
}

}  // namespace tolvex
