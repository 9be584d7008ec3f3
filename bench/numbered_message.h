// SPDX-License-Identifier: GPL-3.0-or-later
// A small SysEx message (8 bytes) that carries its number, for the benchmarks
// that stream many distinct messages.
#pragma once

#include <cstdint>

#include "core/text/bytes.h"

namespace tolvex::bench {

inline Bytes numberedMessage(std::uint32_t i)
{
    return {0xF0,
            0x43,
            0x10,
            0x01,
            static_cast<std::uint8_t>(i >> 14 & 0x7F),
            static_cast<std::uint8_t>(i >> 7 & 0x7F),
            static_cast<std::uint8_t>(i & 0x7F),
            0xF7};
}

}  // namespace tolvex::bench
