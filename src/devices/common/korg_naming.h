// SPDX-License-Identifier: GPL-3.0-or-later
// What the Korg families' naming steps share: a Korg message carries its model
// in byte 3 when byte 2 has the `3n` form (n = MIDI channel), and its function
// in byte 4.
#pragma once

#include <cstdint>
#include <functional>

#include "core/sysex/sx_naming.h"

namespace tolvex {

// The step for one Korg model: appends " " and the model's name to "Korg",
// then, when the message has a function byte, what `function` appends for it.
MessageNamer korgModelNamer(std::uint8_t model, const char* modelName,
                            std::function<void(ByteView sx, NameParts& out)> function = {});

}  // namespace tolvex
