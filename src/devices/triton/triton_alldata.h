// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton "All Data" dump (function 50): everything the instrument holds
// in one message of 1,053,004 bytes, F0 42 3n 50 50, six more header bytes,
// the data Korg-packed in 8-byte groups from byte 11, F7. Unpacked (921,368
// bytes) it holds, among sequences, drum kits and the global data, the 512
// Combinations of INT-A..D (448 bytes each) from byte 338,258 and the
// Programs of INT-A..E (540 bytes each) right after them, from 567,634.
// The layout was measured on one real dump (data/README.md says how sure it is);
// a dump of any other length may be laid out otherwise, so it is not read.
#pragma once

#include <cstddef>

#include "core/text/bytes.h"

namespace tolvex {

namespace triton {
inline constexpr std::size_t kAllDataLength = 1053004;
inline constexpr std::size_t kAllDataPackedAt = 11;
inline constexpr std::size_t kAllDataCombisAt = 338258;    // in the unpacked data
inline constexpr std::size_t kAllDataProgramsAt = 567634;  // right after the 512 Combinations
inline constexpr std::size_t kAllDataCombiBanks = 4;       // INT-A..D
inline constexpr std::size_t kAllDataProgramBanks = 5;     // INT-A..E, the internal banks
}  // namespace triton

// F0 42 3n 50 50: a Triton All Data dump, whatever its length.
bool isTritonAllData(ByteView sx);

// The records of an All Data dump, unpacked, back to back from INT-A 000:
// the 512 Combinations, and the Programs of the internal banks the data holds
// whole (all 640 in a dump of the one length read).
struct TritonAllData {
    Bytes combis;
    Bytes programs;
};
// Throws TolvexError with the reason for a dump of another length
// ("Triton All Data dump of N bytes: only the 1,053,004-byte layout is known")
// or one without its end byte.
TritonAllData readTritonAllData(ByteView sx);

}  // namespace tolvex
