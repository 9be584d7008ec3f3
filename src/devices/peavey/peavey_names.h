// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP basics shared by message naming and the SP tools: the object and
// reply names, and the reader of numbers sent as nibble bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

// SP data object names by object type 0-6.
extern const std::array<const char*, 7> PV_SP_obj_name;

// SP reply texts by reply code 0-11 (message type 0x10, code in byte 8).
extern const std::array<const char*, 12> SP_parameterless_types;

// Reads a field of Nbytes bytes (1 to 3) that travels as 2 * Nbytes message
// bytes from the 0-based position `offset`, each carrying one 4-bit digit in
// its low half, most significant first, and advances `offset` past them.
// The field must be followed by at least one more byte (in a whole message,
// its F7). When it is not, the result is -1 and, if overflow_text is given,
// it receives "Extract Overflow: offset: %d, nibs: %d" for the caller to show;
// `offset` still advances, so the fields after a short one fail too.
// Nbytes outside 1-3 gives -1 and leaves `offset` alone. Never reads past sx.
std::int32_t PV_extract(std::size_t& offset, int Nbytes, ByteView sx, std::string* overflow_text = nullptr);

}  // namespace tolvex
