// SPDX-License-Identifier: GPL-3.0-or-later
// Yamaha DX7 / DX7II / TX802 bulk dumps: the layouts, the tables they unpack
// into, the checksum, the unpackers and builders, and the dump requests.
//
// Offsets count from 0 at the F0 of a complete stored message; "n" is the
// device number in the low nibble of byte 2.
//   VMEM   F0 43 0n 09 20 00, 32 x 128 packed voice bytes, checksum, F7      4104 bytes
//   VCED   F0 43 0n 00 cc cc, 155 voice bytes, checksum, F7                   163 bytes
//   DX7II performance edit buffer  F0 43 0n 7E 00 3D "LM  8973PE", 51 bytes, checksum, F7    69 bytes
//   DX7II 32 performances          F0 43 0n 7E 0C 6A "LM  8973PM", 32 x 51 bytes, checksum, F7   1650 bytes
//   TX802 PCED  F0 43 0n 7E 01 68 "LM  8952PE", 116 bytes as 232 hex characters, checksum, F7   250 bytes
//   TX802 PMEM  F0 43 0n 7E, 64 blocks of (01 28 "LM  8952PM", 84 bytes as 168 hex characters,
//               checksum), F7                                                 11589 bytes
// The two bytes after 7E count the bytes that follow in two 7-bit halves; the
// unpackers never read them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

inline constexpr std::uint8_t TX802_vmem_sysex_hdr[] = {0xF0, 0x43 /* Yamaha */, 0x00, 0x09 /* 32 voices */, 0x20,
                                                        0x00};
inline constexpr std::uint8_t Yam_Univ_sysex_hdr[] = {0xF0, 0x43 /* Yamaha */, 0x00, 0x7E /* universal bulk dump */};
// The ten-character identifiers of the universal bulk dumps (two blanks after "LM").
inline constexpr char DX7ii_PerfBufID[] = "LM  8973PE";
inline constexpr char DX7ii_PackedPerfID[] = "LM  8973PM";
inline constexpr char TX802_PerfBufID[] = "LM  8952PE";
inline constexpr char TX802_PackedPerfID[] = "LM  8952PM";

inline constexpr std::size_t kVmemLength = 4104;
inline constexpr std::size_t kDX7iiBankLength = 1650;
inline constexpr std::size_t kDX7iiEditBufLength = 69;
inline constexpr std::size_t kTX802PcedLength = 250;
inline constexpr std::size_t kTX802PmemBlock = 181;  // count (2), identifier (10), 168 characters, checksum
inline constexpr std::size_t kTX802PmemLength = 4 + 64 * kTX802PmemBlock + 1;

// One packed DX7 voice; its name is bytes 118-127.
using PackedVoice = std::array<std::uint8_t, 128>;
inline constexpr std::size_t kVoiceName = 118;

// One DX7II packed performance. Bytes 0-30 are the parameters the CSV form
// carries; only those named here are read anywhere.
using DX7iiPerformance = std::array<std::uint8_t, 51>;
namespace dx7ii {
inline constexpr std::size_t kMode = 0;    // 0 Single, 1 Dual, 2 Split
inline constexpr std::size_t kVoiceA = 1;  // 0-63 internal 1-64, 64-127 cartridge 1-64
inline constexpr std::size_t kVoiceB = 2;
inline constexpr std::size_t kSplitPoint = 7;
inline constexpr std::size_t kBalance = 15;  // shown as value - 50
inline constexpr std::size_t kVolume = 16;
inline constexpr std::size_t kParameters = 31;
inline constexpr std::size_t kName = 31;  // 20 characters
}  // namespace dx7ii

// A TX802 performance edit buffer: parameter k of tone generator t at 8k + t
// (k: 0 voice channel offset, 1 receive channel, 2 voice 0-255, 3 detune,
// 4 output volume, 5 output channel, 6 note limit low, 7 note limit high,
// 8 note shift, 9 and 10 unlabelled, 11 micro-tuning table), name at 96-115.
using TX802Pced = std::array<std::uint8_t, 116>;
inline constexpr std::size_t kPcedName = 96;

// A TX802 packed performance: packed parameter k of tone generator t at 8k + t
// (k: 0 offset in bits 7-5 and receive channel in 4-0, 1 voice, 2 micro-tuning,
// 3 volume, 4 detune x 8 + output channel, 5 and 6 note limits, 7 the PCED
// parameter 9 in bits 7-6 and note shift in 5-0), name at 64-83.
using TX802Performance = std::array<std::uint8_t, 84>;
inline constexpr std::size_t kPmemName = 64;
inline constexpr std::size_t kNameLength = 20;

// One entry of the voice map: a voice's name and the performances that use it,
// as "%3d_" + performance number from 1 + the 20-character name, sorted, each once.
struct TPerfReferenced {
    std::int32_t VoiceNum = -1;  // -1 until a name is set
    std::string VoiceName;       // at most 11 characters; names are set with 10
    std::set<std::string> References;
};

