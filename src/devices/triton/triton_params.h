// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of Korg Triton parameter-change messages (function 0x41), shared by
// message naming and the Triton tools.
#pragma once

#include <cstdint>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

// The signed value of two 7-bit data bytes, most significant first:
// s0 * 128 + (s1 & 0x7F) read as a 14-bit two's-complement number
// (0x3FFF gives -1, 0x2000 gives -8192, 0x1FFF gives 8191).
std::int16_t KorgTriParmVal_14bit(std::uint8_t s0, std::uint8_t s1);

// The text of a Triton parameter-change message. Only the 13-byte form
// `F0 42 3n 50 41 .. .. M .. PID .. SID v1 v0 F7` is understood: it gives
// "M %X, PID %X, SID %X, v %d %4.4X" and, when short_desc_string is given,
// sets it to "Triton Param Val %d (0x%X)". Any other length gives
// "Unknown format" and leaves short_desc_string alone. Never reads past sx.
std::string TriParamParse(ByteView sx, std::string* short_desc_string = nullptr);

}  // namespace tolvex
