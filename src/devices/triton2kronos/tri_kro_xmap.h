// SPDX-License-Identifier: GPL-3.0-or-later
// Value maps between a Triton effect parameter and the Kronos parameter it
// becomes, and the areas of a Kronos Combi the conversion never changes.
#pragma once

#include <array>
#include <cstdint>

namespace tolvex {

// Triton AMS sources to the Kronos ones (Kronos 7 and 28 have no Triton
// counterpart), and the envelope sources and selections.
inline constexpr std::array<std::uint8_t, 32> AMS_map{0,  1,  2,  3,  4,  5,  6,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                                      17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 29, 30, 31, 32, 37};
inline constexpr std::array<std::uint8_t, 5> EnvSrc_map{0, 1, 2, 3, 4};
inline constexpr std::array<std::uint8_t, 4> EnvSel_map{1, 1, 2, 3};

// The Kronos value of a Triton effect parameter. `inval` is the raw bit-field
// value, `bfwidth` its width in bits (selectors 5, 11, 12, 16 and 26 read it as
// a bfwidth-bit two's-complement number), `mapselector` the map row's KroXMAP.
// err is 0 on success. A value outside the selector's input range, a value the
// selector's result width cannot hold (selector 5 beyond -64..63 after reading,
// 6 with 128-255, 14 with 0), selector 3, a negative selector or one of 32 and
// above set err to 1 and give 0. Selector 31 doubles 0-16383 (delay times kept
// in 0.2 ms steps, written in 0.1 ms steps). Signed selectors give negative results as
// negative integers; the caller masks them to the Kronos field width.
std::int32_t TriKroXmap(std::int32_t inval, std::int32_t bfwidth, std::int32_t mapselector, std::int32_t& err);

// True for the offsets of a Kronos Combi that the Triton conversion must leave
// as the initial Combi holds them: 1206-4789 and from 7910 on.
bool UnchangedRange(std::int32_t q);

}  // namespace tolvex
