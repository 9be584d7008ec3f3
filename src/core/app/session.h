// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the main window knows, as a plain model. Commands are functions
// over a Session; the Qt window and the CLI bind to it through a Shell and the
// change notifications below.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "core/app/device_family.h"
#include "core/app/log_list.h"
#include "core/app/shell.h"
#include "core/sysex/debug_file.h"
#include "core/sysex/message_list.h"
#include "core/sysex/sx_naming.h"
#include "core/sysex/sx_object.h"
#include "core/text/bytes.h"
#include "core/text/ini_file.h"

namespace tolvex {

class MidiDevices;
class MidiOutPort;
class Session;

// Values of controls by control name (edit box texts, labels, check boxes).
// Setting a different value reports the name to the session's listeners.
template <class T>
class FieldMap {
public:
    explicit FieldMap(std::function<void(const std::string&)> changed) : changed_(std::move(changed)) {}
    T get(const std::string& name) const
    {
        const auto it = values_.find(name);
        return it == values_.end() ? T{} : it->second;
    }
    void set(const std::string& name, const T& value)
    {
        auto [it, inserted] = values_.try_emplace(name, value);
        if (!inserted) {
            if (it->second == value) return;
            it->second = value;
        }
        changed_(name);
    }
    const std::map<std::string, T>& all() const { return values_; }

private:
    std::map<std::string, T> values_;
    std::function<void(const std::string&)> changed_;
};

// A drop-down device selector.
struct DeviceSelector {
    std::vector<std::string> items;
    int itemIndex = -1;  // -1: nothing selected
    bool enabled = true;
    std::string text() const
    {
        return itemIndex >= 0 && itemIndex < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(itemIndex)]
                                                                            : std::string();
    }
};

// The log ("Debug Window", lstLog) and the diagnostic file beside it.
class SessionLog : public LogList {
public:
    // A diagnostic line; a debug file that cannot be created never stops the
    // command that writes to it: the log says so once.
    void debuglog(const std::string& s)
    {
        if (!debugFile.debuglog(s)) LogString("Could not create " + debugFile.path());
    }

    DebugFile debugFile;
};

// The values of the window's controls by control name (core/app/controls.h):
// edit boxes and labels, check boxes, drop-downs and result colours. Setting a
// different value reports the name to the session's listeners.
class ControlValues {
public:
    explicit ControlValues(const std::function<void(const std::string&)>& changed)
        : text(changed), checked(changed), chosen(changed), textColor(changed)
    {
    }

    FieldMap<std::string> text;  // edit boxes and labels
    FieldMap<bool> checked;      // check boxes
    FieldMap<int> chosen;        // drop-downs: the 1-based entry chosen (0: none yet)
    // Text colours of buttons that show a result ("green", "red"; empty: the usual colour).
    FieldMap<std::string> textColor;

    // The decimal number in edit box `name` (an optional '+' or '-', digits,
    // nothing else); nothing when the box holds no number or one out of int's range.
    std::optional<int> number(const std::string& name) const
    {
        int value = 0;
        if (!parseDecimal(text.get(name), value)) return std::nullopt;
        return value;
    }
    // The same, and nothing when the number lies outside first..last.
    std::optional<int> number(const std::string& name, int first, int last) const
    {
        const std::optional<int> value = number(name);
        if (!value || *value < first || *value > last) return std::nullopt;
        return value;
    }
};

// The MIDI devices and what the session knows of them: the ports, the
// selectors, the receive assembler, what was lost, and the bulk send.
struct MidiState {
    explicit MidiState(LineLog& log) : SX_Object(log) {}

    // The two devices (non-owning; nullptr on a machine without MIDI support).
    MidiDevices* devices = nullptr;
    // The output the bulk sender uses (non-owning; set by OpenDevs or a test).
    MidiOutPort* midiOutput = nullptr;
    bool MIDI_In_Present = false;
    bool MIDI_Out_Present = false;
    // The ports are chosen on the command line (--in, --out), not in the
    // window's selectors: a command without its port names the option.
    bool portsByOption = false;
    DeviceSelector cmbInput;
    DeviceSelector cmbOutput;
    std::string MidInDevName, MidOutDevName;

    // Assembles the SysEx messages that arrive; progress goes to the session's log.
    TSXobject SX_Object;
    std::int32_t NumMIDIevents = 0;

