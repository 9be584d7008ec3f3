// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/peavey/peavey_sysex.h"

#include <cstddef>

#include "core/text/text_utils.h"
#include "devices/peavey/peavey_names.h"

namespace tolvex {

static_assert(sizeof(TPV_Wave_ctrl_rec) == 64);
static_assert(offsetof(TPV_Wave_ctrl_rec, mode) == 14 && offsetof(TPV_Wave_ctrl_rec, size) == 20);
static_assert(offsetof(TPV_Wave_ctrl_rec, wordlength) == 32 && offsetof(TPV_Wave_ctrl_rec, samperiod) == 48);
static_assert(offsetof(TPV_Wave_ctrl_rec, pitch) == 54 && offsetof(TPV_Wave_ctrl_rec, excess) == 56);
static_assert(sizeof(TPV_Tone_hdr_rec) == 80);
static_assert(offsetof(TPV_Tone_hdr_rec, link) == 15 && offsetof(TPV_Tone_hdr_rec, mode) == 16);
static_assert(offsetof(TPV_Tone_hdr_rec, dcf_base_freq) == 30 && offsetof(TPV_Tone_hdr_rec, lfo_speed) == 43);
static_assert(offsetof(TPV_Tone_hdr_rec, pan_modmode) == 59 && offsetof(TPV_Tone_hdr_rec, excess) == 62);
static_assert(sizeof(TPV_Map_hdr_rec) == 31 && offsetof(TPV_Map_hdr_rec, num_zones) == 16);
static_assert(sizeof(TPV_Map_zone_rec) == 15 && offsetof(TPV_Map_zone_rec, alloc) == 9);
static_assert(sizeof(TPV_preset_block_rec) == 64);
static_assert(offsetof(TPV_preset_block_rec, mode) == 15 && offsetof(TPV_preset_block_rec, detune) == 35);
static_assert(offsetof(TPV_preset_block_rec, layer_xval) == 39 && offsetof(TPV_preset_block_rec, excess) == 42);
static_assert(sizeof(TPV_preset_layer_rec) == 96);
static_assert(offsetof(TPV_preset_layer_rec, map) == 2 && offsetof(TPV_preset_layer_rec, map_sw) == 6);
static_assert(offsetof(TPV_preset_layer_rec, dcf_kbd_trk) == 21 && offsetof(TPV_preset_layer_rec, excess) == 22);
static_assert(sizeof(TPV_Preset_rec) == 256 && offsetof(TPV_Preset_rec, Layer) == 64);

const std::array<const char*, kPVDirStatusValues> PV_dir_status_name = {
    "format",    "capacity",  "extent",    "numobjs",   "lowobj",  "highobj",
    "parmbytes", "addlparam", "freeparam", "raminstld", "ramavail"};

const std::array<const char*, 5> PV_SP_PS_modestr = {" Layer A ", " Layer B ", "   Both  ", "  Switch ", "Crossfade"};

namespace {

constexpr std::uint8_t kHeader[] = {0xF0, 0x00, 0x00, 0x1B /* Peavey */, 0x02, 0x05 /* DPM SP */};
constexpr std::uint8_t kDump = 0x02;
constexpr std::uint8_t kDirectory = 0x04;
constexpr std::uint8_t kDirStatus = 0x01;
constexpr std::uint8_t kDirList = 0x02;
constexpr std::size_t kDumpData = 19;  // first nibble byte of a dump's data
constexpr std::size_t kDirListEntries = 17;
constexpr std::size_t kDirEntryBytes = 32;  // object number (4 nibble bytes) and 14 characters (28)

// Field sizes of a directory status after the object type, in bytes.
constexpr std::array<int, kPVDirStatusValues> kDirStatusSizes = {1, 2, 2, 2, 2, 2, 3, 3, 3, 2, 2};

// Reads one field; on overflow `error` gets the text and the result is -1.
std::int32_t field(std::size_t& at, int nbytes, ByteView sx, std::string& error)
{
    std::string overflow;
    const std::int32_t v = PV_extract(at, nbytes, sx, &overflow);
    if (v < 0 && error.empty()) error = overflow;
    return v;
}

std::int32_t extractDump(ByteView sx, PeaveyRecords& rec, std::string& error)
{
    std::size_t at = 9;
    const std::int32_t length = field(at, 2, sx, error);
    const std::int32_t number = field(at, 2, sx, error);
    if (length < 0 || number < 0) return -1;
    const std::int32_t type = sx[8];
    if (type >= kPVObjectTypes) return -1;
    // The length counts the object number and its pad before the data.
    const std::int32_t datalen = length - 3;
    if (datalen < 1 || datalen > static_cast<std::int32_t>(kPVGenericObjSize)) {
        error = format("Dump length %d out of range (1-2080)", datalen);
        return -1;
    }
    // Nibble pairs end before the message's last byte (its F7).
    const std::size_t needed = kDumpData + 1 + 2 * static_cast<std::size_t>(datalen);
    if (needed > sx.size()) {
        error = format("Bulk Extract Overflow: offset: %d, nbytes: %d. SX length is %d, needed %d",
                       static_cast<int>(kDumpData + 1), datalen, static_cast<int>(sx.size()), static_cast<int>(needed));
        return -1;
    }
    const Bytes data = joinNibbles(sx.subspan(kDumpData, 2 * static_cast<std::size_t>(datalen)), true);
    std::copy(data.begin(), data.end(), rec.PV_generic_obj.begin());
    rec.PV_dump_obj_num = number;
    rec.PV_dump_len = datalen;
    return 200 + type;
}

std::int32_t extractDirStatus(ByteView sx, PeaveyRecords& rec, std::string& error)
{
    std::size_t at = 13;
    const std::int32_t type = field(at, 1, sx, error);
    std::array<std::int32_t, kPVDirStatusValues> row{};
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = field(at, kDirStatusSizes[i], sx, error);
    if (!error.empty() || type < 0 || type >= kPVObjectTypes) return -1;
    rec.PV_Dir_Status[static_cast<std::size_t>(type)] = row;
    return type;
}

std::int32_t extractDirList(ByteView sx, PeaveyRecords& rec, std::string& error)
{
    std::size_t at = 9;
    const std::int32_t dirlen = field(at, 2, sx, error);
    at = 13;
    const std::int32_t type = field(at, 1, sx, error);
    if (dirlen < 0 || type < 0 || type >= kPVObjectTypes) return -1;
    at = kDirListEntries;
    for (std::int32_t entry = 0; entry < dirlen / 16; ++entry) {
        const std::int32_t number = field(at, 2, sx, error);
        if (number < 0) break;
        // The whole name must be there: a cut name would pass for a shorter one.
        if (at + 28 >= sx.size()) {
            error = format("Extract Overflow: offset: %d, nibs: %d", static_cast<int>(at), 28);
            break;
        }
        const std::string name = PV_extract_ascii(at, 14, sx);
        // The name is padded by hand: a %14s would end it at a NUL character.
        rec.PV_SP_dir_list.push_back(format("%8s %4d   \"", PV_SP_obj_name[static_cast<std::size_t>(type)], number) +
                                     std::string(14 - name.size(), ' ') + name + "\"");
    }
    static_assert(kDirEntryBytes == 4 + 28);
    return 100 + type;
}

}  // namespace

std::uint16_t be16(const std::array<std::uint8_t, 2>& b)
{
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

std::uint32_t be32(const std::array<std::uint8_t, 4>& b)
{
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

std::string PV_extract_ascii(std::size_t& offset, int Nbytes, ByteView sx)
{
    std::string out;
    for (int i = 0; i < Nbytes; ++i) {
        if (sx.size() < 1 || offset + 2 > sx.size() - 1) continue;
        out += static_cast<char>((sx[offset] & 0x0F) << 4 | (sx[offset + 1] & 0x0F));
        offset += 2;
    }
    return out;
}

Bytes PV_to_string(std::uint32_t value, int nibs)
{
    Bytes out;
    for (int i = nibs - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(i < 8 ? (value >> (4 * i)) & 0x0F : 0));
    return out;
}

std::int32_t PV_Extract_SP_obj(ByteView sx, PeaveyRecords& rec, std::string& error)
{
    error.clear();
    bool header = sx.size() > 8;
    for (std::size_t i = 0; header && i < std::size(kHeader); ++i) header = sx[i] == kHeader[i];
    if (!header || (sx[7] != kDump && sx[7] != kDirectory)) {
        error = "Header does not match currently supported format";
        return -1;
    }
    if (sx[7] == kDump) return extractDump(sx, rec, error);
    if (sx[8] == kDirStatus) return extractDirStatus(sx, rec, error);
    if (sx[8] == kDirList) return extractDirList(sx, rec, error);
    return -1;
}

}  // namespace tolvex
