// Everything the main window knows, as a plain model. Commands are functions
// over a Session; the Qt window and the CLI bind to it through a Shell.
#pragma once

#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/debug_file.h"
#include "core/log_list.h"
#include "core/message_list.h"
#include "core/shell.h"
#include "core/sx_object.h"

namespace tolvex {

class MidiOutPort;

class Session {
public:
    explicit Session(Shell& shell) : shell(shell) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Shell& shell;

    MessageList messages;  // the Objects Window
    LogList log;           // the Debug Window

    int LogString(const std::string& text) { return log.LogString(text); }
    void debuglog(const std::string& s) { debugFile.debuglog(s); }

    // Message core state.
    TSXobject SX_Object{*this};
    TSXstorage* SX_stor = nullptr;  // most recent storage made for the list; the list owns it
    std::vector<Bytes> SX_List;     // filled by the file readers
    std::string short_desc_string;  // short display text message naming may set
    bool MIDI_In_Present = false;
    bool MIDI_Out_Present = false;
    DebugFile debugFile;

    // The output the bulk sender uses (non-owning; set by whoever opens the device).
    MidiOutPort* midiOutput = nullptr;
};

}  // namespace tolvex
