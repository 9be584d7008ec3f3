// SPDX-License-Identifier: GPL-3.0-or-later
// Every command of the windows in one table: the control that starts it, its
// caption and hint, where it sits, and the function over the Session it runs.
// The window builds its buttons and menu items from the table; `tolvex-cli run`
// and the tests run entries by caption or control name.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace tolvex {

class Session;

inline constexpr char kMainWindow[] = "Main window";
// The caption of the check box of "Send Selected" that waits for the instrument.
inline constexpr char kWaitAckCaption[] = "Wait for the instrument";

struct Command {
    std::string control;  // the control's name, e.g. "Conv_VMEM"
    std::string caption;  // as shown, menus with their '&' accelerator, e.g. "DX VMEM>file", "&Save As"
    std::string window;   // kMainWindow, or the caption of another window
    std::string place;    // a family's page, a menu ("File", "Special") or "" for the window itself
    std::string hint;
    // Empty while the command's device family is not built: the control is shown disabled.
    std::function<void(Session&)> run;
    // Position on a page's grid (row, column); -1 where the window places the control itself.
    int row = -1;
    int column = -1;
    std::string shortcut;  // a menu item's standard key ("Open", "Save", "Quit"), or ""
    // For a command on another window: what showing and activating that window
    // does (it may load its records from the selected entry). The runner does it
    // before the command, as a user opens the window before pressing its button.
    std::function<void(Session&)> showWindow;
};

// An edit box, check box or drop-down of a window that commands read: its
// control name, the caption or label beside it, and whether it is a check box.
// An edit box keeps its text in Session::text, a check box its state in
// Session::checked, a drop-down the 1-based entry chosen in Session::chosen.
// A control array of `count` rows keeps row r (from 1) under "control[r]".
struct Field {
    Field(std::string control_, std::string caption_, std::string window_, bool check_ = false, int count_ = 0,
          std::vector<std::string> items_ = {}, std::string hint_ = "")
        : control(std::move(control_)),
          caption(std::move(caption_)),
          window(std::move(window_)),
          check(check_),
          count(count_),
          items(std::move(items_)),
          hint(std::move(hint_))
    {
    }
    std::string control;
    std::string caption;
    std::string window;
    bool check;
    int count;                       // rows of a control array; 0: a single control
    std::vector<std::string> items;  // a drop-down's entries; empty for boxes
    std::string hint;
    // Where the main window shows it: a family's page and a place on its grid
    // (a page's check boxes share one row of options, in column order); "" and
    // -1 where the window places it itself.
    std::string place;
    int row = -1;
    int column = -1;
};

// A family's page of the main window, in the order the families add them.
struct Page {
    std::string title;
    bool legacy = false;  // shown only while "Enable Legacy (Unsupported)" is checked
};

// A question box a command asks: its text and the answers `--answer` takes,
// each with what it does ("1-32 (or yes): performances 1-32").
struct Question {
    std::string text;
    std::vector<std::string> answers;
};

// What a command works on and leaves behind, for `tolvex-cli run COMMAND
// --help`. Field entries are control names of the table's fields; the help
// shows each with its caption and its current text.
struct CommandUse {
    std::string selection;             // what it takes from the selected entries; "" for none
    std::vector<std::string> fields;   // the boxes and check boxes it reads
    std::vector<std::string> reads;    // files and MIDI it reads
    std::vector<Question> asks;        // question boxes, in the order they come
    std::vector<std::string> writes;   // files, list entries, log lines, MIDI it sends
    std::vector<std::string> refuses;  // what ends it with an Error or Warning box (exit 1)
};

class CommandTable {
public:
    // Adds an entry. An entry with the control of a placeholder (no function
    // yet) takes its place, keeping its position; any other repeat of a control
    // name throws TolvexError.
    void add(Command command);
    // Gives a registered control its function (a device family's registration).
    void bind(const std::string& control, std::function<void(Session&)> run);

