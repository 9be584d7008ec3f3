// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/command_table.h"

#include <algorithm>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/session.h"
#include "core/text/bytes.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string plainCaption(const std::string& caption)
{
    std::string out;
    for (char c : caption)
        if (c != '&') out += c;
    return out;
}

void CommandTable::addPage(const std::string& page, int columns,
                           std::initializer_list<std::pair<const char*, const char*>> buttons, bool legacy)
{
    pages_.push_back({page, legacy});
    int i = 0;
    for (const auto& [control, caption] : buttons) {
        add({control, caption, kMainWindow, page, "", {}, i / columns, i % columns, "", {}});
        ++i;
    }
}

void CommandTable::addAt(const std::string& page, const char* control, const char* caption, int row, int column,
                         const char* hint)
{
    add({control, caption, kMainWindow, page, hint, {}, row, column, "", {}});
}

void CommandTable::placeField(const std::string& control, const std::string& page, int row, int column)
{
    for (Field& f : fields_) {
        if (f.control != control) continue;
        f.place = page;
        f.row = row;
        f.column = column;
        return;
    }
    throw TolvexError("no field " + control + " to place on " + page);
}

void CommandTable::addMenu(const std::string& menu, const char* control, const char* caption)
{
    add({control, caption, kMainWindow, menu, "", {}, -1, -1, "", {}});
}

void CommandTable::add(Command command)
{
    const auto it = std::find_if(commands_.begin(), commands_.end(),
                                 [&](const Command& c) { return c.control == command.control; });
    if (it == commands_.end()) {
        commands_.push_back(std::move(command));
        return;
    }
    if (it->run) throw TolvexError("Command " + command.control + " is registered twice");
    if (command.row < 0 && command.column < 0) {
        command.row = it->row;
        command.column = it->column;
    }
    *it = std::move(command);
}

void CommandTable::bind(const std::string& control, std::function<void(Session&)> run)
{
    for (Command& c : commands_)
        if (c.control == control) {
            if (c.run) throw TolvexError("Command " + control + " is registered twice");
            c.run = std::move(run);
            return;
        }
    throw TolvexError("No control named " + control + " to give a command");
}

namespace {

// The entry whose control is `name`; without one, every entry whose caption matches.
template <class Entry, class CaptionMatches>
std::vector<const Entry*> byControlOrCaption(const std::vector<Entry>& entries, const std::string& name,
                                             CaptionMatches captionMatches)
{
    for (const Entry& e : entries)
        if (equalsIgnoringCase(e.control, name)) return {&e};
    std::vector<const Entry*> out;
    for (const Entry& e : entries)
        if (captionMatches(e)) out.push_back(&e);
    return out;
}

}  // namespace

const Command* CommandTable::find(const std::string& name) const
{
    const auto all = findAll(name);
    return all.empty() ? nullptr : all.front();
}

std::vector<const Command*> CommandTable::findAll(const std::string& name) const
{
    return byControlOrCaption(commands_, name, [&](const Command& c) {
        return equalsIgnoringCase(plainCaption(c.caption), plainCaption(name));
    });
}

std::vector<const Field*> CommandTable::findFields(const std::string& name) const
{
    return byControlOrCaption(
        fields_, name, [&](const Field& f) { return !f.caption.empty() && equalsIgnoringCase(f.caption, name); });
}

const CommandUse* CommandTable::useOf(const std::string& control) const
{
    for (const auto& [name, use] : uses_)
        if (name == control) return &use;
    return nullptr;
}

std::string CommandTable::hintOf(const std::string& control) const
{
    for (const auto& [name, hint] : hints())
        if (name == control) return hint;
    return {};
}

std::vector<std::pair<std::string, std::string>> CommandTable::hints() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const Command& c : commands_)
        if (!c.hint.empty()) out.emplace_back(c.control, c.hint);
    for (const Field& f : fields_)
        if (!f.hint.empty()) out.emplace_back(f.control, f.hint);
    out.insert(out.end(), hints_.begin(), hints_.end());
    return out;
}

std::vector<const Command*> CommandTable::on(const std::string& window, const std::string& place) const
{
    std::vector<const Command*> out;
    for (const Command& c : commands_)
        if (c.window == window && c.place == place) out.push_back(&c);
    return out;
}

