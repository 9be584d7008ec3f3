// SPDX-License-Identifier: GPL-3.0-or-later
// How Korg instruments confirm a dump they received: on their global channel
// they answer F0 42 3g mm 23 F7 ("DATA LOAD COMPLETED") or 24 ("DATA LOAD
// ERROR"); the Kronos answers 24 with a reply code after it, 00 for no error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/app/dump_confirmation.h"

namespace tolvex {

// A Korg instrument's dumps that it answers: its model byte (byte 3) and name,
// the function bytes (byte 4) of those dumps, and whether its function 24
// answer carries a reply code (00: loaded).
struct KorgAnsweredDumps {
    std::uint8_t model;
    const char* instrument;
    std::span<const std::uint8_t> functions;
    bool replyCode = false;
};

// The confirmation of `sx` when it is one of those dumps (F0 42 3g model
// function ... F7).
std::optional<DumpConfirmation> korgDumpConfirmation(ByteView sx, const KorgAnsweredDumps& dumps);

}  // namespace tolvex
