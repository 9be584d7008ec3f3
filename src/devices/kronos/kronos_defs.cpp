// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/kronos/kronos_defs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <istream>
#include <iterator>

#include "core/app/session.h"
#include "core/text/csv_parser.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

constexpr std::array<const char*, 24> kObjectTexts = {"Prog",
                                                      "Comb",
                                                      "Song Timbre Set",
                                                      "Global",
                                                      "Drum Kit",
                                                      "Wave Seq",
                                                      "KARMA GE",
                                                      "KARMA Template",
                                                      "Song Control",
                                                      "Song Event",
                                                      "Song Region",
                                                      "Reserved",
                                                      "KARMA GE RTP Info",
                                                      "Set List",
                                                      "Drum Track Pattern",
                                                      "Drum Track Pattern Event",
                                                      "Set List Slot Comments",
                                                      "Set List Slot Name",
                                                      "Combi Name",
                                                      "Program Name",
                                                      "Song Name",
                                                      "Wave Seq Name",
                                                      "Drum Kit Name",
                                                      "Set List Name"};

// Parameter-change functions by group index 1-9.
constexpr std::array<int, 10> kGroupFunctions = {0, 0x43, 0x44, 0x41, 0x6D, 0x6E, 0x53, 0x54, 0x55, 0x56};

std::string letter(int first, int bank)
{
    return std::string(1, static_cast<char>('A' + (bank - first)));
}

// "U" + letter, built by appending: GCC 12 takes `"U" + std::string` for an
// overlapping copy (-Wrestrict) in optimised builds.
std::string userBank(int first, int bank)
{
    std::string text = "U";
    text += static_cast<char>('A' + (bank - first));
    return text;
}

std::string invalidBank(int bank)
{
    return format("Invalid: %d (%02X)", bank, static_cast<unsigned>(bank & 0xFF));
}

// One line of a table file without its line end; false at the end.
bool nextLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Comma-separated integers, each within its limit; false for anything else.
template <std::size_t N>
bool readRow(const std::string& line, std::array<int, N>& values, const std::array<int, N>& highest)
{
    std::vector<int> cells;
    if (!ParseCSVIntegers(line, cells) || cells.size() != N) return false;  // too few or too many columns
    for (std::size_t i = 0; i < N; ++i) {
        if (cells[i] < 0 || cells[i] > highest[i]) return false;
        values[i] = cells[i];
    }
    return true;
}

// Writes `v` (0-999) as three digits.
char* threeDigits(char* at, int v)
{
    at[0] = static_cast<char>('0' + v / 100);
    at[1] = static_cast<char>('0' + v / 10 % 10);
    at[2] = static_cast<char>('0' + v % 10);
    return at + 3;
}

bool threeDigitFields(int typ, int soc, int sub, int pid, int idx)
{
    const auto fits = [](int v) { return v >= 0 && v <= 999; };
    return fits(typ) && fits(soc) && fits(sub) && fits(pid) && fits(idx);
}

// Every message naming a Kronos parameter builds these, an unknown one ten
// keys: written digit by digit, the same as the printf forms beside them.
std::string keyOf(int group, int typ, int soc, int sub, int pid, int idx)
{
    if (group < 0 || group > 9 || !threeDigitFields(typ, soc, sub, pid, idx))
        return format("%1.1d%3.3d%3.3d%3.3d%3.3d%3.3d", group, typ, soc, sub, pid, idx);
    char key[16];
    key[0] = static_cast<char>('0' + group);
    char* at = key + 1;
    for (int v : {typ, soc, sub, pid, idx}) at = threeDigits(at, v);
    return std::string(key, sizeof key);
}

