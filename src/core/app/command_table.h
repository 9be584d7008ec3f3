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

struct Command {
    std::string control;  // the control's name, e.g. "Conv_VMEM"
    std::string caption;  // as shown, menus with their '&' accelerator, e.g. "DX VMEM>file", "&Save As"
    std::string window;   // kMainWindow, or the caption of another window
    std::string place;    // page ("DX/TX", "Kronos", ...), menu ("File", "Special") or "" for the window itself
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
    Field(std::string control, std::string caption, std::string window, bool check = false, int count = 0,
          std::vector<std::string> items = {})
        : control(std::move(control)),
          caption(std::move(caption)),
          window(std::move(window)),
          check(check),
          count(count),
          items(std::move(items))
    {
    }
    std::string control;
    std::string caption;
    std::string window;
    bool check;
    int count;                       // rows of a control array; 0: a single control
    std::vector<std::string> items;  // a drop-down's entries; empty for boxes
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

    void addField(Field field) { fields_.push_back(std::move(field)); }
    const std::vector<Field>& fields() const { return fields_; }
    // By control name, else every field with that caption; case ignored.
    std::vector<const Field*> findFields(const std::string& name) const;

private:
    std::vector<Command> commands_;
    std::vector<Field> fields_;
};

// A caption as read, without the '&' that marks its accelerator key.
std::string plainCaption(const std::string& caption);

// The table of every command of the program's windows: the librarian's own
// with their functions, and each device page's controls, bound by their
// families as those are built.
CommandTable makeCommandTable();

}  // namespace tolvex
