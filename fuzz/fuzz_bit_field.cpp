// SPDX-License-Identifier: GPL-3.0-or-later
// Bit fields of both orders at any offset, position and width: a read never
// leaves the object, a write then read inside it gives the written bits back.
#include "core/sysex/bit_field.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6) return 0;
    const BFMode mode = data[0] & 1 ? BFMode::LE : BFMode::BE;
    const int ofs = static_cast<std::int8_t>(data[1]);
    const int bitpos = static_cast<std::int8_t>(data[2]);
    const int width = static_cast<std::int8_t>(data[3]);
    const std::int32_t value = data[4] | data[5] << 8;
    Bytes obj(data + 6, data + size);
    std::int32_t got = 0;
    if (!GetBitField(obj, mode, got, ofs, bitpos, width)) return 0;
    try {
        SetBitField(obj, mode, value, ofs, bitpos, width);
    } catch (const TolvexError&) {
        return 0;
    }
    fuzz::require(GetBitField(obj, mode, got, ofs, bitpos, width));
    // Bytes past the end read as 0 and are not written: the written value comes
    // back whole when the field's three-byte window lies inside the object.
    if (static_cast<std::size_t>(ofs) + 3 <= obj.size()) fuzz::require(got == (value & ((1 << width) - 1)));
    return 0;
}
