// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_alldata.h"

#include <algorithm>

#include "core/text/text_utils.h"
#include "devices/common/korg_packing.h"
#include "devices/triton/triton_records.h"

namespace tolvex {

bool isTritonAllData(ByteView sx)
{
    return sx.size() >= 5 && sx[0] == 0xF0 && sx[1] == 0x42 /* Korg */ && (sx[2] & 0xF0) == 0x30 &&
           sx[3] == 0x50 /* Triton */ && sx[4] == 0x50 /* All Data dump */;
}

TritonAllData readTritonAllData(ByteView sx)
{
    using namespace triton;
    if (sx.size() != kAllDataLength)
        throw TolvexError(
            format("Triton All Data dump of %zu bytes: only the 1,053,004-byte layout is known", sx.size()));
    if (sx.back() != 0xF7) throw TolvexError("Triton All Data dump without its end byte F7");
    // Whole groups of 8 between the header and the F7.
    const std::size_t unpacked = (kAllDataLength - kAllDataPackedAt - 1) / 8 * 7;
    const Bytes data = KorgSXtoDataConvert(sx, static_cast<int>(kAllDataPackedAt), static_cast<int>(unpacked));
    constexpr std::size_t combiSize = sizeof(Ttri_Combi), programSize = sizeof(Ttri_ProgramPCM);
    constexpr std::size_t combiCount = kAllDataCombiBanks * kRecordsPerBank;
    static_assert(kAllDataCombisAt + combiCount * combiSize == kAllDataProgramsAt);
    const std::size_t programCount =
        std::min(kAllDataProgramBanks * kRecordsPerBank, (unpacked - kAllDataProgramsAt) / programSize);
    const auto at = [&data](std::size_t from) { return data.begin() + static_cast<std::ptrdiff_t>(from); };
    return {Bytes(at(kAllDataCombisAt), at(kAllDataProgramsAt)),
            Bytes(at(kAllDataProgramsAt), at(kAllDataProgramsAt + programCount * programSize))};
}

}  // namespace tolvex
