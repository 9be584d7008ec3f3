// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/common/korg_naming.h"

#include <string>

namespace tolvex {

MessageNamer korgModelNamer(std::uint8_t model, const char* modelName,
                            std::function<void(ByteView sx, NameParts& out)> function)
{
    MessageNamer n;
    n.maker = {0x42};
    n.modelAt = 3;
    n.model = model;
    n.modelName = modelName;
    n.step = [modelName, function = std::move(function)](ByteView sx, NameParts& out) {
        // Only the `3n` form of byte 2 carries a model byte.
        if ((sx[2] >> 4) != 0x3) return;
        out.name += ' ';
        out.name += modelName;
        if (sx.size() > 4 && function) function(sx, out);
    };
    return n;
}

}  // namespace tolvex
