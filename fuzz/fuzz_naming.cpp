// SPDX-License-Identifier: GPL-3.0-or-later
// Naming of any message by every maker's steps (the families plugged in).
#include "core/app/session.h"
#include "core/sysex/sx_naming.h"
#include "devices/devices.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::NullShell shell;
    static Session s(shell);
    static const bool installed = (installDeviceFamilies(s), true);
    (void)installed;
    // An exact-size copy, so any read past the end leaves the allocation.
    const Bytes sx(data, data + size);
    std::string sup, shortDesc;
    bool ignore = false;
    const std::string name =
        SxParseName(sx, sup, ignore, {.Filter7F = size % 2 == 0, .families = &s.families.namers}, &shortDesc);
    fuzz::require(!name.empty() || ignore);
    return 0;
}
