// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/patches.h"

namespace tolvex {

std::string patchNameText(ByteView bytes)
{
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        text.push_back(static_cast<char>(b));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool splitProvesWhole(const PatchFamily& family, ByteView sx)
{
    const auto split = family.split(sx);
    return split && split->proven && split->problems.empty() && !split->items.empty();
}

}  // namespace tolvex
