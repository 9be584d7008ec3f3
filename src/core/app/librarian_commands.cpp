// SPDX-License-Identifier: GPL-3.0-or-later
// The librarian's own commands and boxes of the main window, each declared
// once: caption, place, hint, what `tolvex-cli run COMMAND --help` says it
// reads, asks and writes, and its function.
#include "core/app/command_table.h"
#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/session.h"

namespace tolvex {

std::string uses::beside(const char* extensions)
{
    return std::string(extensions) +
           " beside the entry's file (its name with the extension replaced; \"untitled\" in the "
           "current folder when the entry has none), replaced";
}

CommandTable makeCommandTable()
{
    using namespace uses;
    CommandTable t;
    const Command commands[] = {
        // The librarian's buttons, placed by the window.
        {.control = "ViewSelected",
         .caption = "View Selected",
         .hint = "Display header of message in logging window",
         .use = {.selection = "each selected entry", .writes = {"log: \"Sysex: \" and its first 24 bytes"}},
         .run = ViewSelectedClick},
        {.control = "Button_send",
         .caption = "Send Selected",
         .hint = "Transmit currently selected (1 or more) messages to current Sysex Output port",
         .use = {.selection = "each selected entry, in list order",
                 .fields = {ctl::WaitAck},
                 .reads = {"MIDI: with \"Wait for the instrument\", the instrument's answer to each Korg dump on the "
                           "input port (--in PORT), waited for up to the settings' LongTimeOut seconds"},
                 .writes = {kOut},
                 .refuses = {kNoOutput,
                             "with \"Wait for the instrument\" and a Korg dump to send, no input port: \"Choose a MIDI "
                             "In port first (--in PORT)\"",
                             "the instrument's error answer or none: \"The Triton did not confirm dump 3 of 8 (Program "
                             "Bank INT-A): no answer in 5 s\" (the send stops there)"}},
         .run = Button_sendClick},
        {.control = "ButtonClearSel",
         .caption = "Clear Selected",
         .hint = "Remove currently selected (1 or more) messages from list",
         .use = {.selection = "each selected entry", .writes = {"the list: the selected entries removed"}},
         .run = ButtonClearSelClick},
        {.control = "Button_clear",
         .caption = "Clear All Buffers",
         .hint = "Clear all messages from list",
         .use = {.writes = {"the list: every entry removed"}},
         .run = Button_clearClick},
        {.control = "SendProgChange",
         .caption = "Program Change",
         .hint = "Send Program change",
         .use = {.fields = {ctl::ProgChange, ctl::Channel},
                 .writes = {"MIDI: one program change to the output (--out PORT)"},
                 .refuses = {kNoOutput, kBadNumber}},
         .run = SendProgChangeClick},
        {.control = "ClearLogButton",
         .caption = "Clear Log",
         .hint = "Clear contents of Debug Window",
         .use = {.writes = {"the log: emptied"}},
         .run = ClearLogButtonClick},
        {.control = "ReqSysex",
         .caption = "Send Sysex",
         .hint = "Send Hex string in text box to left as Sysex (F0 and F7 optional - will be added if not present)",
         .use = {.fields = {ctl::SXreqString},
                 .writes = {"MIDI: the typed bytes as one SysEx message (--out PORT)"},
                 .refuses = {"an empty box or a word of more than 8 hexadecimal digits"}},
         .run = ReqSysexClick},
        {.control = "Cancel",
         .caption = "Cancel",
         .hint = "Cancel Read all SP Banks",
         .use = {.writes = {"stops \"Read all SP Banks\" after its current bank"}},
         .run = CancelClick},

        // The File menu.
        {.control = "Open1sx",
         .caption = "&Open Sysex",
         .place = "File",
         .shortcut = "Open",
         .use = {.reads = {"a .syx file (--file PATH)"},
                 .writes = {"the list: one entry per message of the file, selected"},
                 .refuses = {"a file that cannot be read"}},
         .run = Open1sxClick},
        // Its function reads several device families' banks: the families' room binds it.
        {.control = "OpenCSVfileMenu",
         .caption = "Open &CSV",
         .place = "File",
         .hint = "Open a CSV file",
         .use = {.fields = {ctl::Channel},
                 .reads = {"a CSV bank file (--file PATH)"},
                 .writes = {"the list: one bank message as \"<type> (CSV)\"",
                            "a DX7II bank: CSV-DX7iiPackedPerf.bin in the current folder"},
                 .refuses = {"a file that cannot be read, or a row that cannot be read exactly", kBadNumber}}},
        {.control = "SaveAs1",
         .caption = "&Save As",
         .place = "File",
         .shortcut = "Save",
         .use = {.selection = "the selected entries, in list order",
                 .writes = {"a .syx file (--file PATH) holding their bytes back to back"},
                 .refuses = {kNoneSelected}},
         .run = SaveAs1Click},
        {.control = "Exit1",
         .caption = "E&xit",
         .place = "File",
         .shortcut = "Quit",
         .use = {.writes = {"ends the program"}},
         .run =
             [](Session& s) {
                 if (s.closeWindow) s.closeWindow();
             }},
    };
    for (const Command& c : commands) t.add(c);

    const Field fields[] = {
        {.control = ctl::ProgChange, .caption = "Prog", .hint = "Program Number for use with program change button"},
        {.control = ctl::Channel, .caption = "Chan", .hint = "MIDI channel to send on"},
        {.control = ctl::SXreqString,
         .hint = "Enter in hex, separated with spaces. It is OK to leave off F0 and F7 - they will be added if not "
                 "present"},
        {.control = ctl::XTCheckBox1,
         .caption = "Enable Legacy (Unsupported)",
         .check = true,
         .hint = "Enabled extended (unsupported) devices"},
        {.control = ctl::Filter7F,
         .caption = "Filter Function 7F msgs",
         .check = true,
         .hint = "Don't display or log Kronos function 7F parameters"},
        {.control = ctl::WaitAck,
         .caption = kWaitAckCaption,
         .check = true,
         .hint = "Send Selected waits for the instrument to confirm each Korg dump before the next, and stops at "
                 "its error answer or when it does not answer within the settings' LongTimeOut seconds"},
    };
    for (const Field& f : fields) t.addField(f);

    // Controls that no command reads.
    t.addHint(ctl::cmbInput, "Midi Source Select");
    t.addHint(ctl::cmbOutput, "Midi Source Select");
    t.addHint("ListBox1", "Select one or more sysex banks for buttons or File / Save operations");
    t.addHint(
        "lstLog",
        "Right-Click to copy selected line to clipboard. Double-click to copy entire log to clipboard (up to 32K)");
    t.addHint(ctl::SXrecvString, "Displays last SysEx Message Received (up to 64 bytes)");
    return t;
}

}  // namespace tolvex
