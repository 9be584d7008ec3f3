// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_params.h"

namespace tolvex {

std::int16_t KorgTriParmVal_14bit(std::uint8_t s0, std::uint8_t s1)
{
    // s0 is not masked, so a data byte with its top bit set still lands in 16 bits.
    const int raw = s0 * 128 + (s1 & 0x7F);
    const int value = (raw & 0x2000) ? raw - 0x4000 : raw;
    return static_cast<std::int16_t>(value);
}

std::string TriParamParse(ByteView sx, std::string* short_desc_string)
{
    if (sx.size() != 13) return "Unknown format";
    const int v = KorgTriParmVal_14bit(sx[10], sx[11]);
    // Negative values show as their 32-bit two's complement in the hexadecimal places.
    const auto hex = static_cast<unsigned>(v);
    if (short_desc_string) *short_desc_string = format("Triton Param Val %d (0x%X)", v, hex);
    return format("M %X, PID %X, SID %X, v %d %4.4X", sx[5], sx[7], sx[9], v, hex);
}

}  // namespace tolvex
