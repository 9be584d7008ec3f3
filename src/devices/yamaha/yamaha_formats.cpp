// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_formats.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tolvex {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kIdOffset = 6;
constexpr std::size_t kIdLength = 10;
constexpr std::size_t kLmDataOffset = 16;  // after F0 43 0n 7E, the count and the identifier

YamahaError error(const std::string& text)
{
    return YamahaError("Error", text);
}

// The first bytes of the message with the device nibble cleared equal `header`.
bool headerMatches(ByteView sx, ByteView header)
{
    if (sx.size() < header.size()) return false;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::uint8_t b = i == 2 ? static_cast<std::uint8_t>(sx[i] & 0xF0) : sx[i];
        if (b != header[i]) return false;
    }
    return true;
}

// A universal bulk dump (F0 43 0n 7E) with `id` at offset 6.
bool lmMatches(ByteView sx, const char* id)
{
    return headerMatches(sx, Yam_Univ_sysex_hdr) && sx.size() >= kIdOffset + kIdLength &&
           std::memcmp(sx.data() + kIdOffset, id, kIdLength) == 0;
}

unsigned sumOf(ByteView bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return sum;
}

// The DX7 byte copy of the VCED and DX7II forms: `count` bytes from `start`
// into `out`. A byte above 7F is refused first (so a message cut short shows
// its F7 as bad data), then one that is the message's last (its checksum
// could not follow). `where(k)` gives the position text of data byte k.
void copyDxBytes(ByteView sx, std::size_t start, std::size_t count, std::uint8_t* out,
                 const std::function<std::string(std::size_t k, std::size_t pos)>& where)
{
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t pos = start + k;
        if (pos < sx.size() && sx[pos] > 0x7F)
            throw error("Invalid data >7F : Protocol Error in DX Sysex\n" + where(k, pos + 1));
        if (pos + 1 >= sx.size()) throw error("Index overflow:  Error in DX Sysex\n" + where(k, pos + 1));
        out[k] = sx[pos];
    }
}

// The checksum of the VCED and DX7II forms: over offsets 6 to length - 3,
// against the byte that follows the data.
void checkDxChecksum(ByteView sx, std::size_t checksumAt)
{
    const std::size_t end = sx.size() >= 2 ? sx.size() - 2 : 0;
    const unsigned computed = yamahaChecksum(sx.subspan(kIdOffset, end > kIdOffset ? end - kIdOffset : 0));
    const unsigned found = sx[checksumAt];
    if (computed != found)
        throw error(format("Checksum error in DX Sysex\ncalculated: %X   file: %X ", computed, found));
}

int hexValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `count` bytes written as two upper-case hex characters each from `pos`,
// adding every character to `sum`. A record byte whose characters reach the
// message's last byte is refused (the checksum must follow).
void readHexBytes(ByteView sx, std::size_t& pos, std::uint8_t* out, std::size_t count, unsigned& sum)
{
    for (std::size_t k = 0; k < count; ++k) {
        if (pos + 3 >= sx.size()) throw error("Index overflow: Protocol Error in TX802 Sysex");
        const int hi = hexValue(sx[pos]);
        const int lo = hexValue(sx[pos + 1]);
        if (hi < 0 || lo < 0) throw error("Invalid data: Protocol Error in TX802 Sysex");
        sum += sx[pos] + sx[pos + 1];
        out[k] = static_cast<std::uint8_t>(hi * 16 + lo);
        pos += 2;
    }
}

void appendHex(Bytes& out, ByteView record)
{
    for (std::uint8_t b : record) {
        out.push_back(static_cast<std::uint8_t>(kHexDigits[b >> 4]));
        out.push_back(static_cast<std::uint8_t>(kHexDigits[b & 0x0F]));
    }
}

void appendText(Bytes& out, const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) out.push_back(static_cast<std::uint8_t>(text[i]));
}

std::uint8_t deviceByte(int chan)
{
    return static_cast<std::uint8_t>(chan & 0x0F);
}

}  // namespace

std::uint8_t yamahaChecksum(ByteView covered)
{
    return static_cast<std::uint8_t>((128 - sumOf(covered) % 128) % 128);
}

