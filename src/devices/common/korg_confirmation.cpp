// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/korg_confirmation.h"

#include <algorithm>

namespace tolvex {

std::optional<DumpConfirmation> korgDumpConfirmation(ByteView sx, const KorgAnsweredDumps& dumps)
{
    // F0 42 3g mm ff, at least one data byte, F7.
    if (sx.size() < 7 || sx[0] != 0xF0 || sx[1] != 0x42 /* Korg */ || (sx[2] & 0xF0) != 0x30 || sx[3] != dumps.model ||
        sx.back() != 0xF7)
        return std::nullopt;
    if (std::find(dumps.functions.begin(), dumps.functions.end(), sx[4]) == dumps.functions.end()) return std::nullopt;
    DumpConfirmation c;
    c.instrument = dumps.instrument;
    // The instrument answers on its global channel, the one the dump was sent on.
    c.read = [channel = sx[2], id = dumps.model, replyCode = dumps.replyCode](ByteView m) {
        if (m.size() < 6 || m[0] != 0xF0 || m[1] != 0x42 || m[2] != channel || m[3] != id || m.back() != 0xF7)
            return LoadAnswer::None;
        if (m[4] == 0x23 /* DATA LOAD COMPLETED */) return LoadAnswer::Loaded;
        if (m[4] != 0x24 /* DATA LOAD ERROR, or the reply */) return LoadAnswer::None;
        if (replyCode && m.size() >= 7 && m[5] == 0x00 /* no error */) return LoadAnswer::Loaded;
        return LoadAnswer::Refused;
    };
    return c;
}

}  // namespace tolvex
