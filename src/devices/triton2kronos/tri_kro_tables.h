// The tables that drive the Triton to Kronos Combi conversion: the value maps
// kept in the settings file, the effect map of "Tri_Kro_Efx_Map.txt" and the
// Triton effect names of "TriEffectNameList.txt". Loaded at start-up, read
// afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "devices/kronos/kronos_defs.h"

namespace tolvex {

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

struct TriKroEfxMap {
    // Indexed by Triton effect number, then by Triton parameter id.
    std::vector<std::vector<Ttrikroefxmaparay>> TriKroEFXMapArray;
    // Per Triton effect, the highest parameter id to convert (0: none).
    std::vector<std::uint8_t> TriMaxEFXPIDArray;
};

// Reads "Tri_Kro_Efx_Map.txt" rows (eight integers: Triton effect, TriOfs,
// TriWidth, TriBitPos, Triton PID, KroEFX, KroPID, KroXMAP) into map. A row
// that is not eight integers, or whose TriOfs is above 15, TriWidth above 16,
// TriBitPos above 7 or another column above 255, is refused and skipped.
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

// Reads the value maps from the settings file. Each key read adds a line
// `SECTION INDEX "RAW"` to *record (the "debugINI.txt" record) when given.
void ReadTriKroValueMaps(const IniFile& ini, TriKroValueMaps& maps, std::ostream* record);

// Every table of the conversion, for the program.
struct TriKroTables {
    TriKroEfxMap efxMap;
    TriKroValueMaps valueMaps;
    std::vector<std::string> TriEffectNameList;  // line i: Triton effect i
};
TriKroTables& triKroTables();

}  // namespace tolvex
