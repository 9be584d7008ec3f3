// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, device selection and close of the main window, as functions over
// the Session. The Qt window and the CLI call these; they hold no behaviour.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/app/session.h"

namespace tolvex {

class IniFile;

inline constexpr char kSettingsFileName[] = "TOLVEX.INI";

// Creates the settings file with only a comment when it does not exist yet;
// a folder that cannot be written is left alone (the close reports it).
void ensureSettingsFile(const std::string& path);

// The message core's start-up: device presence flags and the debug file (when
// writeDebugFile).
void InitMessageCore(Session& s, bool writeDebugFile);

// The main window's creation step: settings (the boxes the session's families
// keep, and their own sections), selectors, devices, start-up log (with the
// families' summaries), then the families' lists. What it finds amiss with
// the ports (no MIDI system, a remembered port gone, a port that would not
// open) ends the start-up log and shows in the status bar (ctl::StatusBar);
// no box waits for the user before the window shows.
void FormCreate(Session& s, const std::string& progpath);
// Shuts the families down, writes the settings back and closes the devices;
// frees the stored messages.
void FormClose(Session& s);

void OpenDevs(Session& s);
void CloseDevs(Session& s);
// A device selector changed: close both devices and open them again (a port
// that will not open says so in a box now); the status bar is cleared.
void cmbInputChange(Session& s);
void cmbOutputChange(Session& s);
// A selector is about to open: its port list is asked anew, keeping the
// current choice (also when its port has gone, so the user sees what is open).
void RefreshInputSelector(Session& s);
void RefreshOutputSelector(Session& s);

// The pages of the older instruments are shown exactly while "Enable Legacy (Unsupported)" is checked.
bool legacyPagesVisible(const Session& s);
void XTCheckBox1Click(Session& s, bool checked);

// Makes the folder reports go to the current folder: with
// reportsFollowLastFile, the folder of the last opened or saved file.
void enterReportsFolder(Session& s);
// Whether an installed program started in `currentFolder` keeps its reports
// beside the last file instead (it was started from the menu, in the home folder).
bool reportsFollowLastFile(const std::string& progpath, const std::string& currentFolder);

void ClearLogButtonClick(Session& s);
// LogItemsVis from the log list's height and line height.
void FormResize(Session& s, int logHeight, int lineHeight);

// "Memory: %d K" from the process's heap use.
std::string memLabelText();

}  // namespace tolvex
