// SPDX-License-Identifier: GPL-3.0-or-later
// What each command of the windows reads, asks and writes, as
// `tolvex-cli run COMMAND --help` tells it.
#include "core/app/command_table.h"
#include "core/app/controls.h"

namespace tolvex {

std::string uses::beside(const char* extensions)
{
    return std::string(extensions) +
           " beside the entry's file (its name with the extension replaced; \"untitled\" in the "
           "current folder when the entry has none), replaced";
}

void describeCommands(CommandTable& t)
{
    using namespace uses;
    // Librarian.
    t.describe("ViewSelected", {"each selected entry", {}, {}, {}, {"log: \"Sysex: \" and its first 24 bytes"}, {}});
    t.describe("Button_send",
               {"each selected entry, in list order",
                {ctl::WaitAck},
                {"MIDI: with \"Wait for the instrument\", the instrument's answer to each Korg dump on the input port "
                 "(--in PORT), waited for up to the settings' LongTimeOut seconds"},
                {},
                {kOut},
                {kNoOutput,
                 "with \"Wait for the instrument\" and a Korg dump to send, no input port: \"Choose a MIDI In port "
                 "first (--in PORT)\"",
                 "the instrument's error answer or none: \"The Triton did not confirm dump 3 of 8 (Program Bank "
                 "INT-A): no answer in 5 s\" (the send stops there)"}});
    t.describe("ButtonClearSel", {"each selected entry", {}, {}, {}, {"the list: the selected entries removed"}, {}});
    t.describe("Button_clear", {"", {}, {}, {}, {"the list: every entry removed"}, {}});
    t.describe("SendProgChange", {"",
                                  {ctl::ProgChange, ctl::Channel},
                                  {},
                                  {},
                                  {"MIDI: one program change to the output (--out PORT)"},
                                  {kNoOutput, kBadNumber}});
    t.describe("ClearLogButton", {"", {}, {}, {}, {"the log: emptied"}, {}});
    t.describe("ReqSysex", {"",
                            {ctl::SXreqString},
                            {},
                            {},
                            {"MIDI: the typed bytes as one SysEx message (--out PORT)"},
                            {"an empty box or a word of more than 8 hexadecimal digits"}});
    t.describe("Cancel", {"", {}, {}, {}, {"stops \"Read all SP Banks\" after its current bank"}, {}});
    t.describe("Open1sx", {"",
                           {},
                           {"a .syx file (--file PATH)"},
                           {},
                           {"the list: one entry per message of the file, selected"},
                           {"a file that cannot be read"}});
    t.describe("OpenCSVfileMenu", {"",
                                   {ctl::Channel},
                                   {"a CSV bank file (--file PATH)"},
                                   {},
                                   {"the list: one bank message as \"<type> (CSV)\"",
                                    "a DX7II bank: CSV-DX7iiPackedPerf.bin in the current folder"},
                                   {"a file that cannot be read, or a row that cannot be read exactly", kBadNumber}});
    t.describe("SaveAs1", {"the selected entries, in list order",
                           {},
                           {},
                           {},
                           {"a .syx file (--file PATH) holding their bytes back to back"},
                           {kNoneSelected}});
    t.describe("Exit1", {"", {}, {}, {}, {"ends the program"}, {}});
}

}  // namespace tolvex
