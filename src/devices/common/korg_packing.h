// SPDX-License-Identifier: GPL-3.0-or-later
// Korg 7-bit packing: 8-bit data carried in SysEx data bytes.
//
// A packed block is a run of groups, each a bit-7 byte followed by up to 7 data
// bytes holding the low 7 bits of one value each; bit i of the bit-7 byte is
// bit 7 of the value in the group's i-th data byte. Only the last group may be
// short, so n values take KorgPackedSize(n) = n + ceil(n / 7) bytes.
//
// These are pure byte functions: they neither show the busy cursor nor talk to
// the user. A command converting a whole bank dump turns the busy cursor on
// around the call and shows a thrown TolvexError's text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/text/bytes.h"

namespace tolvex {

// Weight of data byte i's top bit in its group's bit-7 byte.
inline constexpr std::array<std::uint8_t, 7> bitweight{1, 2, 4, 8, 16, 32, 64};

// Bytes taken by n packed values: 829,440 values (every Triton Program) take 947,932.
constexpr std::size_t KorgPackedSize(std::size_t n)
{
    return n + (n + 6) / 7;
}

// Unpacks dlen values from the packed block that starts at sx[offset] (its first
// bit-7 byte). Data bytes are taken as they are, so a data byte whose bit 7 is
// already set keeps it; bit 7 of a bit-7 byte, and its bits beyond a short last
// group, are ignored. dlen below 1 gives an empty result and reads nothing.
// Throws TolvexError "Packed data too short: need %d bytes from offset %d,
// message has %d" when the block would reach past the end of sx (or offset is
// negative); nothing is read outside sx. The values are returned to the caller;
// no process-wide buffer holds them.
Bytes KorgSXtoDataConvert(ByteView sx, int offset, int dlen);

// header + the packed form of every byte of data + 0xF7. To pack only the first
// n bytes, pass data.first(n).
Bytes KorgDatatoSXConvert(ByteView header, ByteView data);

}  // namespace tolvex
