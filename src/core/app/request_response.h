// SPDX-License-Identifier: GPL-3.0-or-later
// Request/response exchanges with a device: send a request, keep the event loop
// running, and find the answer among the messages that arrive meanwhile.
#pragma once

#include <cstdint>

#include "core/app/session.h"
#include "core/text/bytes.h"

namespace tolvex {

// Sends request and waits up to 5 s for a new message matching `expected`.
// Returns its index in the message list, or -1.
std::int32_t ReqResponseSysex(Session& s, ByteView request, ByteView expected);

// Sends request and waits up to xtimeout seconds for any new message; false on
// time-out. idx receives the first new message matching `expected`, or -1.
// With showtimeout the seconds left are shown in TimeoutLabel.
bool Alt_ReqResponseSysex(Session& s, ByteView request, ByteView expected, std::int32_t& idx, bool showtimeout,
                          std::int32_t xtimeout);

// First entry from `base` on whose first bytes match `resp` (0xFF matches any byte).
bool CheckForSysexReceived(const Session& s, ByteView resp, std::size_t base, std::int32_t& index);

// Which half of a byte a nibble pair carries first (the Peavey SP sends the
// high half first, Korg instruments the low half).
enum class NibbleOrder { HighFirst, LowFirst };

// Decodes Nbytes bytes from nibble pairs of sx, starting at the 1-based
// position `offset`, into return_array (resized to Nbytes); offset advances by
// 2 per byte. Shows an error box and returns false when sx is too short.
bool SX_extract_bulk(Session& s, NibbleOrder sty, std::int32_t& offset, std::int32_t Nbytes, ByteView sx,
                     Bytes& return_array);

}  // namespace tolvex
