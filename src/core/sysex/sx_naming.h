// SPDX-License-Identifier: GPL-3.0-or-later
// Message naming: the human-readable name of a SysEx message, from its bytes
// alone (maker, and for the makers known well, model and function).
#pragma once

#include <functional>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

// A line for the log of the session that names the message.
using NamingLog = std::function<void(const std::string& line)>;

// Naming steps that live with their device families, which each session's
// families fill; an empty step leaves the name as far as the core takes it
// (the maker, and the function text).
struct FamilyNamers {
    // The text appended to "Korg Kronos" for the message sx, whose function
    // byte sx[4] exists; not asked for a function 0x7F message while Filter7F
    // is set. May set *short_desc_string (when not null). `log` may be empty.
    std::function<std::string(ByteView sx, std::string* short_desc_string, const NamingLog& log)> kronos;
    // Appended to a Korg Triton parameter change (function 0x41).
    std::function<std::string(ByteView sx, std::string* short_desc_string)> tritonParameter;
    // Continues the name of a Peavey message ("Peavey" so far) and may fill `sup`.
    std::function<void(ByteView sx, std::string& name, std::string& sup)> peavey;
};

struct NamingOptions {
    // The "Filter Function 7F msgs" check box: Kronos function 0x7F messages
    // are marked to be ignored instead of named.
    bool Filter7F = false;
    // The families' naming steps (a session's `namers`); null: the core's own
    // naming only (a Kronos message is then named "Korg Kronos" only).
    const FamilyNamers* families = nullptr;
    // Where the naming logs what it notices on the way (a Kronos parameter
    // missing from the tables); empty: nowhere.
    NamingLog log = {};
};

// Names one message sx (normally F0 ... F7; the F0 is not checked).
// Returns the name; `sup` is cleared, then may receive a second line of
// detail; `ignore` is cleared, then set when the message is to be dropped (a
// filtered Kronos function 0x7F message). Some functions set
// *short_desc_string (when not null) to a short display text; naming never
// clears it, the caller does that before the call.
// Never throws for any input and never reads past the end of sx: a step that
// needs a missing byte ends the naming there, keeping what it has built, and
// a message left without a name is called "Unknown : " followed by its first
// nine bytes in hexadecimal.
std::string SxParseName(ByteView sx, std::string& sup, bool& ignore, const NamingOptions& opts = {},
                        std::string* short_desc_string = nullptr);

// A 14-bit MIDI value from two data bytes: (lsb & 0x7F) + msb * 128. msb is
// deliberately not masked, so the result ranges over 0..32767.
inline int Midi2byteVal(std::uint8_t lsb, std::uint8_t msb)
{
    return (lsb & 0x7F) + msb * 128;
}

}  // namespace tolvex
