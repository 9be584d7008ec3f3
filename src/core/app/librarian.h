// SPDX-License-Identifier: GPL-3.0-or-later
// The generic librarian commands of the main window: files, sending, viewing,
// deleting, the clipboard and the post-process hook.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app/session.h"

namespace tolvex {

// The messages of a .syx file; none when it was refused (after its box) or
// holds none. `withoutEndByte` counts unterminated messages.
std::vector<Bytes> ReadSXfile(Session& s, const std::string& source, int* withoutEndByte = nullptr);
// The same checks and boxes, but each message goes to `sink` as soon as it is
// read: a file of any size in the memory of its longest message.
bool ReadSXfile(Session& s, const std::string& source, const std::function<void(Bytes&&)>& sink);

// Appends the messages of a .syx file to the list, named (the Open Sysex command
// after its dialog). False when nothing was loaded.
bool OpenSysexFile(Session& s, const std::string& path);

void Open1sxClick(Session& s);         // "&Open Sysex"
void SaveAs1Click(Session& s);         // "&Save As"
void ListBox1Click(Session& s);        // a click in the Objects Window
void ViewSelectedClick(Session& s);    // "View Selected"
void Button_sendClick(Session& s);     // "Send Selected"
void ButtonClearSelClick(Session& s);  // "Clear Selected"
void Button_clearClick(Session& s);    // "Clear All Buffers"
void SendProgChangeClick(Session& s);  // "Program Change"
void ReqSysexClick(Session& s);        // "Send Sysex"

// Sends a program change on the output, when there is one.
void ProgChange(Session& s, int prgnum, int chan);

// Copies lines of the log to the clipboard: all lines, or the selected one;
// whole lines only, while the running count (length + 3 per line) stays below size.
void ListBoxToClipboard(Session& s, int size, bool all);
void lstLogContextPopup(Session& s);
void lstLogDblClick(Session& s);
// Copies the selected text of the hex-string box (the window passes it).
void SXreqStringContextPopup(Session& s, const std::string& selectedText);

void SetPostProcess(Session& s, const std::string& task, std::int32_t param);
void DoPostProcess(Session& s);

}  // namespace tolvex