void ExtractDXTX_VMEM(ByteView sx, std::array<PackedVoice, 32>& table)
{
    if (!headerMatches(sx, TX802_vmem_sysex_hdr)) throw error("Header does not match VMEM format");
    std::size_t pos = sizeof TX802_vmem_sysex_hdr;
    for (PackedVoice& voice : table)
        for (std::uint8_t& b : voice) {
            // The data is followed by its checksum and F7.
            if (pos + 2 >= sx.size())
                throw YamahaError("ExtractTX802VMEM Error", "Index overflow: Protocol Error in TX802 Sysex");
            b = sx[pos++];
        }
}

void ExtractDX7iiVoiceEditBuf(ByteView sx, std::array<std::uint8_t, 155>& table)
{
    if (sx.size() < 4 || sx[0] != 0xF0 || sx[1] != 0x43 || (sx[2] & 0xF0) != 0 || sx[3] != 0x00)
        throw error("Header does not match VCED format");
    table.fill(0);
    copyDxBytes(sx, kIdOffset, table.size(), table.data(),
                [](std::size_t k, std::size_t i) { return format("x: %d, i: %d", int(k), int(i)); });
    checkDxChecksum(sx, kIdOffset + table.size());
}

void ExtractDX7iiPerfEditBuf(ByteView sx, DX7iiPerformance& table)
{
    if (!lmMatches(sx, DX7ii_PerfBufID))
        throw error("Header does not match DX7-II Performance Edit Buffer (LM  8973PE) format");
    table.fill(0);
    copyDxBytes(sx, kLmDataOffset, table.size(), table.data(),
                [](std::size_t k, std::size_t i) { return format("x: %d, i: %d", int(k), int(i)); });
    checkDxChecksum(sx, kLmDataOffset + table.size());
}

void ExtractDX7iiPerfBank(ByteView sx, std::array<DX7iiPerformance, 32>& table)
{
    if (!lmMatches(sx, DX7ii_PackedPerfID))
        throw error("Header does not match DX7-II Packed Performance (LM  8973PM) format");
    for (DX7iiPerformance& p : table) p.fill(0);
    const std::size_t size = std::tuple_size_v<DX7iiPerformance>;
    for (std::size_t p = 0; p < table.size(); ++p)
        copyDxBytes(sx, kLmDataOffset + p * size, size, table[p].data(),
                    [p](std::size_t k, std::size_t i) { return format("x: %d p: %d, i: %d", int(k), int(p), int(i)); });
    checkDxChecksum(sx, kLmDataOffset + table.size() * size);
}

void ExtractTX802PCED(ByteView sx, TX802Pced& table, const DebugLog& debuglog)
{
    if (!lmMatches(sx, TX802_PerfBufID)) throw error("Header does not match TX802PCED format");
    unsigned sum = sumOf(sx.subspan(kIdOffset, kIdLength));
    std::size_t pos = kLmDataOffset;
    readHexBytes(sx, pos, table.data(), table.size(), sum);
    const unsigned computed = (128 - sum % 128) % 128;
    const unsigned inFile = sx[pos];
    if (debuglog) debuglog(format("Chksum in file: %X  calculated: %X, dif: %X", inFile, computed, inFile - computed));
}

void ExtractTX802PMEM(ByteView sx, std::array<TX802Performance, 64>& table, const DebugLog& debuglog)
{
    // Only the first block's identifier is tested; the others are summed as they are.
    if (!lmMatches(sx, TX802_PackedPerfID)) throw error("Header does not match TX802PMEM format");
    for (std::size_t b = 0; b < table.size(); ++b) {
        const std::size_t block = sizeof Yam_Univ_sysex_hdr + b * kTX802PmemBlock;
        std::size_t pos = block + 2 + kIdLength;
        if (pos + 3 >= sx.size()) throw error("Index overflow: Protocol Error in TX802 Sysex");
        unsigned sum = sumOf(sx.subspan(block + 2, kIdLength));
        readHexBytes(sx, pos, table[b].data(), table[b].size(), sum);
        const unsigned computed = (128 - sum % 128) % 128;
        const unsigned inFile = sx[pos];
        if (debuglog)
            debuglog(format("Perf %d, chksum in file: %X  calculated: %X, dif: %X", int(b), inFile, computed,
                            inFile - computed));
    }
}

