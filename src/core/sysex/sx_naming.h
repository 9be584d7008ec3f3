// SPDX-License-Identifier: GPL-3.0-or-later
// Message naming: the human-readable name of a SysEx message, from its bytes
// alone (maker, and for the makers known well, model and function).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// A line for the log of the session that names the message.
using NamingLog = std::function<void(const std::string& line)>;

struct NamingOptions;

// What a naming step fills: the name so far (the maker's), a second line of
// detail, whether the message is to be dropped, and the short display text
// (when not null; a step may set it, never clears it).
struct NameParts {
    std::string& name;
    std::string& sup;
    bool& ignore;
    std::string* shortDesc;
    const NamingOptions& opts;
};

// A device family's step of naming: the messages of one maker, or of one of
// its models, named past the maker. A step appends to `name` and returns as
// soon as it needs a byte the message does not have.
struct MessageNamer {
    Bytes maker;  // the maker's ID bytes after F0: {0x42}, or {0x00, 0x00, 0x1B}
    // The byte that holds the model id, and the id; nothing: every message of the maker.
    std::optional<std::size_t> modelAt;
    std::uint8_t model = 0;
    std::function<void(ByteView sx, NameParts& out)> step;
    // The model's name, where the step is for one model (the library shows it
    // beside a message it keeps whole); null: none.
    const char* modelName = nullptr;
};

// The naming steps of a session's families, tried in the order given.
class FamilyNamers {
public:
    void add(MessageNamer namer) { steps_.push_back(std::move(namer)); }
    // The first step whose maker (and model, where it names one) the message has; null when none.
    const MessageNamer* find(ByteView sx) const;
    bool empty() const { return steps_.empty(); }

private:
    std::vector<MessageNamer> steps_;
};

struct NamingOptions {
    // The "Filter Function 7F msgs" check box: a family that knows such
    // messages as noise (a controller's stream) marks them to be ignored
    // instead of named.
    bool Filter7F = false;
    // The families' naming steps (a session's `namers`); null: the core's own
    // naming only (a message is then named by its maker, and the universal
    // messages by their kind).
    const FamilyNamers* families = nullptr;
    // Where the naming logs what it notices on the way (a parameter missing
    // from a family's tables); empty: nowhere.
    NamingLog log = {};
};

// Names one message sx (normally F0 ... F7; the F0 is not checked).
// Returns the name; `sup` is cleared, then may receive a second line of
// detail; `ignore` is cleared, then set when a family's step drops it (see
// Filter7F). Some steps set
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
