// SPDX-License-Identifier: GPL-3.0-or-later
// One session with the shipped tables, loaded once per fuzz process as the
// programs load them at start, with the families plugged in and the files
// written to a private folder.
#pragma once

#include "core/app/session.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "fuzz_common.h"

namespace tolvex::fuzz {

inline Session& loadShippedTables()
{
    static NullShell shell;
    static Session tables(shell);
    static const bool loaded = [] {
        privateFolders();
        installDeviceFamilies(tables);
        KronosUnitStartup(tables, TOLVEX_DATA_DIR "/", false);
        TriKroUnitStartup(tables, TOLVEX_DATA_DIR "/");
        TriKroLoadLists(tables, TOLVEX_DATA_DIR "/");
        return true;
    }();
    (void)loaded;
    return tables;
}

}  // namespace tolvex::fuzz
