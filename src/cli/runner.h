// SPDX-License-Identifier: GPL-3.0-or-later
// `tolvex-cli run`: the windows' commands from the command line, one command or
// a script of steps in one session, through the same command table as the window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/app/command_table.h"

namespace tolvex {

// Runs `tolvex-cli run ARGS...` (args after "run"); `in` serves `--script -`.
// Returns 0, 1 when an "Error" or "Warning" box was shown or a step failed, 2
// for a usage error (also a question with no answer left).
// `table` replaces the program's command table (tests add commands of their own).
// `processEnds`: the list is left to the system at the end (MessageList::abandon).
int runCommands(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                const DeviceFactory& makeDevices, const CommandTable* table = nullptr, bool processEnds = false);

// A script line split into words as a shell would: blanks separate, quotes
// ('...' or "...") keep blanks, a backslash takes the next character as it is.
// Throws TolvexError for an unclosed quote.
std::vector<std::string> splitWords(const std::string& line);

// "1,3-5" as 0-based indexes below `count`; throws TolvexError naming the bad part.
std::vector<std::size_t> parseSelection(const std::string& list, std::size_t count);

}  // namespace tolvex
