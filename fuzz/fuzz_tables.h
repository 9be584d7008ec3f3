// SPDX-License-Identifier: GPL-3.0-or-later
// The shipped tables, loaded once per fuzz process as the programs load them
// at start, with the families plugged in and the files written to a private
// folder.
#pragma once

#include "core/app/session.h"
#include "devices/devices.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "fuzz_common.h"

namespace tolvex::fuzz {

inline void loadShippedTables()
{
    static NullShell shell;
    static Session tables(shell);
    static const bool loaded = [] {
        privateFolders();
        KronosUnitStartup(tables, TOLVEX_DATA_DIR "/", false);
        TriKroLoadLists(tables, TOLVEX_DATA_DIR "/");
        registerDeviceFamilies();
        return true;
    }();
    (void)loaded;
}

}  // namespace tolvex::fuzz