std::vector<std::string> CommandTable::closeNames(const std::string& name, std::size_t most) const
{
    std::vector<std::pair<std::size_t, std::string>> scored;
    const std::string wanted = lowerCase(plainCaption(name));
    std::vector<std::string> names;
    for (const Command& c : commands_) {
        names.push_back(c.control);
        names.push_back(plainCaption(c.caption));
    }
    for (const Field& f : fields_) {
        names.push_back(f.control);
        if (!f.caption.empty()) names.push_back(f.caption);
    }
    for (const std::string& known : names) {
        const std::string k = lowerCase(known);
        // A name that contains what was typed is as close as a one-letter slip.
        const std::size_t d = k.find(wanted) != std::string::npos ? 1 : editDistance(wanted, k);
        if (std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == known; }))
            scored.emplace_back(d, known);
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& [d, known] : scored) {
        if (out.size() == most || d > std::max<std::size_t>(3, wanted.size() / 2)) break;
        out.push_back(known);
    }
    return out;
}

CommandTable makeCommandTable()
{
    CommandTable t;
    auto librarian = [&t](const char* control, const char* caption, const char* hint,
                          std::function<void(Session&)> run) {
        t.add({control, caption, kMainWindow, "", hint, std::move(run), -1, -1, "", {}});
    };
    librarian("ViewSelected", "View Selected", "Display header of message in logging window", ViewSelectedClick);
    librarian("Button_send", "Send Selected",
              "Transmit currently selected (1 or more) messages to current Sysex Output port", Button_sendClick);
    librarian("ButtonClearSel", "Clear Selected", "Remove currently selected (1 or more) messages from list",
              ButtonClearSelClick);
    librarian("Button_clear", "Clear All Buffers", "Clear all messages from list", Button_clearClick);
    librarian("SendProgChange", "Program Change", "Send Program change", SendProgChangeClick);
    librarian("ClearLogButton", "Clear Log", "Clear contents of Debug Window", ClearLogButtonClick);
    librarian("ReqSysex", "Send Sysex",
              "Send Hex string in text box to left as Sysex (F0 and F7 optional - will be added if not present)",
              ReqSysexClick);
    librarian("Cancel", "Cancel", "Cancel Read all SP Banks", CancelClick);

    auto menu = [&t](const char* place, const char* control, const char* caption, const char* hint,
                     std::function<void(Session&)> run, const char* shortcut = "") {
        t.add({control, caption, kMainWindow, place, hint, std::move(run), -1, -1, shortcut, {}});
    };
    menu("File", "Open1sx", "&Open Sysex", "", Open1sxClick, "Open");
    menu("File", "OpenCSVfileMenu", "Open &CSV", "Open a CSV file", {});
    menu("File", "SaveAs1", "&Save As", "", SaveAs1Click, "Save");
    menu(
        "File", "Exit1", "E&xit", "",
        [](Session& s) {
            if (s.closeWindow) s.closeWindow();
        },
        "Quit");
    const struct {
        const char* control;
        const char* caption;
        const char* hint;
    } edits[] = {
        {ctl::ProgChange, "Prog", "Program Number for use with program change button"},
        {ctl::Channel, "Chan", "MIDI channel to send on"},
        {ctl::SXreqString, "",
         "Enter in hex, separated with spaces. It is OK to leave off F0 and F7 - they will be added if not present"}};
    for (const auto& e : edits) t.addField({e.control, e.caption, kMainWindow, false, 0, {}, e.hint});
    const struct {
        const char* control;
        const char* caption;
        const char* hint;
    } checks[] = {{ctl::XTCheckBox1, "Enable Legacy (Unsupported)", "Enabled extended (unsupported) devices"},
                  {ctl::Filter7F, "Filter Function 7F msgs", "Don't display or log Kronos function 7F parameters"},
                  {ctl::WaitAck, kWaitAckCaption,
                   "Send Selected waits for the instrument to confirm each Korg dump before the next, and stops at "
                   "its error answer or when it does not answer within the settings' LongTimeOut seconds"}};
    for (const auto& c : checks) t.addField({c.control, c.caption, kMainWindow, true, 0, {}, c.hint});

    // Controls that no command reads.
    t.addHint(ctl::cmbInput, "Midi Source Select");
    t.addHint(ctl::cmbOutput, "Midi Source Select");
    t.addHint("ListBox1", "Select one or more sysex banks for buttons or File / Save operations");
    t.addHint(
        "lstLog",
        "Right-Click to copy selected line to clipboard. Double-click to copy entire log to clipboard (up to 32K)");
    t.addHint(ctl::SXrecvString, "Displays last SysEx Message Received (up to 64 bytes)");
    describeCommands(t);
    return t;
}

}  // namespace tolvex
