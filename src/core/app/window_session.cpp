// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/window_session.h"

#include <filesystem>
#include <vector>

#include "core/app/librarian.h"
#include "core/app/table_files.h"
#include "core/text/bytes.h"
#include "core/text/version_info.h"

namespace tolvex {

namespace {

void keepForUndo(Session& s, const std::vector<std::size_t>& indexes)
{
    WindowState& w = s.window;
    w.clearRemoved.clear();
    w.countBeforeClear = s.messages.count();
    w.clearRemoved.reserve(indexes.size());
    for (std::size_t i : indexes)
        w.clearRemoved.push_back({i, s.messages.textAt(i), *s.messages.at(i).storage, s.messages.selectedAt(i)});
    s.changed(kUndoChanged);
}

}  // namespace

void NoteLastFile(Session& s, const std::string& path)
{
    s.window.lastFile = path;
    s.changed(kLastFileChanged);
}

const std::string& LastFile(const Session& s)
{
    return s.window.lastFile;
}

std::string WindowTitle(const Session& s)
{
    const std::string& path = LastFile(s);
    if (path.empty()) return "Tolvex";
    return std::filesystem::path(path).filename().string() + " - Tolvex";
}

std::size_t UnsavedReceivedCount(const Session& s)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.messages.count(); ++i)
        if (s.messages.at(i).storage->unsaved) ++n;
    return n;
}

bool ConfirmClose(Session& s)
{
    const std::size_t n = UnsavedReceivedCount(s);
    if (n == 0) return true;
    const MsgResult answer =
        s.shell.captionedBox("Tolvex", format("Save the %zu received messages?", n), MsgIcon::Question,
                             MsgButtons::YesNoCancel, {"Save", "Discard", "Cancel"});
    if (answer == MsgResult::Cancel) return false;
    if (answer != MsgResult::Yes) return true;  // Discard
    std::vector<bool> selection(s.messages.count());
    for (std::size_t i = 0; i < s.messages.count(); ++i) selection[i] = s.messages.at(i).storage->unsaved;
    s.messages.setSelection(selection);
    SaveAs1Click(s);
    return UnsavedReceivedCount(s) == 0;
}

void ClearSelectedWithUndo(Session& s)
{
    if (s.midi.SendRunning || s.messages.selectedCount() == 0) {
        ButtonClearSelClick(s);  // refuses or does nothing, as it says
        return;
    }
    keepForUndo(s, s.messages.selectedIndexes());
    ButtonClearSelClick(s);
}

void ClearAllWithUndo(Session& s)
{
    if (s.midi.SendRunning || s.messages.empty()) {
        Button_clearClick(s);
        return;
    }
    std::vector<std::size_t> all(s.messages.count());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    keepForUndo(s, all);
    Button_clearClick(s);
}

bool CanUndoClear(const Session& s)
{
    return !s.window.clearRemoved.empty();
}

void UndoClear(Session& s)
{
    WindowState& undo = s.window;
    if (undo.clearRemoved.empty() || s.midi.SendRunning) return;
    // The list holds what the Clear kept, then what came since; rebuild it in the old order.
    struct Entry {
        std::string text;
        TSXstorage storage;
        bool selected;
    };
    std::vector<Entry> now;
    now.reserve(s.messages.count());
    for (std::size_t i = 0; i < s.messages.count(); ++i)
        now.push_back({s.messages.textAt(i), *s.messages.at(i).storage, s.messages.selectedAt(i)});
    const std::size_t kept = undo.countBeforeClear - undo.clearRemoved.size();
    std::vector<bool> selection;
    s.messages.clear();
    std::size_t nextKept = 0, nextRemoved = 0;
    const auto add = [&](std::string text, TSXstorage storage, bool selected) {
        s.messages.append(std::move(text), std::make_unique<TSXstorage>(std::move(storage)));
        selection.push_back(selected);
    };
    for (std::size_t i = 0; i < undo.countBeforeClear; ++i) {
        if (nextRemoved < undo.clearRemoved.size() && undo.clearRemoved[nextRemoved].index == i) {
            auto& r = undo.clearRemoved[nextRemoved++];
            add(std::move(r.text), std::move(r.storage), r.selected);
        } else if (nextKept < kept && nextKept < now.size()) {
            auto& e = now[nextKept++];
            add(std::move(e.text), std::move(e.storage), e.selected);
        }
    }
    for (; nextKept < now.size(); ++nextKept)
        add(std::move(now[nextKept].text), std::move(now[nextKept].storage), now[nextKept].selected);
    s.messages.setSelection(selection);
    s.log.LogString(format("Restored %zu objects", undo.clearRemoved.size()));
    undo.clearRemoved.clear();
    s.changed(kUndoChanged);
}

std::string AboutText(const Session& s)
{
    const auto& version = programVersionRecord();
    std::string text = "Tolvex " + version.at("FileVersion") + "\n" + version.at("FileDescription") +
                       "\n\nFree software under the GNU General Public License, version 3 or later "
                       "(GPL-3.0-or-later).\n\nFolders in use:\n";
    text += "Program: " + s.paths.progpath + "\n";
    text += "Settings: " + (s.paths.settingsFolder.empty() ? s.paths.progpath : s.paths.settingsFolder) + "\n";
    text += "Tables, first found wins:";
    for (const std::string& folder : tableFolders(s.paths.progpath)) text += "\n  " + folder;
    std::error_code ec;
    text += "\nReports: " + std::filesystem::current_path(ec).string() + "\n";
    return text;
}

std::string ReadmePath(const std::string& progpath)
{
    const std::string prog = progpath.empty() || progpath.back() == '/' ? progpath : progpath + "/";
    for (const char* candidate : {"../share/doc/tolvex/README.md", "../../README.md"}) {
        std::error_code ec;
        const std::filesystem::path p = std::filesystem::path(prog + candidate).lexically_normal();
        if (std::filesystem::is_regular_file(p, ec)) return p.string();
    }
    return {};
}

}  // namespace tolvex
