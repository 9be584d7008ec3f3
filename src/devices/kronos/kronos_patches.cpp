// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos family's patches: a Combi from a Combi dump or a current-Combi
// dump, kept as the unpacked 7,810-byte record, sent back as a current-Combi dump.
#include "devices/common/korg_packing.h"
#include "devices/common/patches.h"
#include "devices/kronos/kronos_combi.h"

namespace tolvex {

namespace {

using kronos::TKro_Combi_Layout;

Bytes combiSingle(ByteView record, int channel)
{
    const std::uint8_t header[] = {0xF0,
                                   0x42 /* Korg */,
                                   static_cast<std::uint8_t>(0x30 | (channel & 0x0F)),
                                   0x68 /* Kronos */,
                                   0x75 /* current object dump */,
                                   0x01 /* Combi */,
                                   0x03 /* version */};
    return KorgDatatoSXConvert(header, record);
}

constexpr PatchFormat kFormats[] = {
    {"kronos-combi", TKro_Combi_Layout::size, 0, combiSingle, nullptr, nullptr, nullptr, TKro_Combi_Layout::Combi_Name,
     TKro_Combi_Layout::NameSize},
};

std::optional<PatchSplit> split(ByteView sx)
{
    const std::uint8_t function = Verify_Kro_Combi(sx);
    if (function != 0x73 && function != 0x75) return std::nullopt;
    PatchSplit out;
    kronos::TKro_Combi combi{};
    try {
        KroUnpackCombi(sx, function, combi);
    } catch (const TolvexError& e) {
        out.problems.push_back(e.what());
        return out;
    }
    PatchItem it;
    it.maker = "Korg";
    it.model = "Kronos";
    it.kind = "Combi";
    if (function == 0x73 && sx.size() > 8) {
        it.bank = format("%d", sx[6]);
        it.number = (sx[7] & 0x7F) * 128 + (sx[8] & 0x7F);
    }
    it.format = kFormats[0].format;
    it.record.assign(combi.begin(), combi.end());
    it.nameOffset = TKro_Combi_Layout::Combi_Name;
    it.nameLength = TKro_Combi_Layout::NameSize;
    it.name = patchNameText(ByteView(it.record).first(it.nameLength));
    out.items.push_back(std::move(it));
    return out;
}

}  // namespace

PatchFamily kronosPatchFamily()
{
    return {"kronos", split, kFormats};
}

}  // namespace tolvex