std::string fnText(int func, int typ, int soc, int sub, int pid, int idx)
{
    if (func < 0 || func > 0xFF || !threeDigitFields(typ, soc, sub, pid, idx))
        return format("Fn%X Ty%3.3d So%3.3d Su%3.3d Pi%3.3d Ix%3.3d", static_cast<unsigned>(func), typ, soc, sub, pid,
                      idx);
    static constexpr char kHex[] = "0123456789ABCDEF";
    char text[40] = {'F', 'n'};
    char* at = text + 2;
    if (func > 0xF) *at++ = kHex[func >> 4];
    *at++ = kHex[func & 0xF];
    static constexpr const char* kLabels[] = {" Ty", " So", " Su", " Pi", " Ix"};
    const int fields[] = {typ, soc, sub, pid, idx};
    for (std::size_t i = 0; i < 5; ++i) {
        at = std::copy_n(kLabels[i], 3, at);
        at = threeDigits(at, fields[i]);
    }
    return std::string(text, static_cast<std::size_t>(at - text));
}

}  // namespace

std::string Kro_Object_Text(int ix)
{
    return ix >= 0 && ix < static_cast<int>(kObjectTexts.size()) ? kObjectTexts[static_cast<std::size_t>(ix)] : "";
}

std::string Kro_obj_Text1(std::uint8_t objID)
{
    return Kro_Object_Text(objID);
}

std::string Kro_obj_Text2(std::uint8_t objID, std::uint8_t bank)
{
    return Kro_Object_Text(objID) + " " + Kro_Bank_Text(objID, bank);
}

std::string Kro_obj_Text4(std::uint8_t objID, std::uint8_t bank, std::uint8_t, std::uint8_t idxL)
{
    return Kro_obj_Text2(objID, bank) + format("%3.3d", idxL);
}

std::string Kro_obj_Text5(std::uint8_t objID, std::uint8_t bank, std::uint8_t, std::uint8_t idxL, std::uint8_t ver)
{
    return Kro_obj_Text2(objID, bank) + format("%3.3d v%X", idxL, ver);
}

std::string Kro_obj_Text6(ByteView msg)
{
    if (msg.size() <= 6) return {};
    return Kro_Object_Text(msg[5]) + format(" V%d", msg[6]);
}

std::string Kro_obj_Text_Generic1(std::uint8_t objID)
{
    return format(" 0x%X", objID);
}

std::string Kro_Bank_Text(int objtype, int bank)
{
    switch (objtype) {
    case 0:
    case 19:  // programs
        if (bank >= 0 && bank <= 5) return "I-" + letter(0, bank);
        if (bank >= 16 && bank <= 25) return "Gm" + std::string(1, static_cast<char>(bank + 33));
        if (bank == 26) return "Gmd";
        if (bank >= 64 && bank <= 70) return "U-" + letter(64, bank);
        if (bank >= 71 && bank <= 77) return "U-" + letter(71, bank) + letter(71, bank);
        return invalidBank(bank);
    case 1:
    case 18:  // Combis: INT-A..G, USER-A..G
        if (bank >= 0 && bank <= 6) return "I-" + letter(0, bank);
        if (bank >= 64 && bank <= 70) return "U-" + letter(64, bank);
        return invalidBank(bank);
    case 4:
    case 22:  // drum kits
        if (bank == 0) return "Int";
        if (bank == 16) return "Gm";
        if (bank >= 64 && bank <= 70) return userBank(64, bank);
        return "Invalid Bank";
    case 5:
    case 21:  // wave sequences
        if (bank == 0) return "Int";
        if (bank >= 64 && bank <= 70) return userBank(64, bank);
        return invalidBank(bank);
    case 6:  // KARMA GE
        if (bank >= 0 && bank <= 11) return userBank(0, bank);
        return invalidBank(bank);
    case 7:  // KARMA Template
        if (bank >= 0 && bank <= 3) return userBank(0, bank);
        return "Invalid Bank";
    case 11:
    case 16: return format("SL:%d", bank);
    default: return "??";
    }
}

// Written "-B?" "?-": two question marks before '-' would read as a trigraph.
constexpr char kNoTimbreBank[] =
    "-B?"
    "?-";

std::string Kro_Timbre_Bank_Text(int objtype, int bank)
{
    if (objtype != 0 && objtype != 19) return kNoTimbreBank;
    if (bank >= 0 && bank <= 6) return "I-" + letter(0, bank);
    if (bank >= 17 && bank <= 23) return "U-" + letter(17, bank);
    if (bank >= 24 && bank <= 30) return "U-" + letter(24, bank) + letter(24, bank);
    return kNoTimbreBank;
}

