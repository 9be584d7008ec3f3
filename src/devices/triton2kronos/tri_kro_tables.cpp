// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_tables.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "core/app/session.h"
#include "core/app/table_files.h"
#include "core/text/csv_parser.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

// Eight or ten comma-separated integers within their limits; range.known
// tells which.
bool readMapRow(const std::string& line, std::array<int, 8>& v, TriKroRange& range)
{
    // Triton effect, TriOfs (16 parameter bytes), TriWidth (what the bit-field
    // routines take), TriBitPos (a bit of one byte), PID, KroEFX, KroPID,
    // KroXMAP, then the Kronos range (a 16-bit field, signed or not).
    static constexpr std::array<int, 8> kHighest = {255, 15, 16, 7, 255, 255, 255, 255};
    std::vector<int> cells;
    if (!ParseCSVIntegers(line, cells) || (cells.size() != 8 && cells.size() != 10)) return false;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (cells[i] < 0 || cells[i] > kHighest[i]) return false;
        v[i] = cells[i];
    }
    range = {};
    if (cells.size() == 10) {
        if (cells[8] < -32768 || cells[9] > 65535 || cells[8] > cells[9]) return false;
        range = {true, cells[8], cells[9]};
    }
    return true;
}

void setMaxPid(TriKroEfxMap& map, std::size_t effect, int pid)
{
    if (map.TriMaxEFXPIDArray.size() <= effect) map.TriMaxEFXPIDArray.resize(effect + 1);
    map.TriMaxEFXPIDArray[effect] = static_cast<std::uint8_t>(pid);
}

// The settings file first, then the shipped maps; the text and where it came from.
struct ValueSource {
    const IniFile& ini;
    const IniFile* shipped;

    std::string read(const char* section, const std::string& key, std::string& from) const
    {
        for (const IniFile* file : {&ini, shipped})
            if (file && file->HasKey(section, key)) {
                from = file->path();
                return file->ReadString(section, key, "");
            }
        from = "default";
        return {};
    }
};

template <std::size_t N>
void readMap(const ValueSource& src, const char* section, std::array<std::int32_t, N>& table, std::size_t keys,
             bool twoDigitKeys, bool digitsOnly, std::int32_t fallback, std::ostream* record)
{
    for (std::size_t i = 0; i < keys; ++i) {
        const std::string key = twoDigitKeys ? format("%02zu", i) : std::to_string(i);
        std::string from;
        std::string text = src.read(section, key, from);
        if (record) *record << section << ' ' << i << " \"" << text << "\" " << from << "\r\n";
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
        TriKroRange range;
        if (!readMapRow(line, v, range)) {
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
        if (map.KroRangeArray.size() <= effect) map.KroRangeArray.resize(effect + 1);
        auto& ranges = map.KroRangeArray[effect];
        if (ranges.size() <= pid) ranges.resize(pid + 1);
        ranges[pid] = range;
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

void ReadTriKroValueMaps(const IniFile& ini, const IniFile* shipped, TriKroValueMaps& m, std::ostream* record)
{
    const ValueSource src{ini, shipped};
    readMap(src, "TriCombiCatMap", m.TriCombiCatMapping, 16, true, true, 17, record);
    readMap(src, "TriSwitchMap", m.TriSwitchMapping, 13, true, false, 0, record);
    readMap(src, "TriDelayMap", m.TriDelayMapping, 98, false, false, 0, record);
    readMap(src, "TriDrumKitIFXMap", m.TriDrumKitIFXMapping, 6, false, false, 0, record);
    readMap(src, "TriBusSelectMap", m.TriBusSelectMapping, 14, false, false, 0, record);
    readMap(src, "TriKroEfxFcMidMap", m.TriKroEfxFcMidMapping, 98, false, false, 0, record);
    std::string from;
    int sub = 0;
    m.DefaultKroCombSubCat = parseDecimal(src.read("TriKroConvert", "DefaultSubCategory", from), sub) ? sub : 7;
}

void ReadTriKroValueMaps(const IniFile& ini, const std::string& progpath, TriKroValueMaps& maps, std::ostream* record)
{
    const auto found = findTableFile(kTriKroValueMapsFile, tableFolders(progpath));
    if (!found) {
        ReadTriKroValueMaps(ini, nullptr, maps, record);
        return;
    }
    const IniFile shipped(*found);
    ReadTriKroValueMaps(ini, &shipped, maps, record);
}

namespace {

// The tables of one session, and the reading a deferred start-up left pending.
struct SessionTriKroTables {
    TriKroTables tables;
    std::function<void()> loader;
};

}  // namespace

void setTriKroTableLoader(Session& s, std::function<void()> loader)
{
    s.families.records<SessionTriKroTables>().loader = std::move(loader);
}

TriKroTables& triKroTablesAsRead(Session& s)
{
    return s.families.records<SessionTriKroTables>().tables;
}

TriKroTables& triKroTables(Session& s)
{
    SessionTriKroTables& t = s.families.records<SessionTriKroTables>();
    if (t.loader) {
        // Taken first: the loader fills the tables through this accessor.
        const auto load = std::move(t.loader);
        t.loader = nullptr;
        s.families.runDeferredLoad(load);
    }
    return t.tables;
}

}  // namespace tolvex
