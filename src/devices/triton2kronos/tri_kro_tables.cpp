#include "devices/triton2kronos/tri_kro_tables.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "core/text/ini_file.h"

namespace tolvex {

namespace {

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Eight comma-separated integers within their limits.
bool readMapRow(const std::string& line, std::array<int, 8>& v)
{
    // Triton effect, TriOfs (16 parameter bytes), TriWidth (what the bit-field
    // routines take), TriBitPos (a bit of one byte), PID, KroEFX, KroPID, KroXMAP.
    static constexpr std::array<int, 8> kHighest = {255, 15, 16, 7, 255, 255, 255, 255};
    std::size_t start = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const auto comma = line.find(',', start);
        if ((comma == std::string::npos) != (i + 1 == v.size())) return false;
        const std::string cell = trimmed(line.substr(start, comma == std::string::npos ? comma : comma - start));
        if (!parseDecimal(cell, v[i]) || v[i] < 0 || v[i] > kHighest[i]) return false;
        start = comma + 1;
    }
    return true;
}

void setMaxPid(TriKroEfxMap& map, std::size_t effect, int pid)
{
    if (map.TriMaxEFXPIDArray.size() <= effect) map.TriMaxEFXPIDArray.resize(effect + 1);
    map.TriMaxEFXPIDArray[effect] = static_cast<std::uint8_t>(pid);
}

template <std::size_t N>
void readMap(const IniFile& ini, const char* section, std::array<std::int32_t, N>& table, std::size_t keys,
             bool twoDigitKeys, bool digitsOnly, std::int32_t fallback, std::ostream* record)
{
    for (std::size_t i = 0; i < keys; ++i) {
        const std::string key = twoDigitKeys ? format("%02zu", i) : std::to_string(i);
        std::string text = ini.ReadString(section, key, "");
        if (record) *record << section << ' ' << i << " \"" << text << "\"\r\n";
        if (digitsOnly)
            text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; }), text.end());
        int value = 0;
        table[i] = parseDecimal(text, value) ? value : fallback;
    }
}

}  // namespace

TableLoad create_Tri_Kro_Efx_Map_Table(std::istream& in, TriKroEfxMap& map)
{
    TableLoad load;
    std::string line;
    std::size_t number = 0;
    std::size_t previousEffect = 0;
    int previousPid = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trimmed(line).empty()) continue;
        std::array<int, 8> v{};
        if (!readMapRow(line, v)) {
            load.refused.push_back(number);
            continue;
        }
        const auto effect = static_cast<std::size_t>(v[0]), pid = static_cast<std::size_t>(v[4]);
        if (effect != previousEffect) setMaxPid(map, previousEffect, previousPid);
        if (map.TriKroEFXMapArray.size() <= effect) map.TriKroEFXMapArray.resize(effect + 1);
        auto& row = map.TriKroEFXMapArray[effect];
        if (row.size() <= pid) row.resize(pid + 1);
        row[pid] = {static_cast<std::uint8_t>(v[1]), static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[3]),
                    static_cast<std::uint8_t>(v[5]), static_cast<std::uint8_t>(v[6]), static_cast<std::uint8_t>(v[7])};
        previousEffect = effect;
        previousPid = v[4];
        ++load.rows;
    }
    if (load.rows > 0) setMaxPid(map, previousEffect, previousPid);
    return load;
}

std::string TriKroEfxMapSummary(const TriKroEfxMap& map)
{
    std::size_t maxPid = 0, total = 0;
    for (const auto& row : map.TriKroEFXMapArray) {
        if (!row.empty()) maxPid = std::max(maxPid, row.size() - 1);
        total += row.size();
    }
    return tableSummary("TriKroEfxMap", map.TriKroEFXMapArray.size(), maxPid, total);
}

void ReadTriKroValueMaps(const IniFile& ini, TriKroValueMaps& m, std::ostream* record)
{
    readMap(ini, "TriCombiCatMap", m.TriCombiCatMapping, 16, true, true, 17, record);
    readMap(ini, "TriSwitchMap", m.TriSwitchMapping, 13, true, false, 0, record);
    readMap(ini, "TriDelayMap", m.TriDelayMapping, 98, false, false, 0, record);
    readMap(ini, "TriDrumKitIFXMap", m.TriDrumKitIFXMapping, 6, false, false, 0, record);
    readMap(ini, "TriBusSelectMap", m.TriBusSelectMapping, 14, false, false, 0, record);
    readMap(ini, "TriKroEfxFcMidMap", m.TriKroEfxFcMidMapping, 98, false, false, 0, record);
    int sub = 0;
    m.DefaultKroCombSubCat = parseDecimal(ini.ReadString("TriKroConvert", "DefaultSubCategory", ""), sub) ? sub : 7;
}

TriKroTables& triKroTables()
{
    static TriKroTables tables;
    return tables;
}

}  // namespace tolvex
