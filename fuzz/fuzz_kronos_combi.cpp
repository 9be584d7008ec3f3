// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos Combi and Global dumps: Parse2Text, the tempo and Global2Text on any
// bytes after a Kronos header, through the commands the user runs.
#include "core/app/session.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "fuzz_common.h"
#include "fuzz_tables.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::loadShippedTables();
    Bytes sx = {0xF0, 0x42, 0x30, 0x68};
    sx.insert(sx.end(), data, data + size);
    sx.shrink_to_fit();
    fuzz::NullShell commandShell;
    Session s(commandShell);
    s.messages.append("dump", sx, "");
    s.messages.selectAll(true);
    s.messages.setCurrentIndex(0);
    try {
        Kro_ParseToText(s);
        Kro_GetCombiTempo(s);
        Kro_Global2Txt(s);
    } catch (const TolvexError&) {
    }
    return 0;
}
