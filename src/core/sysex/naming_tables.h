// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed texts of message naming that every message shares: maker names by
// ID byte. Every lookup takes any byte value and returns a pointer to a string
// literal (static lifetime) or nullptr when its table has no entry. Beside
// them, what a family's naming step builds its own texts with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text/bytes.h"

namespace tolvex::naming {

// One-byte manufacturer IDs (message byte 1).
const char* OneByteMakerName(std::uint8_t id);
// Three-byte IDs `00 00 id` (American group).
const char* AmericanMakerName(std::uint8_t id);
// Three-byte IDs `00 20 id` (European group); never null, keys without a
// maker give "Unknown 2nd of 3-byte ID".
const char* EuropeanMakerName(std::uint8_t id);

// A text by byte value (a function, a format), as its table lists it.
struct IdText {
    std::uint8_t id;
    const char* text;
};
using ByIdTable = std::array<const char*, 256>;

// Spreads a sparse table over every byte value so a lookup is one index and
// no key can fall outside the table.
template <std::size_t N>
constexpr ByIdTable byId(const IdText (&rows)[N])
{
    ByIdTable table{};
    for (const auto& row : rows) table[row.id] = row.text;
    return table;
}

// Appends a byte as two upper-case hex digits.
void appendHex2(std::string& s, std::uint8_t b);
// Appends printf-style text; a text is cut at 159 characters, which no name reaches.
__attribute__((format(printf, 2, 3))) void appendFormat(std::string& s, const char* fmt, ...);
// The bytes of sx from `first` as characters (voice and format names); the caller checks the length.
inline std::string_view charsAt(ByteView sx, std::size_t first, std::size_t count)
{
    return {reinterpret_cast<const char*>(sx.data() + first), count};
}

}  // namespace tolvex::naming