    std::uint64_t overflowDrops = 0;
    // What the MIDI service lost on the input: events it dropped and messages
    // discarded for holes; the log says so at most once a second.
    std::uint64_t midiDataLost = 0;
    std::uint64_t lostEventsUnlogged = 0;
    std::uint64_t missedPeriodsUnlogged = 0;
    std::uint64_t overrunsUnlogged = 0;
    std::int64_t lostEventsLoggedAt = -1000000;
    std::string lostBoxText;  // the last "MIDI device lost" box, and when it was shown
    std::int64_t lostBoxAt = 0;

    int SendDelayMs = 0;  // pause between two messages of "Send Selected"
    // While a send waits for an instrument's answer: takes each complete
    // message arriving before it is stored; true when it was the answer
    // (it is then not stored). Unset otherwise.
    std::function<bool(ByteView)> answerWatch;
    bool SendRunning = false;  // "Send Selected" is sending; commands that remove entries wait
};

// The folders the session reads from and writes to.
struct Folders {
    std::string progpath;          // program folder, ending in the path separator
    std::string settingsFolder;    // where TOLVEX.INI lives: the program folder, or the user's when installed
    bool settingsWritable = true;  // false: the settings folder could not be made; nothing is written at close
    // Where diagnostic files ("debugfile.txt", "debugINI.txt", traces) go, ending
    // in '/': empty for the current folder (a build or portable copy), the
    // user's state folder for an installed one.
    std::string diagnosticsFolder;
    std::string diagnosticPath(const std::string& name) const { return diagnosticsFolder + name; }
    // The command line creates a diagnostic file only with its first line, and
    // keeps no record of the settings it read ("debugINI.txt").
    bool diagnosticsOnFirstLine = false;
    // An installed copy started in the home folder (from the menu): reports go
    // to the folder of the last opened or saved file instead of scattering in home.
    bool reportsFollowLastFile = false;
    std::string lastpath;  // folder the file dialogs open in
};

// The state of the operation that runs: the busy lamp, the wait and its
// time-out, Cancel, and the post-process that follows the next stored message.
struct Operation {
    bool MidiInBusy = false;
    int busyInterval = 0;  // current interval of the busy-lamp timer, ms
    bool Timed_Out = false;
    std::int32_t LongTimeOut = 0;       // ticks left of the running wait
    std::int32_t LongTimeOutVal = 100;  // ticks a wait lasts (the settings' LongTimeOut)
    bool CancelState = false;
    bool CancelVisible = false;  // the Cancel button is shown and enabled only while an operation offers it
    bool PendingPostProcess = false;
    std::string PostProcessTask;
    std::int32_t PostProcessParam = 0;
    // Tasks a post-process may run after the next stored message, by name
    // (device families register theirs, e.g. "TriParseEfx").
    std::map<std::string, std::function<void(Session&, std::int32_t)>> postProcessTasks;
};

// What the main window keeps of its own: the file it shows in its title, and
// what the last Clear removed, for Undo.
struct WindowState {
    std::string lastFile;  // the last file opened or saved; "" before any
    // Each entry the last Clear removed, with its index in the list as it was,
    // and that list's length, so that entries appended since stay behind.
    struct Removed {
        std::size_t index;
        std::string text;
        TSXstorage storage;
        bool selected;
    };
    std::vector<Removed> clearRemoved;
    std::size_t countBeforeClear = 0;
};

class Session {
public:
    explicit Session(Shell& shell_) : shell(shell_) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Shell& shell;

    MessageList messages;  // the Objects Window (ListBox1) and its selection
    SessionLog log;        // the Debug Window (lstLog) and the debug file
    ControlValues controls{[this](const std::string& n) { changed(n); }};
    MidiState midi{log};
    Folders paths;
    Operation operation;
    WindowState window;
    FamilyRegistry families;  // the device families, their naming steps and working records

    // Listeners hear the name of every control or state that changed
    // (a control name such as "Channel", or "MidiInBusy", "cmbInput", "Cancel").
    void addListener(std::function<void(const std::string&)> listener) { listeners_.push_back(std::move(listener)); }
    void changed(const std::string& name)
    {
        for (auto& l : listeners_) l(name);
    }

    // Hears every message received and stored in the list (the patch library's "Add received dumps").
    std::function<void(const Bytes&)> receivedStored;

    // Set by the window: "E&xit" closes it (nothing to close without one).
    std::function<void()> closeWindow;

private:
    std::vector<std::function<void(const std::string&)>> listeners_;
};

}  // namespace tolvex
