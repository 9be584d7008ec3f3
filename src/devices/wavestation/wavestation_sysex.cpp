// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/wavestation/wavestation_sysex.h"

#include <charconv>

#include "core/text/text_utils.h"

namespace tolvex {

namespace {

// A decimal number in [0, limit) filling the whole token, else nothing.
std::optional<int> indexToken(const std::string& token, int limit)
{
    int value = 0;
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, value);
    if (token.empty() || ec != std::errc() || ptr != end || value < 0 || value >= limit) return std::nullopt;
    return value;
}

}  // namespace

std::optional<WSSRFormat> WSSR_format(ByteView sx)
{
    if (sx.size() < 5 || sx[0] != 0xF0 || sx[1] != 0x42 /* Korg */ || (sx[2] & 0xF0) != 0x30 ||
        sx[3] != 0x28 /* Wavestation */)
        return std::nullopt;
    WSSRFormat f;
    f.function = sx[4];
    switch (f.function) {
    case kWSSR_OnePatch: f.start = 7, f.size = sizeof(TWSSR_patch); break;
    case kWSSR_OnePerformance: f.start = 7, f.size = sizeof(TWSSR_performance); break;
    case kWSSR_PatchBank: f.start = 6, f.size = kWSSR_PatchesPerBank * sizeof(TWSSR_patch); break;
    case kWSSR_PerformanceBank: f.start = 6, f.size = kWSSR_PerformancesPerBank * sizeof(TWSSR_performance); break;
    case kWSSR_AllData: f.start = 5, f.size = kWSSR_AllDataSize; break;
    case 0x5D:
    case 0x5F:
    case kWSSR_PerfMapDump: f.start = 5, f.size = sizeof(TWSSR_perfmap_block); break;
    default: return std::nullopt;
    }
    // Less than two nibbles, the checksum and F7 after the data start is no dump at all.
    if (sx.size() < f.start + 4) return std::nullopt;
    if (f.start == 7) {
        f.bank = sx[5];
        f.number = sx[6];
    } else if (f.start == 6) {
        f.bank = sx[5];
    }
    return f;
}

Bytes WSSR_unnibble(ByteView sx, std::size_t start, std::size_t n)
{
    return joinNibbles(sx.subspan(start, 2 * n), false);
}

std::uint8_t WSSR_checksum(ByteView nibbles)
{
    unsigned sum = 0;
    for (std::uint8_t b : nibbles) sum += b;
    return static_cast<std::uint8_t>(sum & 0x7F);
}

Bytes WSSR_PerfMaptoSysex(const TWSSR_perfmap_block& perfmap, int chan)
{
    Bytes sx{0xF0, 0x42 /* Korg */, static_cast<std::uint8_t>(0x30 | (chan & 0x0F)), 0x28 /* Wavestation */,
             kWSSR_PerfMapDump};
    const auto nibbles = [&sx](std::uint8_t b) {
        sx.push_back(b & 0x0F);
        sx.push_back(static_cast<std::uint8_t>(b >> 4));
    };
    for (const TWSSR_perfmap& e : perfmap.perfmaps) {
        nibbles(e.Perfmap_Bank);
        nibbles(e.Perfmap_Prog);
    }
    nibbles(perfmap.spare_perfmap_byte);
    sx.push_back(WSSR_checksum(ByteView(sx).subspan(5)));
    sx.push_back(0xF7);
    return sx;
}

Bytes WSSR_BankRequest(std::uint8_t function, int chan, int bank)
{
    return {0xF0,
            0x42 /* Korg */,
            static_cast<std::uint8_t>(0x30 | (chan & 0x0F)),
            0x28 /* Wavestation */,
            function,
            static_cast<std::uint8_t>(bank & 0x7F),
            0xF7};
}

std::string WSSR_nameText(const std::array<std::uint8_t, 16>& name)
{
    std::string text(name.begin(), name.end());
    return text.substr(0, text.find('\0'));
}

const std::string& WSSR_lookupName(const WSSRNameTable& table, int bank, int number)
{
    static const std::string none;
    if (bank < 0 || bank >= kWSSR_Banks || number < 0 || number >= kWSSR_BankEntries) return none;
    return table[static_cast<std::size_t>(bank)][static_cast<std::size_t>(number)];
}

std::string WSSR_perfMapText(const TWSSR_perfmap_block& map, const WSSRNameTable& perfNames)
{
    std::string text;
    for (std::size_t i = 0; i < map.perfmaps.size(); ++i) {
        const TWSSR_perfmap& e = map.perfmaps[i];
        text += format("%zu,%d,%d,", i, e.Perfmap_Bank, e.Perfmap_Prog) +
                WSSR_lookupName(perfNames, e.Perfmap_Bank, e.Perfmap_Prog) + "\r\n";
    }
    return text;
}

void WSSR_readMapping(const std::string& content, const std::string& fileName, WSSRNameTable& table)
{
    std::size_t from = 0;
    while (from < content.size()) {
        std::size_t to = content.find('\n', from);
        if (to == std::string::npos) to = content.size();
        std::string line = trimmed(content.substr(from, to - from), kBlanksAndControls);
        from = to + 1;
        if (line.empty()) continue;
        std::string token;
        parse(line, token, ' ');
        const auto bank = indexToken(token, kWSSR_Banks);
        if (!bank) throw WavestationError("MIDI", "Invalid banknum in " + fileName + " file: " + token);
        parse(line, token, ' ');
        const auto number = indexToken(token, kWSSR_BankEntries);
        if (!number) throw WavestationError("MIDI", "Invalid perfnum in " + fileName + " file: " + token);
        table[static_cast<std::size_t>(*bank)][static_cast<std::size_t>(*number)] = line.substr(0, kWSSR_NameLength);
    }
}

}  // namespace tolvex
