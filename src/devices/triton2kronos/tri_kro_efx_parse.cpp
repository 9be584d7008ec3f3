// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_efx_parse.h"

#include <array>

#include "core/app/session.h"
#include "core/sysex/bit_field.h"
#include "core/text/atomic_file.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/triton/triton_records.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "devices/triton2kronos/tri_kro_xmap.h"

namespace tolvex {

namespace {

// A current Combination dump: F0 42 3n 50 49 00, then the packed Combi.
constexpr std::size_t kCurrentCombiDataOffset = 6;
constexpr std::uint8_t kCurrentCombiKind = 127;
// Insert effect 2 in the Combi: 16 parameter bytes, then its effect type.
constexpr std::size_t kIfx2 = 16 + 24;
constexpr std::size_t kIfx2Type = kIfx2 + 16;

template <class T>
const T* entry(const std::vector<T>& v, std::int64_t i)
{
    return i >= 0 && static_cast<std::uint64_t>(i) < v.size() ? &v[static_cast<std::size_t>(i)] : nullptr;
}

// Unpacks the current Combination of the last entry into tri_Combi; false
// (after its box and log line) for anything else.
bool loadCurrentCombi(Session& s, triton::Ttri_Combi& tri_Combi)
{
    const Bytes& sx = s.messages.at(s.messages.count() - 1).storage->sxdata;
    const auto wrongFormat = [&s] {
        s.log.LogString("Combi Data Not Correct Format");
        return false;
    };
    if (sx.size() < 7) return wrongFormat();
    // The channel is ignored; the kind (bits 7-4 of byte 6) is taken apart;
    // the current Combination dump (49) then reads as a Combination dump (4D).
    std::array<std::uint8_t, 7> h{};
    std::copy(sx.begin(), sx.begin() + 7, h.begin());
    h[2] &= 0xF0;
    int kind = h[6] >> 4;
    h[6] = 0;
    if (h[4] == 0x49 /* Current Combination dump */) kind = kCurrentCombiKind;
    h[4] |= 0x04;
    constexpr std::array<std::uint8_t, 7> kCombiDump{0xF0, 0x42, 0x30, 0x50, 0x4D, 0x00, 0x00};
    if (h != kCombiDump) return wrongFormat();
    if (kind != kCurrentCombiKind) {
        s.shell.messageBox("Warning",
                           format("Message not Triton Current Combi Bank: function 0x%X kind: %d", sx[4], kind),
                           MsgIcon::Warning);
        return wrongFormat();
    }
    constexpr std::size_t size = sizeof(triton::Ttri_Combi);
    if (sx.size() < kCurrentCombiDataOffset + KorgPackedSize(size) + 1 /* F7 */) return wrongFormat();
    triton::recordFromBytes(tri_Combi,
                            KorgSXtoDataConvert(sx, static_cast<int>(kCurrentCombiDataOffset), static_cast<int>(size)));
    return true;
}

}  // namespace

void TriParseEfx(Session& s, std::int32_t PID, const TriKroTables& tri, const KronosDefs& kro)
{
    if (s.messages.count() == 0) return;
    triton::Ttri_Combi& tri_Combi = s.families.records<triton::TritonRecords>().tri_Combi;
    if (!loadCurrentCombi(s, tri_Combi)) return;
    const Bytes combi = triton::recordBytes(tri_Combi);
    const ByteView ifx2 = ByteView(combi).subspan(kIfx2, 24);
    // A trace for diagnosis: the parse goes on without it.
    const std::string trace = s.paths.diagnosticPath(kTriEfxDebugFile);
    try {
        writeFileReplacing(
            trace, [&](std::ostream& out) { out.write(reinterpret_cast<const char*>(ifx2.data()), 24); },
            "Could not create " + trace, "Could not create " + trace);
    } catch (const TolvexError&) {
        s.log.LogString("Could not create " + trace);
    }

    const int effect = combi[kIfx2Type];
    const std::string* name = entry(tri.TriEffectNameList, effect);
    if (!name) return;
    s.log.LogString(format("Tri IFX%d bytes %X, %X, %X. EfxNum: %d  (", 2, ifx2[0], ifx2[1], ifx2[2], effect) + *name);

    const auto* row = entry(tri.efxMap.TriKroEFXMapArray, effect);
    const Ttrikroefxmaparay* map = row ? entry(*row, PID) : nullptr;
    if (!map) return;
    const NamingLog log = [&s](const std::string& line) { s.log.LogString(line); };
    s.log.LogString(format("Tri IFX%d PID %d, TriOfs %d, TriWidth %d, TriBitPos %d", 2, PID, map->TriOfs, map->TriWidth,
                           map->TriBitPos));
    s.log.LogString(format("Kro EFX# %d Kro PID %d, KroXmap %d, ", map->KroEFX, map->KroPID, map->KroXMAP) +
                    kro.Kro_efx_desc(map->KroEFX, map->KroPID, log));

    std::int32_t value = 0;
    if (!GetBitField(ifx2.first(16), BFMode::BE, value, map->TriOfs, map->TriBitPos, map->TriWidth)) {
        s.log.LogString(format("Range Error extracting bitfield for Triton PID %d", PID));
        return;
    }
    s.log.LogString(format("Tri PID val %d (0x%X)", value, static_cast<unsigned>(value)));
    if (map->KroXMAP == 0) return;

    std::int32_t err = 0;
    const std::int32_t mapped = TriKroXmap(value, map->TriWidth, map->KroXMAP, err);
    if (err != 0) {
        s.log.LogString(format("Error with XMAP %d", err));
        return;
    }
    const auto* positions = entry(kro.KroEFXParamArray, map->KroEFX);
    const TKroEfxParamArray* at = positions ? entry(*positions, map->KroPID) : nullptr;
    // The tables hold widths 0-16; a wider one is no position and never reaches the mask.
    if (!at || at->KroWidth >= bmasks.size()) return;
    s.log.LogString(format("Kronos EFXparm: ofs:%d, width:%d, bitpos:%d ", at->KroOfs, at->KroWidth, at->KroBitPos));
    const std::uint32_t masked = static_cast<std::uint32_t>(mapped) & bmasks[at->KroWidth];
    s.log.LogString(format("Mapped Parameter %d (0x%X)", mapped, masked));
}

void TriParseEfx(Session& s, std::int32_t PID)
{
    TriParseEfx(s, PID, triKroTables(s), kronosDefs(s));
}

void TriParseEfxPostProcess(Session& s, std::int32_t PID)
{
    try {
        TriParseEfx(s, PID);
    } catch (const TolvexError& e) {
        s.shell.messageBox("Error", e.what(), MsgIcon::Error);
    }
}

}  // namespace tolvex