// The family's working records. Each unpacker fills its own table; a failed
// unpack leaves what it wrote before the stop (the DX7II and VCED tables are
// zeroed first). The voice map only grows while the session lives.
struct YamahaTables {
    std::array<PackedVoice, 32> DXTX_VMEM{};
    std::array<std::string, 32> DXTX_VMEM_names;
    std::array<std::uint8_t, 155> DXTX_VCED{};
    DX7iiPerformance DX7iiPerfEditBuf{};
    std::array<DX7iiPerformance, 32> DX7iiPackedPerf{};
    TX802Pced TX802PCED{};
    std::array<TX802Performance, 64> TX802PMEM{};
    TX802Performance TX802onePMEM{};
    std::array<TPerfReferenced, 256> YamPerfMapping;
};

// An unpacking stop: the box title ("Error", "ExtractTX802VMEM Error") and the
// exact text the user sees.
class YamahaError : public TolvexError {
public:
    YamahaError(std::string title_, const std::string& text) : TolvexError(text), title(std::move(title_)) {}
    std::string title;
};

// (128 - sum of the covered bytes) modulo 128: covered bytes plus checksum add up to 0 modulo 128.
std::uint8_t yamahaChecksum(ByteView covered);

// Lines of the checksum trace of the TX802 unpackers (the debug file).
using DebugLog = std::function<void(const std::string&)>;

// The unpackers. Each checks the header (device nibble ignored), every data
// byte and every index, fills its table and throws YamahaError at the first
// fault. The TX802 checksums are not enforced: each is traced as a line
// "Chksum in file: %X  calculated: %X, dif: %X" (PCED) or "Perf %d, ..." (PMEM block).
void ExtractDXTX_VMEM(ByteView sx, std::array<PackedVoice, 32>& table);
void ExtractDX7iiVoiceEditBuf(ByteView sx, std::array<std::uint8_t, 155>& table);
void ExtractDX7iiPerfEditBuf(ByteView sx, DX7iiPerformance& table);
void ExtractDX7iiPerfBank(ByteView sx, std::array<DX7iiPerformance, 32>& table);
void ExtractTX802PCED(ByteView sx, TX802Pced& table, const DebugLog& debuglog = {});
void ExtractTX802PMEM(ByteView sx, std::array<TX802Performance, 64>& table, const DebugLog& debuglog = {});

// The builders: complete messages with n = chan AND 0F, always 1650, 250 and 11589 bytes.
Bytes DX7iiPerftoSysex(int chan, const std::array<DX7iiPerformance, 32>& table);
Bytes TX802PCEDtoSysex(int chan, const TX802Pced& table);
Bytes TX802PMEMtoSysex(int chan, const std::array<TX802Performance, 64>& table);

// The universal bulk dumps that carry several blocks in one message, each with
// its own count, identifier, data and checksum: F0 43 0n 7E, the blocks back to
// back, F7. A block is `blockLength` bytes: two count bytes, the ten-character
// identifier, the data, one checksum over identifier and data. The count says
// how many bytes follow it before the checksum, except in the TX802 bank, where
// it counts only the hexadecimal characters.
struct MultiBlockFormat {
    const char* id;
    std::size_t blockLength;
    bool countsIdentifier;
};
inline constexpr MultiBlockFormat kMultiBlockFormats[] = {
    {TX802_PackedPerfID, kTX802PmemBlock, false},  // TX802 64 performances: 01 28, 168 hex characters
    {"LM  FKSYC ", 505, true},                     // DX7II fractional scaling cartridge, 32 blocks: 03 76, 492 bytes
    {"LM  MCRYC ", 269, true},                     // DX7II micro tuning cartridge, 64 blocks: 02 0A, 256 bytes
};
// The multi-block format of a message: bytes 4-15 are one of the formats'
// count and identifier (device nibble ignored). Null for any other message.
const MultiBlockFormat* multiBlockFormatOf(ByteView sxdata);

// The checksum test of any Yamaha bulk dump: the second-last byte against the
// bytes from offset 6 to length - 3, detail "is %X, should be %X". A
// multi-block dump is tested block by block, detail "block %d is %X, should be
// %X" for the first bad one (or "block %d is incomplete" for a cut block).
// Fewer than 8 bytes: false, "message too short".
bool DX7VerifyCheckSum(ByteView sxdata, std::string& rtns);

// What "Fix" makes of a Yamaha bulk dump: the message with every checksum that
// DX7VerifyCheckSum reads as wrong replaced by the one it computes, and one
// text per replaced byte, "checksum: 72 -> 4B" or, in a multi-block dump,
// "block 3: 72 -> 4B" (blocks numbered from 0 as the check numbers them).
// A message that ends in a byte above 7F other than F7 where the checksum
// stands (a checksum with bit 7 set ends the message as it is read) gets its
// F7 back as well ("checksum: 90 -> 10, end byte F7 added").
// No changes: every checksum holds.
struct ChecksumRepair {
    Bytes fixed;
    std::vector<std::string> changes;
};
// Throws YamahaError with the reason for a message that is not a Yamaha bulk
// dump (F0 43 0n) or is cut: no end byte, a block cut off, or a length other
// than its byte count says (a 4104-byte 32-voice bank whatever its count says;
// a universal dump's count may leave out its identifier).
ChecksumRepair DX7FixCheckSum(ByteView sx);

// The dump requests, in the order the instrument numbers them.
enum class DumpFormat { VEB, SEB, PV32, PS32, PEB, PP32, SS, MTEB, MTM1, MTM2, MTC, FSEB, FSC };
// F0 43 2n and the format's tail; n = devid AND 0F.
Bytes MakeDumpReq(DumpFormat format, int devid);

}  // namespace tolvex
