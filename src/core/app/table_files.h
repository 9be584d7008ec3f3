// SPDX-License-Identifier: GPL-3.0-or-later
// Where the table and template files the program reads are found: a user's own
// copy in the settings folder wins, then the program folder, then the shared
// folder of an installed program (../share/tolvex/ beside it).
#pragma once

#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tolvex {

class Session;

// The user's settings folder, "$XDG_CONFIG_HOME/tolvex/" or "$HOME/.config/tolvex/"
// (ending in '/'); empty when neither variable is set.
std::string userSettingsFolder();

// Whether `progpath` is the bin folder of an installed program: a shared
// folder "../share/tolvex/" stands beside it.
bool installedLayout(const std::string& progpath);

// Whether the program in `progpath` keeps its files in its own folder: a build
// or portable copy, one that is not installed and whose folder can be written.
bool portableCopy(const std::string& progpath);

// The folder of the settings file and of the files the program keeps in its
// own folder: the program folder itself for a build or portable copy, else the
// user's settings folder, created when needed (an installed program never
// falls back to its own folder). Ends in '/'; the program folder only when
// there is no home at all.
std::string settingsFolder(const std::string& progpath);

// Empty when the settings file in `folder` can be written; else the start-up
// log line "Settings cannot be saved: PATH: reason".
std::string settingsProblem(const std::string& folder);

// Where an installed program keeps its diagnostic files: "$XDG_STATE_HOME/tolvex/"
// or "$HOME/.local/state/tolvex/", created when needed. Empty (the current
// folder) for a build or portable copy, or when that folder cannot be made.
std::string diagnosticsFolder(const std::string& progpath);

// The folders searched for table files, best first, each ending in '/'.
std::vector<std::string> tableFolders(const std::string& progpath);

// The full path of `name` in the first folder that holds it, else nullopt.
std::optional<std::string> findTableFile(const std::string& name, const std::vector<std::string>& folders);

// What a table loader took from a file: its rows, and the rows it refused by
// 1-based line number.
struct TableLoad {
    std::size_t rows = 0;               // rows taken
    std::vector<std::size_t> refused;   // rows skipped as not integers or out of range
    std::size_t duplicatesDropped = 0;  // exact duplicate lines (name=value lists)
};

// Opens the table file `name` from tableFolders(progpath), or says why not: the
// box "Cannot open table file "PATH" - table left empty" (PATH in the program
// folder when no folder holds it) and the same line added to `log`. Either way
// `path` names the file; the stream is open only on success.
std::ifstream openTableFile(Session& s, const char* name, const std::string& progpath, std::string& path,
                            std::vector<std::string>& log);
// The start-up's line for a table read: "Read NAME from FOLDER/: N rows", with
// the duplicate lines dropped and the rows skipped when there are any.
std::string tableReadLine(const char* name, const std::string& path, const TableLoad& load);
// A file name in the current folder as a full path, for a line that says it could not be made.
std::string inCurrentFolder(const std::string& name);

}  // namespace tolvex