Bytes DX7iiPerftoSysex(int chan, const std::array<DX7iiPerformance, 32>& table)
{
    Bytes out{0xF0, 0x43, deviceByte(chan), 0x7E, 0x0C, 0x6A /* 1642 bytes follow */};
    appendText(out, DX7ii_PackedPerfID, kIdLength);
    for (const DX7iiPerformance& p : table) out.insert(out.end(), p.begin(), p.end());
    out.push_back(yamahaChecksum(ByteView(out).subspan(kIdOffset)));
    out.push_back(0xF7);
    return out;
}

Bytes TX802PCEDtoSysex(int chan, const TX802Pced& table)
{
    Bytes out{0xF0, 0x43, deviceByte(chan), 0x7E, 0x01, 0x68 /* 232 characters */};
    appendText(out, TX802_PerfBufID, kIdLength);
    appendHex(out, table);
    out.push_back(yamahaChecksum(ByteView(out).subspan(kIdOffset)));
    out.push_back(0xF7);
    return out;
}

Bytes TX802PMEMtoSysex(int chan, const std::array<TX802Performance, 64>& table)
{
    Bytes out{0xF0, 0x43, deviceByte(chan), 0x7E};
    for (const TX802Performance& p : table) {
        out.push_back(0x01);
        out.push_back(0x28);  // 168 characters
        const std::size_t covered = out.size();
        appendText(out, TX802_PackedPerfID, kIdLength);
        appendHex(out, p);
        out.push_back(yamahaChecksum(ByteView(out).subspan(covered)));
    }
    out.push_back(0xF7);
    return out;
}

const MultiBlockFormat* multiBlockFormatOf(ByteView sxdata)
{
    if (!headerMatches(sxdata, Yam_Univ_sysex_hdr) || sxdata.size() < kIdOffset + kIdLength) return nullptr;
    for (const MultiBlockFormat& f : kMultiBlockFormats) {
        const std::size_t count = f.blockLength - 3 - (f.countsIdentifier ? 0 : kIdLength);
        if (sxdata[4] == (count >> 7) && sxdata[5] == (count & 0x7F) &&
            std::memcmp(sxdata.data() + kIdOffset, f.id, kIdLength) == 0)
            return &f;
    }
    return nullptr;
}

namespace {

// One checksum of a bulk dump: the byte at `at` and the bytes it covers.
struct ChecksumSite {
    std::size_t at;
    ByteView covered;
    int block;  // from 0 in a multi-block dump; -1 in a dump of one checksum
};

// The checksums of a message of at least 8 bytes as the check reads them: the
// second-last byte over offsets 6 to length - 3, or, in a multi-block dump, one
// per whole block over its identifier and data. `cutBlock` gets the number of
// the block the message ends inside (-1: none).
std::vector<ChecksumSite> checksumSites(ByteView sx, int& cutBlock)
{
    cutBlock = -1;
    std::vector<ChecksumSite> sites;
    if (const MultiBlockFormat* f = multiBlockFormatOf(sx)) {
        // The F7 follows the last block.
        std::size_t block = sizeof Yam_Univ_sysex_hdr;
        int b = 0;
        for (; block + f->blockLength <= sx.size() - 1; block += f->blockLength, ++b)
            sites.push_back({block + f->blockLength - 1, sx.subspan(block + 2, f->blockLength - 3), b});
        if (block != sx.size() - 1) cutBlock = b;
        return sites;
    }
    sites.push_back({sx.size() - 2, sx.subspan(kIdOffset, sx.size() - 2 - kIdOffset), -1});
    return sites;
}

// Why a Yamaha bulk dump cannot be repaired as it stands: its length against
// what its header says. Empty when it is whole.
std::string cutReason(ByteView sx, int cutBlock)
{
    if (cutBlock >= 0) return format("the dump is cut off (block %d is incomplete)", cutBlock);
    if (multiBlockFormatOf(sx)) return {};
    // Bytes 4-5 count the data bytes in two 7-bit halves; a universal dump may
    // leave its identifier out of the count (TX802), and about 200 real DX7
    // cartridges say 10 00 for their 4096 voice bytes.
    const std::size_t count = static_cast<std::size_t>(sx[4]) << 7 | sx[5];
    const std::size_t held = sx.size() - 8;
    if (held == count || (sx[3] == 0x7E && held == count + kIdLength) ||
        (sx[3] == 0x09 /* 32 voices */ && sx.size() == kVmemLength))
        return {};
    return format("the dump is cut off or too long (its byte count says %zu data bytes, it holds %zu)", count, held);
}

}  // namespace

