// The device families: each plugs its naming steps into the message naming
// and its commands into the command table.
#pragma once

#include <string>

#include "core/app/main_window_model.h"

namespace tolvex {

class CommandTable;

// Sets the families' naming steps (idempotent). The programs call it at start,
// before any message is named.
void registerDeviceFamilies();
// The same, and gives the families' commands their functions in `table`.
void registerDeviceFamilies(CommandTable& table);

// The families' start-up steps for a program in `progpath` (tables read from
// there, value maps, start-up summaries, list files).
StartupHooks deviceStartupHooks(const std::string& progpath);

}  // namespace tolvex
