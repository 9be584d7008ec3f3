// SPDX-License-Identifier: GPL-3.0-or-later
// Korg 7-bit packing: unpacking reads only what is there, and packing what
// was unpacked from a canonical block gives the block back.
#include "devices/common/korg_packing.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const int dlen = data[0] * 4 + data[1] % 4;
    const Bytes sx(data + 2, data + size);
    Bytes values;
    try {
        values = KorgSXtoDataConvert(sx, 0, dlen);
    } catch (const TolvexError&) {
        return 0;
    }
    fuzz::require(static_cast<int>(values.size()) == std::max(0, dlen));
    // A canonical block: packed from the values, it unpacks to them again.
    const Bytes packed = KorgDatatoSXConvert({}, values);
    const Bytes again = KorgSXtoDataConvert(packed, 0, dlen);
    fuzz::require(again == values);
    fuzz::require(KorgDatatoSXConvert({}, again) == packed);
    return 0;
}
