// SPDX-License-Identifier: GPL-3.0-or-later
// The tables that drive the Triton to Kronos Combi conversion: the value maps
// kept in the settings file, the effect map of "Tri_Kro_Efx_Map.txt" and the
// Triton effect names of "TriEffectNameList.txt". Loaded at start-up, read
// afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "devices/kronos/kronos_defs.h"

namespace tolvex {

class Session;

class IniFile;

// One Triton effect parameter and where it goes in the Kronos effect.
struct Ttrikroefxmaparay {
    std::uint8_t TriOfs = 0;     // byte in the 16 Triton effect parameter bytes, 0-15
    std::uint8_t TriWidth = 0;   // bits, 0-16
    std::uint8_t TriBitPos = 0;  // as GetBitField takes it in BE order, 0-7
    std::uint8_t KroEFX = 0;     // Kronos effect number
    std::uint8_t KroPID = 0;     // Kronos parameter id
    std::uint8_t KroXMAP = 0;    // value-map selector (0: value unchanged)
};
static_assert(sizeof(Ttrikroefxmaparay) == 6);

// The raw range of the Kronos parameter a map row writes (signed where low is
// negative); every value the conversion writes there is checked against it.
struct TriKroRange {
    bool known = false;  // false: the row gave none; the field's width then bounds the value
    std::int32_t low = 0;
    std::int32_t high = 0;
};

struct TriKroEfxMap {
    // Indexed by Triton effect number, then by Triton parameter id.
    std::vector<std::vector<Ttrikroefxmaparay>> TriKroEFXMapArray;
    // Beside it, in the same shape: the Kronos range of each row.
    std::vector<std::vector<TriKroRange>> KroRangeArray;
    // Per Triton effect, the highest parameter id to convert (0: none).
    std::vector<std::uint8_t> TriMaxEFXPIDArray;
};

// Reads "Tri_Kro_Efx_Map.txt" rows (eight integers: Triton effect, TriOfs,
// TriWidth, TriBitPos, Triton PID, KroEFX, KroPID, KroXMAP, optionally followed
// by two more: the Kronos parameter's lowest and highest raw value) into map. A
// row that is not eight or ten integers, whose TriOfs is above 15, TriWidth
// above 16, TriBitPos above 7 or another of the first eight columns above 255,
// or whose range is not low <= high within -32768..65535, is refused and skipped.
// Each effect's rows are expected together, its highest parameter id last.
TableLoad create_Tri_Kro_Efx_Map_Table(std::istream& in, TriKroEfxMap& map);
std::string TriKroEfxMapSummary(const TriKroEfxMap& map);

// The value maps of the settings file.
struct TriKroValueMaps {
    std::array<std::int32_t, 16> TriCombiCatMapping{};
    std::array<std::int32_t, 13> TriSwitchMapping{};
    std::array<std::int32_t, 98> TriDelayMapping{};
    std::array<std::int32_t, 6> TriDrumKitIFXMapping{};
    std::array<std::int32_t, 14> TriBusSelectMapping{};
    std::array<std::int32_t, 128> TriKroEfxFcMidMapping{};  // keys 0-97 read, the rest stay 0
    std::int32_t DefaultKroCombSubCat = 0;
};

// The value maps shipped with the program, read for every key the settings
// file lacks; found like the tables (settings folder, program folder, share).
inline constexpr char kTriKroValueMapsFile[] = "TOLVEX-valuemaps.ini";

// Reads the value maps: each key from the settings file `ini`, else from
// `shipped` (when given), else the map's default. Each key read adds a line
// `SECTION INDEX "RAW" SOURCE` to *record (the "debugINI.txt" record) when
// given, SOURCE being the path of the file the text came from, or "default".
void ReadTriKroValueMaps(const IniFile& ini, const IniFile* shipped, TriKroValueMaps& maps, std::ostream* record);
// The same with the shipped file looked up in the table folders of progpath.
void ReadTriKroValueMaps(const IniFile& ini, const std::string& progpath, TriKroValueMaps& maps, std::ostream* record);

// Every table of the conversion, for one session.
struct TriKroTables {
    TriKroEfxMap efxMap;
    TriKroValueMaps valueMaps;
    std::vector<std::string> TriEffectNameList;  // line i: Triton effect i
};
// The session's tables; a deferred start-up's reading runs first (see
// setTriKroTableLoader).
TriKroTables& triKroTables(Session& s);
// The session's tables as they are, without running a pending reading (the
// settings and lists that are read at once, beside a deferred effect map).
TriKroTables& triKroTablesAsRead(Session& s);
// What reads the deferred tables on the next triKroTables(s); null: nothing pending.
void setTriKroTableLoader(Session& s, std::function<void()> loader);

}  // namespace tolvex
