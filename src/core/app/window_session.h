// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window keeps beyond the librarian commands: the last file
// opened or saved (its title bar), the received messages never saved (its
// close question), one undo of Clear All Buffers / Clear Selected, and the
// texts of Help, About.
#pragma once

#include <cstddef>
#include <string>

#include "core/app/session.h"

namespace tolvex {

// The name listeners hear when the last file opened or saved changes.
inline constexpr char kLastFileChanged[] = "LastFile";

// Records `path` as the last file opened or saved.
void NoteLastFile(Session& s, const std::string& path);
// The last file opened or saved; empty before the first.
const std::string& LastFile(const Session& s);
// "NAME - Tolvex", or "Tolvex" before the first file.
std::string WindowTitle(const Session& s);

// Entries received over MIDI and not saved to a file since.
std::size_t UnsavedReceivedCount(const Session& s);
// Asked before the window closes (not on SIGTERM): with received messages
// never saved, the box "Save the N received messages?" with Save, Discard and
// Cancel. Save selects them and runs Save As. Returns whether to close: Save
// that saved them, Discard, or nothing to ask; Cancel or a save that did not
// happen keeps the window open.
bool ConfirmClose(Session& s);

// Clear Selected and Clear All Buffers keep what they remove until the next
// removal; Undo (Ctrl+Z) puts it back once, at the places it had.
void ClearSelectedWithUndo(Session& s);
void ClearAllWithUndo(Session& s);
bool CanUndoClear(const Session& s);
void UndoClear(Session& s);
// The name listeners hear when an undo becomes possible or is used up.
inline constexpr char kUndoChanged[] = "UndoClear";

// The About text: name, version, licence and the folders in use.
std::string AboutText(const Session& s);
// The README to show for Help: the installed one (share/doc/tolvex), else the
// repository's beside a build folder; empty when neither is there.
std::string ReadmePath(const std::string& progpath);

}  // namespace tolvex
