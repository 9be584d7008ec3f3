// SPDX-License-Identifier: GPL-3.0-or-later
// Korg Wavestation SR data: the message layout by function, the nibble form
// its data travels in, the unpacked records the tools read (names and the
// performance map), the name tables that connect them, and the text files
// made from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

// Message: F0 42 3n 28 (Korg, channel n, Wavestation), byte 4 the function,
// bank and number bytes for some functions, the data bytes as two message
// bytes each (low half first), a checksum and F7.
inline constexpr std::uint8_t kWSSR_OnePatch = 0x40;
inline constexpr std::uint8_t kWSSR_OnePerformance = 0x49;
inline constexpr std::uint8_t kWSSR_PatchBank = 0x4C;
inline constexpr std::uint8_t kWSSR_PerformanceBank = 0x4D;
inline constexpr std::uint8_t kWSSR_AllData = 0x50;
inline constexpr std::uint8_t kWSSR_PerfMapDump = 0x60;  // also sent as 5D and 5F

inline constexpr int kWSSR_Banks = 12;         // banks 0-11
inline constexpr int kWSSR_BankEntries = 128;  // numbers 0-127
inline constexpr int kWSSR_PatchesPerBank = 35;
inline constexpr int kWSSR_PerformancesPerBank = 50;
inline constexpr std::size_t kWSSR_NameLength = 16;
inline constexpr std::size_t kWSSR_AllDataSize = 52211;  // the largest unpacked message
inline constexpr std::size_t kWSSR_PerfMapMessageLength = 521;

// Unpacked record layouts. Multi-byte fields stay in the byte order received;
// the tools read only the names and the map, so the rest is kept as blocks.
struct TWSSR_perfmap {
    std::uint8_t Perfmap_Bank;  // 0-11
    std::uint8_t Perfmap_Prog;  // 0-127
};
static_assert(sizeof(TWSSR_perfmap) == 2);

struct TWSSR_perfmap_block {
    std::array<TWSSR_perfmap, 128> perfmaps;
    std::uint8_t spare_perfmap_byte;
};
static_assert(sizeof(TWSSR_perfmap_block) == 257);

// One of the four waves of a patch: oscillator, LFOs, envelopes, modulation.
struct TWSSR_indiv {
    std::array<std::uint8_t, 84> bytes;
};
static_assert(sizeof(TWSSR_indiv) == 84);

struct TWSSR_patch {
    std::array<std::uint8_t, 16> Name;  // blank-padded; may end in a NUL
    std::array<std::uint8_t, 74> mix;   // Mix_Rate1 .. Dummy141
    TWSSR_indiv waveA, waveB, waveC, waveD;
};
static_assert(sizeof(TWSSR_patch) == 426);
static_assert(offsetof(TWSSR_patch, waveA) == 90 && offsetof(TWSSR_patch, waveD) == 342);

struct TWSSR_part {
    std::uint8_t Bank_Num, Patch_Num, Level, Output, Part_Mode, Lo_Key, Hi_Key, Lo_Vel, Hi_Vel, Trans, Detune, Tunetab,
        Micro_Tune_Key, Midi_Out_Chan, Midi_Prog_Num, Sus_Enable;
    std::array<std::uint8_t, 2> Delay;
};
static_assert(sizeof(TWSSR_part) == 18 && offsetof(TWSSR_part, Delay) == 16);

struct TWSSR_performance {
    std::array<std::uint8_t, 16> PERF_NAME;
    std::array<std::uint8_t, 21> Fx_Perf_Block;
    std::array<TWSSR_part, 8> Parts;
};
static_assert(sizeof(TWSSR_performance) == 181 && offsetof(TWSSR_performance, Parts) == 37);

// Where a message's data lie and what it says of itself. `start` is the
// 0-based position of the first data byte; `size` the number of data bytes.
struct WSSRFormat {
    std::uint8_t function = 0;
    std::uint8_t bank = 0;
    std::uint8_t number = 0;
    std::size_t start = 0;
    std::size_t size = 0;
};

