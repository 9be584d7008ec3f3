// The device families: each plugs its naming steps into the message naming
// and its commands into the command table.
#pragma once

namespace tolvex {

class CommandTable;

// Sets the families' naming steps (idempotent). The programs call it at start,
// before any message is named.
void registerDeviceFamilies();
// The same, and gives the families' commands their functions in `table`.
void registerDeviceFamilies(CommandTable& table);

}  // namespace tolvex