int KronosParmFuncToIndex(int func)
{
    for (std::size_t g = 1; g < kGroupFunctions.size(); ++g)
        if (kGroupFunctions[g] == func) return static_cast<int>(g);
    return 0;
}

int KronosParmIndexToFunc(int index)
{
    return index >= 1 && index < static_cast<int>(kGroupFunctions.size())
               ? kGroupFunctions[static_cast<std::size_t>(index)]
               : 0;
}

std::size_t SortedNameValueList::assign(std::string text)
{
    text_ = std::move(text);
    lines_.clear();
    if (text_.size() > UINT32_MAX) throw TolvexError("Table file too large");
    std::size_t pos = 0;
    while (pos < text_.size()) {
        std::size_t end = text_.find('\n', pos);
        if (end == std::string::npos) end = text_.size();
        std::size_t stop = end;
        if (stop > pos && text_[stop - 1] == '\r') --stop;
        if (stop > pos) lines_.push_back({static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(stop - pos)});
        pos = end + 1;
    }
    const auto less = [this](const Line& a, const Line& b) { return line(a) < line(b); };
    std::sort(lines_.begin(), lines_.end(), less);
    const auto same = [this](const Line& a, const Line& b) { return line(a) == line(b); };
    const std::size_t before = lines_.size();
    lines_.erase(std::unique(lines_.begin(), lines_.end(), same), lines_.end());
    return before - lines_.size();
}

std::optional<std::string_view> SortedNameValueList::value(std::string_view name) const
{
    // Every line of this name starts with name + '='; they sort together, first
    // at the lower bound of that prefix.
    std::string prefix;
    prefix.reserve(name.size() + 1);
    prefix.append(name).push_back('=');
    const auto it = std::lower_bound(lines_.begin(), lines_.end(), std::string_view(prefix),
                                     [this](const Line& l, std::string_view p) { return line(l) < p; });
    if (it == lines_.end() || line(*it).substr(0, prefix.size()) != prefix) return std::nullopt;
    return line(*it).substr(prefix.size());
}

void SortedNameValueList::clear()
{
    text_.clear();
    lines_.clear();
}

TableLoad loadNameValueList(std::istream& in, SortedNameValueList& list)
{
    // The whole file in one read when its size is known (a table file); else piece by piece.
    std::string text;
    const auto start = in.tellg();
    if (start >= 0 && in.seekg(0, std::ios::end)) {
        const auto end = in.tellg();
        in.seekg(start);
        if (end > start) {
            text.resize(static_cast<std::size_t>(end - start));
            in.read(text.data(), static_cast<std::streamsize>(text.size()));
            text.resize(static_cast<std::size_t>(in.gcount()));
        }
    } else {
        in.clear();
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    TableLoad load;
    load.duplicatesDropped = list.assign(std::move(text));
    load.rows = list.count();
    return load;
}

TableLoad loadKroEfxParamArray(std::istream& in, KroEfxParamTable& table)
{
    // Effect numbers are bytes, parameter ids have two digits in the name keys,
    // offsets lie in the 64-byte effect block, widths are what the bit-field
    // routines take, and a bit position names a bit of one byte.
    static constexpr std::array<int, 5> kHighest = {255, 99, 63, 16, 7};
    TableLoad load;
    std::string line;
    std::size_t number = 0;
    while (nextLine(in, line)) {
        ++number;
        if (trimmed(line).empty()) continue;
        std::array<int, 5> v{};
        if (!readRow(line, v, kHighest)) {
            load.refused.push_back(number);
            continue;
        }
        const auto effect = static_cast<std::size_t>(v[0]), pid = static_cast<std::size_t>(v[1]);
        if (table.size() <= effect) table.resize(effect + 1);
        if (table[effect].size() <= pid) table[effect].resize(pid + 1);
        table[effect][pid] = {static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[3]),
                              static_cast<std::uint8_t>(v[4])};
        ++load.rows;
    }
    return load;
}

