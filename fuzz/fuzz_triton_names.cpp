// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton name lists and the effect parse on any Triton dump: refused with
// a box or written, never a read past the message.
#include "core/app/session.h"
#include "devices/devices.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/triton/triton_names.h"
#include "devices/triton2kronos/tri_kro_efx_parse.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "fuzz_common.h"
#include "fuzz_tables.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::loadShippedTables();
    if (size < 2) return 0;
    // Header F0 42 3n 50, then the function and kind bytes the fuzzer chooses.
    Bytes sx = {0xF0, 0x42, static_cast<std::uint8_t>(0x30 | (data[0] & 0x0F)), 0x50};
    sx.insert(sx.end(), data + 1, data + size);
    fuzz::NullShell commandShell;
    Session s(commandShell);
    s.messages.append("dump", sx, "");
    s.messages.selectAll(true);
    try {
        Tri_AllProgText(s);
        Tri_AllCombiText(s);
        TriParseEfx(s, data[0] >> 4);
    } catch (const TolvexError&) {
    }
    return 0;
}
