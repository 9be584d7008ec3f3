// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP messages: the naming step and the nibble numbers it reads.
#include "devices/peavey/peavey_names.h"
#include "devices/peavey/peavey_naming.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes sx(data, data + size);
    std::string name = "Peavey", sup;
    PV_NameMessage(sx, name, sup);
    for (int n = 1; n <= 3; ++n) {
        std::size_t at = size > 0 ? data[0] % (size + 1) : 0;
        std::string overflow;
        (void)PV_extract(at, n, sx, &overflow);
    }
    return 0;
}
