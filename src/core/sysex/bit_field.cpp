// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/bit_field.h"

#include <algorithm>
#include <cstddef>

namespace tolvex {

namespace {

// Where each of the four bytes from Ofs goes in the 32-bit window.
constexpr std::array<int, 4> be_shift{24, 16, 8, 0};
constexpr std::array<int, 4> le_shift{0, 8, 16, 24};

bool validField(int Ofs, int bitpos, int width)
{
    return Ofs >= 0 && bitpos >= 0 && bitpos <= 7 && width >= 1 && width <= 16;
}

// Number of window bytes that exist in an object of `size` bytes.
std::size_t windowBytes(std::size_t size, int Ofs)
{
    const auto ofs = static_cast<std::size_t>(Ofs);
    return ofs < size ? std::min<std::size_t>(4, size - ofs) : 0;
}

// How far right the window is shifted to bring the field's lowest bit to bit 0.
int fieldShift(BFMode mode, int bitpos, int width)
{
    return mode == BFMode::BE ? 25 + bitpos - width : bitpos;
}

const std::array<int, 4>& byteShifts(BFMode mode)
{
    return mode == BFMode::BE ? be_shift : le_shift;
}

}  // namespace

bool GetBitField(ByteView BFObj, BFMode mode, std::int32_t& BData, int Ofs, int bitpos, int width)
{
    if (!validField(Ofs, bitpos, width)) return false;
    const auto& shifts = byteShifts(mode);
    const std::size_t count = windowBytes(BFObj.size(), Ofs);
    std::uint32_t w = 0;
    for (std::size_t k = 0; k < count; ++k) w |= std::uint32_t{BFObj[static_cast<std::size_t>(Ofs) + k]} << shifts[k];
    BData = static_cast<std::int32_t>((w >> fieldShift(mode, bitpos, width)) & bmasks[static_cast<std::size_t>(width)]);
    return true;
}

void SetBitField(std::span<std::uint8_t> BFObj, BFMode mode, std::int32_t BData, int Ofs, int bitpos, int width)
{
    if (!validField(Ofs, bitpos, width))
        throw TolvexError(format("Bit field out of range: offset %d, bit position %d, width %d", Ofs, bitpos, width));
    const int shift = fieldShift(mode, bitpos, width);
    const std::uint32_t mask = bmasks[static_cast<std::size_t>(width)] << shift;
    const std::uint32_t value = (static_cast<std::uint32_t>(BData) & bmasks[static_cast<std::size_t>(width)]) << shift;
    const auto& shifts = byteShifts(mode);
    const std::size_t count = windowBytes(BFObj.size(), Ofs);
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t& b = BFObj[static_cast<std::size_t>(Ofs) + k];
        const auto m = static_cast<std::uint8_t>(mask >> shifts[k]);
        b = static_cast<std::uint8_t>((b & ~m) | ((value >> shifts[k]) & m));
    }
}

std::int32_t negatize(std::int32_t inval, int width)
{
    if (width < 3 || width > 31) return inval;
    if (((static_cast<std::uint32_t>(inval) >> (width - 1)) & 1) == 0) return inval;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(inval) - (std::int64_t{1} << width));
}

}  // namespace tolvex
