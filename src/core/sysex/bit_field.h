// SPDX-License-Identifier: GPL-3.0-or-later
// Bit fields inside unpacked Korg data: parameters that may straddle
// bytes, read and written in big-endian (Triton) or little-endian (Kronos) order.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/text/bytes.h"

namespace tolvex {

// BE: the byte at Ofs is the most significant, bitpos (7 = most significant
// ... 0) is where the field's most significant bit sits in it, and the field
// runs downward into the following bytes. LE: bitpos is where the field's least
// significant bit sits in the byte at Ofs, and the field runs upward.
enum class BFMode { BE = 0, LE = 1 };

// bmasks[w] = 2^w - 1 for the field widths 1 to 16.
inline constexpr std::array<std::uint32_t, 17> bmasks{0,   1,    3,    7,    15,   31,    63,    127,  255,
                                                      511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};

// A field is valid when width is 1 to 16, bitpos 0 to 7 and Ofs not negative;
// such a field lies within the bytes Ofs to Ofs + 2. Bytes past the end of
// BFObj read as 0 and are not written, so a field partly or wholly past the end
// is still valid.

// Reads the field into BData (0 to 2^width - 1) and returns true; an invalid
// field returns false and leaves BData unchanged.
bool GetBitField(ByteView BFObj, BFMode mode, std::int32_t& BData, int Ofs, int bitpos, int width);

// Writes the low width bits of BData into the field, leaving every other bit of
// BFObj unchanged. An invalid field throws TolvexError "Bit field out of range:
// offset %d, bit position %d, width %d" and writes nothing.
void SetBitField(std::span<std::uint8_t> BFObj, BFMode mode, std::int32_t BData, int Ofs, int bitpos, int width);

// The signed value of a width-bit field value: for width 3 or more, inval - 2^width
// when bit width - 1 of inval is set; otherwise inval. Fields of 1 and 2 bits
// are switches and small selectors in the instruments' data, never signed, so
// they always give inval. Widths past 31 give inval.
std::int32_t negatize(std::int32_t inval, int width);

}  // namespace tolvex
