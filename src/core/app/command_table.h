// SPDX-License-Identifier: GPL-3.0-or-later
// Every command of the windows in one table: the control that starts it, its
// caption and hint, where it sits, and the function over the Session it runs.
// The window builds its buttons and menu items from the table; `tolvex-cli run`
// and the tests run entries by caption or control name.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tolvex {

class Session;

inline constexpr char kMainWindow[] = "Main window";
// The caption of the check box of "Send Selected" that waits for the instrument.
inline constexpr char kWaitAckCaption[] = "Wait for the instrument";

// What a page of the main window shows besides its buttons and boxes, declared
// by its family as data at a place of the page's grid (the window builds the
// widgets; core knows none):
//   Label           `text` as a caption
//   StatusLabel     a label named `control`, showing that control's session text
//   LabelledButton  the button of command `control` with the caption `text` to its left
//   Legend          a read-only text box named `control` showing `text` (lines split by
//                   '\n'), as wide as its longest line and as tall as its lines, at the top
//                   left of its cells
// e.g. {.kind = PageExtra::Label, .text = "Patch", .row = 1, .column = 0}
struct PageExtra {
    enum Kind { Label, StatusLabel, LabelledButton, Legend };
    Kind kind = Label;
    std::string text{};
    std::string control{};
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
};

// A family's page of the main window, in the order the families add them.
struct Page {
    std::string title{};
    bool legacy = false;  // shown only while "Enable Legacy (Unsupported)" is checked
    std::vector<PageExtra> extras{};
};

// A question box a command asks: its text and the answers `--answer` takes,
// each with what it does ("1-32 (or yes): performances 1-32").
struct Question {
    std::string text{};
    std::vector<std::string> answers{};
};

// What a command works on and leaves behind, for `tolvex-cli run COMMAND
// --help`. Field entries are control names of the table's fields; the help
// shows each with its caption and its current text. Declared by name, leaving
// out what it does not have:
//   .use = {.selection = "each selected entry", .fields = {ctl::Channel}, .writes = {uses::kOut}}
struct CommandUse {
    std::string selection{};             // what it takes from the selected entries; "" for none
    std::vector<std::string> fields{};   // the boxes and check boxes it reads
    std::vector<std::string> reads{};    // files and MIDI it reads
    std::vector<Question> asks{};        // question boxes, in the order they come
    std::vector<std::string> writes{};   // files, list entries, log lines, MIDI it sends
    std::vector<std::string> refuses{};  // what ends it with an Error or Warning box (exit 1)
    bool empty() const
    {
        return selection.empty() && fields.empty() && reads.empty() && asks.empty() && writes.empty() &&
               refuses.empty();
    }
};

// One command, declared once with everything about it, by name (C++20
// designated initializers, in the order of the members below):
//
//   {.control = "ReqPatch", .caption = "Request Patch", .row = 0, .column = 0,
//    .hint = "Request the patch in the edit buffer",
//    .use = {.fields = {ctl::Channel}, .writes = {uses::kOut}, .refuses = {uses::kNoOutput}},
//    .run = requestPatch}
//
// A page's commands leave out .place (CommandTable::addPage gives it); a menu
// entry names its menu in .place. A command whose function is not built yet
// leaves out .run: the window shows it disabled and `run --list` marks it "not
// built yet". One that has no action on purpose says so with .noAction and
// says why in its hint. (Every member of these declaration structs has an
// initializer, so that a declaration leaves out what it does not need.)
struct Command {
    std::string control{};  // the control's name, e.g. "ReqPatch"
    std::string caption{};  // as shown, menus with their '&' accelerator, e.g. "Request Patch", "&Save As"
    std::string place{};    // a family's page, a menu ("File", "Special"), a group of another window, or ""
    // Position on a page's grid (row, column); -1 where the window places the
    // control itself (the librarian's buttons, a page extra's button).
    int row = -1;
    int column = -1;
    std::string shortcut{};  // a menu item's standard key ("Open", "Save", "Quit"), or ""
    std::string hint{};
    CommandUse use{};
    std::function<void(Session&)> run{};
    bool noAction = false;
    std::string window = kMainWindow;  // or the caption of another window
    // For a command on another window: what showing and activating that window
    // does (it may load its records from the selected entry). The runner does it
    // before the command, as a user opens the window before pressing its button.
    std::function<void(Session&)> showWindow{};
};

// An edit box, check box or drop-down of a window that commands read: its
// control name, the caption or label beside it, and whether it is a check box.
// An edit box keeps its text in Session::text, a check box its state in
// Session::checked, a drop-down the 1-based entry chosen in Session::chosen.
// A control array of `count` rows keeps row r (from 1) under "control[r]".
// Declared by name like a command: {.control = "PatchNum", .caption = "Patch", .row = 2, .column = 0}.
struct Field {
    std::string control{};
    std::string caption{};
    bool check = false;
    int count = 0;                     // rows of a control array; 0: a single control
    std::vector<std::string> items{};  // a drop-down's entries; empty for boxes
    std::string hint{};
    // Where the main window shows it: a family's page and a place on its grid
    // (a page's check boxes share one row of options, in column order); "" and
    // -1 where the window places it itself.
    std::string place{};
    int row = -1;
    int column = -1;
    std::string window = kMainWindow;
};

class CommandTable {
public:
    // Adds a command; a control name already in the table throws TolvexError.
    void add(Command command);
    // Adds a page after those already there, with its commands and boxes,
    // each placed on it.
    void addPage(Page page, std::vector<Command> commands, std::vector<Field> fields = {});
    // Gives a declared command its function, where the declaration cannot name
    // it (the function lives in a room above the declaration's). Throws for an
    // unknown control or one that has a function.
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

    const std::vector<Page>& pages() const { return pages_; }

    void addField(Field field) { fields_.push_back(std::move(field)); }
    // Shows a field declared elsewhere on a page at a place of its grid.
    void placeField(const std::string& control, const std::string& page, int row, int column);
    const std::vector<Field>& fields() const { return fields_; }
    // By control name, else every field with that caption; case ignored.
    std::vector<const Field*> findFields(const std::string& name) const;

    // What a command reads, asks and writes, by exact control name; null for
    // a command unknown or not described.
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
};

// A caption as read, without the '&' that marks its accelerator key.
std::string plainCaption(const std::string& caption);

// The librarian's commands of the main window with their functions, its menus
// and its own boxes; each device family adds its pages (see DeviceFamily).
CommandTable makeCommandTable();

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