// The format of a Wavestation message: the header F0 42 3n 28, a function of
// the table (40, 49, 4C, 4D, 50, 5D, 5F, 60), and room for at least one data
// byte, the checksum and F7 after the data start. Nothing otherwise.
std::optional<WSSRFormat> WSSR_format(ByteView sx);

// Decodes n data bytes from the nibble pairs at 0-based `start`, low half
// first. The caller makes sure start + 2n <= sx.size().
Bytes WSSR_unnibble(ByteView sx, std::size_t start, std::size_t n);

// (sum of the bytes) AND 7F: the checksum of a message's data nibbles.
std::uint8_t WSSR_checksum(ByteView nibbles);

// A performance-map message of 521 bytes: F0 42 3n 28 60 (n = chan AND 0F),
// the 257 map bytes as nibble pairs, their checksum, F7.
Bytes WSSR_PerfMaptoSysex(const TWSSR_perfmap_block& perfmap, int chan);

// The bank dump requests: F0 42 3n 28, the request function, the bank, F7.
// The instrument answers with the bank's dump (4C or 4D), whose bank byte
// stands where the request's does.
inline constexpr std::uint8_t kWSSR_PatchBankRequest = 0x1C;        // "All Patch Dump Request"
inline constexpr std::uint8_t kWSSR_PerformanceBankRequest = 0x1D;  // "All Performance Dump Request"
// n = chan AND 0F, the bank AND 7F.
Bytes WSSR_BankRequest(std::uint8_t function, int chan, int bank);

// A name as the text files show it: up to its first NUL, 16 characters at most.
std::string WSSR_nameText(const std::array<std::uint8_t, 16>& name);

// Names by bank (0-11) and number (0-127); empty where nothing is known.
using WSSRNameTable = std::array<std::array<std::string, kWSSR_BankEntries>, kWSSR_Banks>;

// The name at [bank][number], or "" when the place is outside the table.
const std::string& WSSR_lookupName(const WSSRNameTable& table, int bank, int number);

// The 128 lines "index,bank,prog,name" of the map text file (CR LF), each
// with the performance name the entry selects, "" when none is known.
std::string WSSR_perfMapText(const TWSSR_perfmap_block& map, const WSSRNameTable& perfNames);

// A line of a mapping file that cannot be read: the box title "MIDI" and the text.
class WavestationError : public TolvexError {
public:
    WavestationError(std::string title_, const std::string& text) : TolvexError(text), title(std::move(title_)) {}
    std::string title;
};

// Reads a mapping file's content into `table`, line by line: "bank number
// name", the name being the rest of the line cut to 16 characters. Blank
// lines are skipped. The first bank or number that is not a number inside
// the table stops the reading with "Invalid banknum in " / "Invalid perfnum in "
// + fileName + " file: " + the token; the lines before it are kept.
void WSSR_readMapping(const std::string& content, const std::string& fileName, WSSRNameTable& table);

// A session's Wavestation records: the last message unpacked, the records
// the commands filled, and the two name tables (empty at start).
struct WSSRRecords {
    std::uint8_t WSSR_curr_message_type = 0;
    std::uint8_t WSSR_curr_bank_num = 0;
    std::uint8_t WSSR_curr_patch_perf_num = 0;
    std::uint8_t WSSR_curr_patch_checksum = 0;
    Bytes WSSR_generic_data;  // the last message's data, unpacked (its size is the data's own)
    std::array<TWSSR_patch, kWSSR_PatchesPerBank> WSSR_35patch{};
    std::array<TWSSR_performance, kWSSR_PerformancesPerBank> WSSR_50performance{};
    TWSSR_perfmap_block WSSR_PerfMap{};
    TWSSR_perfmap_block WSSR_PerfMapSRExpanded{};  // filled by the CSV reader
    WSSRNameTable WSSR_global_patch_name_table;
    WSSRNameTable WSSR_global_perf_name_table;
};

// The controls of the "Wavestation" page, as the session keys their values and the window names its widgets.
namespace ctl {
inline constexpr char WS_Bank[] = "WS_Bank";
}

}  // namespace tolvex
