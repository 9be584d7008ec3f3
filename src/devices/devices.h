// SPDX-License-Identifier: GPL-3.0-or-later
// The device families: each plugs its naming steps into the message naming
// and its commands into the command table.
#pragma once

#include <functional>
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
// The definition tables are not read there: the first message or command that
// needs them reads them (see loadDeferredTables).
StartupHooks deviceStartupHooks(const std::string& progpath);

// Reads the tables that deviceStartupHooks left for later, now (the window, once
// shown). False when nothing was pending.
bool loadDeferredTables();

// Runs `load` when the deferred tables are first needed, instead of loading
// them directly: a front end wraps the load (e.g. so that a missing table's box
// does not count as the running command's failure). `load` must be called.
void wrapDeferredTableLoad(std::function<void(const std::function<void()>& load)> wrapper);

}  // namespace tolvex
