// SPDX-License-Identifier: GPL-3.0-or-later
// Where the table and template files the program reads are found: a user's own
// copy in the settings folder wins, then the program folder, then the shared
// folder of an installed program (../share/tolvex/ beside it).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvex {

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

}  // namespace tolvex
