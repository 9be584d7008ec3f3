// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos messages named with the shipped tables: every function, parameter,
// reply and KARMA form from any bytes after a Kronos header.
#include "core/app/session.h"
#include "core/sysex/sx_naming.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "fuzz_common.h"
#include "fuzz_tables.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Session& tables = fuzz::loadShippedTables();
    Bytes sx = {0xF0, 0x42, 0x30, 0x68};
    sx.insert(sx.end(), data, data + size);
    sx.shrink_to_fit();
    std::string sup, shortDesc;
    bool ignore = false;
    const std::string name =
        SxParseName(sx, sup, ignore, {.Filter7F = size % 3 == 0, .families = &tables.families.namers}, &shortDesc);
    fuzz::require(name.rfind("Korg Kronos", 0) == 0);
    return 0;
}
