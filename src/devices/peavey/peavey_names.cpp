// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/peavey/peavey_names.h"

namespace tolvex {

const std::array<const char*, 7> PV_SP_obj_name = {"Wave", "Tone", "Map", "Preset", "Multi", "Map Hdr", "Map Zone"};

const std::array<const char*, 12> SP_parameterless_types = {"No Error",
                                                            "Unrecognized Message",
                                                            "Truncated message",
                                                            "error in message string",
                                                            "Object is empty/nonexist",
                                                            "Obj # out of range",
                                                            "insufficient memory",
                                                            "unrecognized data object dump format code",
                                                            "illegal request",
                                                            "device is busy",
                                                            "operation failed",
                                                            "illegal data value encountered"};

std::int32_t PV_extract(std::size_t& offset, int Nbytes, ByteView sx, std::string* overflow_text)
{
    if (Nbytes < 1 || Nbytes > 3) return -1;
    const std::size_t nibs = 2 * static_cast<std::size_t>(Nbytes);
    const std::size_t start = offset;
    offset += nibs;
    if (start >= sx.size() || sx.size() - start <= nibs) {
        if (overflow_text)
            *overflow_text =
                format("Extract Overflow: offset: %d, nibs: %d", static_cast<int>(start), static_cast<int>(nibs));
        return -1;
    }
    std::int32_t value = 0;
    for (std::size_t i = start; i < start + nibs; ++i) value = (value << 4) | (sx[i] & 0x0F);
    return value;
}

}  // namespace tolvex
