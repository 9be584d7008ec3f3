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

// The folder of the settings file and of the files the program keeps in its
// own folder: the program folder itself for a build or portable copy (one that
// is not installed and can be written), else the user's settings folder,
// created when needed. Ends in '/'; the program folder when there is no home.
std::string settingsFolder(const std::string& progpath);

// The folders searched for table files, best first, each ending in '/'.
std::vector<std::string> tableFolders(const std::string& progpath);

// The full path of `name` in the first folder that holds it, else nullopt.
std::optional<std::string> findTableFile(const std::string& name, const std::vector<std::string>& folders);

}  // namespace tolvex