    const std::vector<Command>& all() const { return commands_; }
    // By control name, then by caption without its '&'; case ignored. Null when unknown.
    const Command* find(const std::string& name) const;
    // The entries on one page or menu of a window, in table order.
    std::vector<const Command*> on(const std::string& window, const std::string& place) const;
    // Every entry a name may mean: its control (one at most), else every
    // entry with that caption (several pages reuse "Req 1 Prog").
    std::vector<const Command*> findAll(const std::string& name) const;
    // Known names (controls and captions) closest to an unknown one, best first.
    std::vector<std::string> closeNames(const std::string& name, std::size_t most = 5) const;

    // A page and its buttons in reading order, `columns` to a row, without
    // their functions yet (bind gives them).
    void addPage(const std::string& page, int columns,
                 std::initializer_list<std::pair<const char*, const char*>> buttons, bool legacy = false);
    const std::vector<Page>& pages() const { return pages_; }
    // One button of a page at a place of its grid (-1, -1: the window places it).
    void addAt(const std::string& page, const char* control, const char* caption, int row, int column,
               const char* hint = "");
    // A menu entry without its function yet.
    void addMenu(const std::string& menu, const char* control, const char* caption);

    void addField(Field field) { fields_.push_back(std::move(field)); }
    // Shows a field on a page at a place of its grid.
    void placeField(const std::string& control, const std::string& page, int row, int column);
    const std::vector<Field>& fields() const { return fields_; }
    // By control name, else every field with that caption; case ignored.
    std::vector<const Field*> findFields(const std::string& name) const;

    // What a command reads, asks and writes; kept apart from its entry, so a
    // family that adds the entry later keeps it.
    void describe(std::string control, CommandUse use) { uses_.emplace_back(std::move(control), std::move(use)); }
    // By exact control name; null for a command not described.
    const CommandUse* useOf(const std::string& control) const;

    // The hint of a control that is neither a command nor a field (a list, a
    // label, a group box, a display box), by its control name.
    void addHint(std::string control, std::string hint) { hints_.emplace_back(std::move(control), std::move(hint)); }
    // The hint a window shows for a control: a command's, a field's or one
    // added above, by exact control name; "" when it has none.
    std::string hintOf(const std::string& control) const;
    // Every control with a hint and its hint, commands first.
    std::vector<std::pair<std::string, std::string>> hints() const;

private:
    std::vector<Command> commands_;
    std::vector<Field> fields_;
    std::vector<Page> pages_;
    std::vector<std::pair<std::string, std::string>> hints_;
    std::vector<std::pair<std::string, CommandUse>> uses_;
};

// A caption as read, without the '&' that marks its accelerator key.
std::string plainCaption(const std::string& caption);

// The librarian's commands of the main window with their functions, its menus
// and its own boxes; each device family adds its pages (see DeviceFamily).
CommandTable makeCommandTable();
// Gives the librarian's commands their descriptions (makeCommandTable calls it).
void describeCommands(CommandTable& t);

// Phrases the descriptions of commands share.
namespace uses {
inline constexpr char kOut[] = "MIDI: the output port (--out PORT)";
inline constexpr char kInOut[] = "MIDI: the answers on the input port (--in PORT), requests to the output (--out PORT)";
inline constexpr char kNoOutput[] = "no output port: \"Choose a MIDI Out port first (--out PORT)\"";
inline constexpr char kNoPorts[] =
    "no input or output port: \"Choose a MIDI In port first (--in PORT)\" or \"Choose a MIDI Out port first (--out "
    "PORT)\"";
inline constexpr char kNothingSelected[] = "no entry selected: \"Nothing Selected\"";
inline constexpr char kNoneSelected[] = "no entry selected: \"No Messages Were Selected - nothing to do\"";
inline constexpr char kBadNumber[] = "a box that holds no number, or one out of range: its box";
// A file written beside the entry's own file, as its description reads.
std::string beside(const char* extensions);
}  // namespace uses

}  // namespace tolvex