std::string tableSummary(const char* what, std::size_t rows, std::size_t maxPid, std::size_t totalPids)
{
    const double kbytes = static_cast<double>(rows) * static_cast<double>(totalPids) * 4.0 / 1024.0;
    // Two decimals, then thousands separators in the whole part.
    const std::string plain = format("%.2f", kbytes);
    const std::size_t dot = plain.find('.');
    std::string number;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i > 0 && i < dot && (dot - i) % 3 == 0) number += ',';
        number += plain[i];
    }
    return format("Loaded %s, %zu rows, %zu max PIDs in row, %zu total PIDS, %s Kbytes", what, rows, maxPid, totalPids,
                  number.c_str());
}

std::string KroEfxParamSummary(const KroEfxParamTable& table)
{
    std::size_t maxPid = 0, total = 0;
    for (const auto& row : table) {
        if (!row.empty()) maxPid = std::max(maxPid, row.size() - 1);
        total += row.size();
    }
    return tableSummary("KroEFXParamArray", table.size(), maxPid, total);
}

std::string KronosDefs::Kro_parm_desc(int func, int typ, int soc, int sub, int pid, int idx, const NamingLog& log)
{
    const int group = KronosParmFuncToIndex(func);
    if (const auto v = Kro_paramlist.value(keyOf(group, typ, soc, sub, pid, idx)))
        return std::string(*v) + " (" + fnText(KronosParmIndexToFunc(group), typ, soc, sub, pid, idx) + ")";
    const std::string key = keyOf(group, typ, soc, sub, pid, idx);
    const std::string fn = fnText(func, typ, soc, sub, pid, idx);
    if (log) log("  " + key + ": Unknown Param: " + fn);
    unknownParamFile.debuglog("Unknown Parameter: " + fn);
    // The same parameter may be listed under another function's group.
    for (int g = 1; g <= 9; ++g) {
        if (g == group) continue;
        if (const auto v = Kro_paramlist.value(keyOf(g, typ, soc, sub, pid, idx)))
            return std::string(*v) + " (" + fnText(KronosParmIndexToFunc(g), typ, soc, sub, pid, idx) + ")";
    }
    return "?";
}

std::string KronosDefs::Kro_efx_name(int efx, const NamingLog& log) const
{
    const std::string key = format("%3.3d%2.2d", efx, 0);
    const auto v = KroEfxNamelist.value(key);
    if (!v) {
        if (log) log("Did not Match: " + key + "in Kro_Efx_Param_Names.txt");
        return "?";
    }
    const auto colon = v->find(':');
    return colon == std::string_view::npos ? "??" : std::string(v->substr(0, colon + 1));
}

std::string KronosDefs::Kro_efx_desc(int efx, int pid, const NamingLog& log) const
{
    if (const auto v = KroEfxNamelist.value(format("%3.3d%2.2d", efx, pid))) return std::string(*v);
    if (log) log(format("Did not Match: EFX %3.3d  PID %3.3d ", efx, pid));
    return "?";
}

void KronosDefs::clear()
{
    Kro_paramlist.clear();
    KroEfxNamelist.clear();
    KroEFXParamArray.clear();
    unknownParamFile.close();
}

namespace {

// The tables of one session, and the load a deferred start-up left pending.
struct SessionKronosDefs {
    KronosDefs defs;
    std::function<void()> loader;
};

}  // namespace

void setKronosTableLoader(Session& s, std::function<void()> loader)
{
    s.families.records<SessionKronosDefs>().loader = std::move(loader);
}

KronosDefs& kronosDefs(Session& s)
{
    SessionKronosDefs& t = s.families.records<SessionKronosDefs>();
    if (t.loader) {
        // Taken first: the loader fills the tables through this accessor.
        const auto load = std::move(t.loader);
        t.loader = nullptr;
        s.families.runDeferredLoad(load);
    }
    return t.defs;
}

}  // namespace tolvex