bool DX7VerifyCheckSum(ByteView sxdata, std::string& rtns)
{
    if (sxdata.size() < 8) {
        rtns = "message too short";
        return false;
    }
    int cutBlock = -1;
    const std::vector<ChecksumSite> sites = checksumSites(sxdata, cutBlock);
    for (const ChecksumSite& site : sites) {
        const unsigned stored = sxdata[site.at];
        const unsigned computed = yamahaChecksum(site.covered);
        if (site.block < 0) {
            rtns = format("is %X, should be %X", stored, computed);
            return stored == computed;
        }
        if (stored != computed) {
            rtns = format("block %d is %X, should be %X", site.block, stored, computed);
            return false;
        }
    }
    if (cutBlock >= 0) {
        rtns = format("block %d is incomplete", cutBlock);
        return false;
    }
    rtns.clear();
    return true;
}

ChecksumRepair DX7FixCheckSum(ByteView sx)
{
    if (sx.size() < 4 || sx[0] != 0xF0 || sx[1] != 0x43 /* Yamaha */ || (sx[2] & 0xF0) != 0 /* bulk dump */)
        throw error("not a Yamaha bulk dump");
    ChecksumRepair out{Bytes(sx.begin(), sx.end()), {}};
    // A checksum byte with bit 7 set ends the message where it stands (a
    // status byte), and the F7 after it is read as a stray byte: the dump is
    // whole when its length then matches its kind.
    const bool endedByChecksum = sx.back() > 0x7F && sx.back() != 0xF7;
    if (endedByChecksum) out.fixed.push_back(0xF7);
    const ByteView whole(out.fixed);
    if (whole.back() != 0xF7) throw error("the dump is cut off (no end byte F7)");
    if (whole.size() < 8) throw error("the dump is cut off (message too short)");
    int cutBlock = -1;
    const std::vector<ChecksumSite> sites = checksumSites(whole, cutBlock);
    if (const std::string why = cutReason(whole, cutBlock); !why.empty())
        throw error(endedByChecksum ? "the dump is cut off (no end byte F7)" : why);
    std::vector<std::pair<std::size_t, std::uint8_t>> repairs;
    for (const ChecksumSite& site : sites) {
        const std::uint8_t computed = yamahaChecksum(site.covered);
        if (whole[site.at] == computed) continue;
        const std::string place = site.block < 0 ? std::string("checksum") : format("block %d", site.block);
        out.changes.push_back(format("%s: %02X -> %02X", place.c_str(), whole[site.at], computed));
        repairs.emplace_back(site.at, computed);
    }
    for (const auto& [at, value] : repairs) out.fixed[at] = value;
    if (endedByChecksum) out.changes.back() += ", end byte F7 added";
    return out;
}

Bytes MakeDumpReq(DumpFormat format, int devid)
{
    Bytes out{0xF0, 0x43, static_cast<std::uint8_t>(0x20 /* dump request */ | (devid & 0x0F))};
    auto lm = [&out](const char* id, std::size_t length) {
        out.push_back(0x7E);
        appendText(out, "LM  ", 4);
        appendText(out, id, length);
    };
    switch (format) {
    case DumpFormat::VEB: out.push_back(0x00); break;
    case DumpFormat::SEB: out.push_back(0x05); break;
    case DumpFormat::PV32: out.push_back(0x09); break;
    case DumpFormat::PS32: out.push_back(0x06); break;
    case DumpFormat::PEB: lm("8973PE", 6); break;
    case DumpFormat::PP32: lm("8973PM", 6); break;
    case DumpFormat::SS: lm("8973S ", 6); break;
    case DumpFormat::MTEB: lm("MCRYE ", 6); break;
    case DumpFormat::MTM1: lm("MCRYM\x00", 6); break;
    case DumpFormat::MTM2: lm("MCRYM\x01", 6); break;
    case DumpFormat::MTC: lm("MCRYC ", 6); break;
    case DumpFormat::FSEB: lm("FKSYE ", 6); break;
    case DumpFormat::FSC: lm("FKSYC ", 6); break;
    }
    out.push_back(0xF7);
    return out;
}

}  // namespace tolvex
