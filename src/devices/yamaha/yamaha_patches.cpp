// SPDX-License-Identifier: GPL-3.0-or-later
// The Yamaha family's patches: DX7 voices (a 32-voice bank or a single voice),
// DX7II performances (bank or edit buffer) and TX802 performances (bank or
// edit buffer), split, named, sent to the edit buffer and assembled into banks.
//
// A DX7 voice is kept in its packed 128-byte bank form, so a voice from a
// single-voice dump and the same voice inside a bank are one record.
#include <algorithm>
#include <cstring>

#include "core/sysex/syx_file.h"
#include "devices/common/patches.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_text.h"

namespace tolvex {

namespace {

constexpr std::size_t kVcedSize = 155;
constexpr std::size_t kBankSize = 4104;  // F0 43 0n 09 hi lo, 4096 bytes, checksum, F7
constexpr std::size_t kVcedName = 145;
constexpr std::size_t kOpPacked = 17;  // bytes of one operator in the packed voice
constexpr std::size_t kOpVced = 21;    // in the single voice

std::uint8_t bits(std::uint8_t b, int shift, int width)
{
    return static_cast<std::uint8_t>((b >> shift) & ((1 << width) - 1));
}

std::uint8_t u8(int v)
{
    return static_cast<std::uint8_t>(v);
}

// The single voice (155 bytes) of a packed voice. Operators run 6 to 1 in both forms.
std::array<std::uint8_t, kVcedSize> unpackVoice(ByteView p)
{
    std::array<std::uint8_t, kVcedSize> v{};
    for (std::size_t op = 0; op < 6; ++op) {
        const std::uint8_t* s = p.data() + op * kOpPacked;
        std::uint8_t* d = v.data() + op * kOpVced;
        std::copy_n(s, 11, d);      // rates, levels, break point, depths
        d[11] = bits(s[11], 0, 2);  // left curve
        d[12] = bits(s[11], 2, 2);  // right curve
        d[13] = bits(s[12], 0, 3);  // rate scaling
        d[14] = bits(s[13], 0, 2);  // amplitude modulation sensitivity
        d[15] = bits(s[13], 2, 3);  // key velocity sensitivity
        d[16] = s[14];              // output level
        d[17] = bits(s[15], 0, 1);  // oscillator mode
        d[18] = bits(s[15], 1, 5);  // frequency coarse
        d[19] = s[16];              // frequency fine
        d[20] = bits(s[12], 3, 4);  // detune
    }
    const std::uint8_t* s = p.data() + 102;
    std::uint8_t* d = v.data() + 126;
    std::copy_n(s, 8, d);             // pitch envelope rates and levels
    d[8] = bits(s[8], 0, 5);          // algorithm
    d[9] = bits(s[9], 0, 3);          // feedback
    d[10] = bits(s[9], 3, 1);         // oscillator key sync
    std::copy_n(s + 10, 4, d + 11);   // LFO speed, delay, pitch and amplitude depth
    d[15] = bits(s[14], 0, 1);        // LFO key sync
    d[16] = bits(s[14], 1, 3);        // LFO wave
    d[17] = bits(s[14], 4, 3);        // pitch modulation sensitivity
    d[18] = s[15];                    // transpose
    std::copy_n(s + 16, 10, d + 19);  // name
    return v;
}

// The packed voice of a single voice (155 bytes).
Bytes packVoice(ByteView v)
{
    Bytes p(128, 0);
    for (std::size_t op = 0; op < 6; ++op) {
        const std::uint8_t* s = v.data() + op * kOpVced;
        std::uint8_t* d = p.data() + op * kOpPacked;
        std::copy_n(s, 11, d);
        d[11] = u8((s[12] & 3) << 2 | (s[11] & 3));
        d[12] = u8((s[20] & 15) << 3 | (s[13] & 7));
        d[13] = u8((s[15] & 7) << 2 | (s[14] & 3));
        d[14] = s[16];
        d[15] = u8((s[18] & 31) << 1 | (s[17] & 1));
        d[16] = s[19];
    }
    const std::uint8_t* s = v.data() + 126;
    std::uint8_t* d = p.data() + 102;
    std::copy_n(s, 8, d);
    d[8] = s[8] & 31;
    d[9] = u8((s[10] & 1) << 3 | (s[9] & 7));
    std::copy_n(s + 11, 4, d + 10);
    d[14] = u8((s[17] & 7) << 4 | (s[16] & 7) << 1 | (s[15] & 1));
    d[15] = s[18];
    std::copy_n(s + 19, 10, d + 16);
    return p;
}

// The voice a new DX7 bank is filled with: one sine operator at full level.
Bytes initVoice()
{
    std::array<std::uint8_t, kVcedSize> v{};
    for (std::size_t op = 0; op < 6; ++op) {
        std::uint8_t* d = v.data() + op * kOpVced;
        std::fill_n(d, 4, 99);  // rates
        std::fill_n(d + 4, 3, 99);
        d[7] = 0;
        d[8] = 39;                 // break point C3
        d[16] = op == 5 ? 99 : 0;  // only operator 1 sounds
        d[18] = 1;                 // ratio 1.00
        d[20] = 7;                 // no detune
    }
    std::uint8_t* d = v.data() + 126;
    std::fill_n(d, 4, 99);
    std::fill_n(d + 4, 4, 50);
    d[10] = 1;   // oscillator key sync
    d[11] = 35;  // LFO speed
    d[15] = 1;   // LFO key sync
    d[17] = 3;   // pitch modulation sensitivity
    d[18] = 24;  // no transpose
    std::memcpy(d + 19, "INIT VOICE", 10);
    return packVoice(v);
}

Bytes initDX7iiPerformance()
{
    Bytes p(std::tuple_size_v<DX7iiPerformance>, 0);
    p[dx7ii::kVoiceB] = 1;
    p[dx7ii::kBalance] = 50;
    p[dx7ii::kVolume] = 99;
    std::memcpy(p.data() + dx7ii::kName, "INIT PERFORMANCE    ", kNameLength);
    return p;
}

Bytes initTX802Performance()
{
    Bytes p(std::tuple_size_v<TX802Performance>, 0);
    for (std::size_t t = 0; t < 8; ++t) {
        p[8 + t] = u8(t);       // voices I1 to I8
        p[24 + t] = 99;         // output volume
        p[32 + t] = 7 * 8 + 1;  // no detune, output channel 1
        p[48 + t] = 127;        // note limit high
        p[56 + t] = 24;         // no note shift
    }
    std::memcpy(p.data() + kPmemName, "INIT PERFORMANCE    ", kNameLength);
    return p;
}

// The edit-buffer form of a TX802 bank performance (the unlabelled PCED
// parameter 10 is not carried in a bank and is 0).
TX802Pced pmemToPced(ByteView m)
{
    TX802Pced p{};
    for (std::size_t t = 0; t < 8; ++t) {
        p[t] = bits(m[t], 5, 3);
        p[8 + t] = bits(m[t], 0, 5);
        p[16 + t] = m[8 + t];
        p[88 + t] = m[16 + t];
        p[32 + t] = m[24 + t];
        p[24 + t] = bits(m[32 + t], 3, 5);
        p[40 + t] = bits(m[32 + t], 0, 3);
        p[48 + t] = m[40 + t];
        p[56 + t] = m[48 + t];
        p[72 + t] = bits(m[56 + t], 6, 2);
        p[64 + t] = bits(m[56 + t], 0, 6);
    }
    std::copy_n(m.begin() + kPmemName, kNameLength, p.begin() + kPcedName);
    return p;
}

// The bank form of a TX802 edit-buffer performance: nothing when it holds a
// value the bank's packed fields cannot carry. Parameter 10 has no place in a
// bank, so it is left out.
std::optional<TX802Performance> pcedToPmem(ByteView p)
{
    TX802Performance m{};
    const auto pack = [](int high, int shift, int low) { return u8(((high << shift) | low) & 0xFF); };
    for (std::size_t t = 0; t < 8; ++t) {
        m[t] = pack(p[t], 5, p[8 + t]);
        m[8 + t] = p[16 + t];
        m[16 + t] = p[88 + t];
        m[24 + t] = p[32 + t];
        m[32 + t] = pack(p[24 + t], 3, p[40 + t]);
        m[40 + t] = p[48 + t];
        m[48 + t] = p[56 + t];
        m[56 + t] = pack(p[72 + t], 6, p[64 + t]);
    }
    std::copy_n(p.begin() + kPcedName, kNameLength, m.begin() + kPmemName);
    TX802Pced back = pmemToPced(m);
    std::copy_n(p.begin() + 80, 8, back.begin() + 80);
    if (!std::equal(back.begin(), back.end(), p.begin())) return std::nullopt;
    return m;
}

// A voice is the same sound as another when its parameters are: the packed
// form may carry bits no parameter uses (banks from some editors set them),
// which the single voice leaves out.
Bytes voiceParameters(ByteView record)
{
    const auto v = unpackVoice(record);
    return Bytes(v.begin(), v.end());
}

std::optional<Bytes> pmemAsSame(ByteView record, bool withoutName)
{
    if (record.size() != std::tuple_size_v<TX802Performance>) return std::nullopt;
    Bytes b(record.begin(), record.end());
    if (withoutName) std::fill_n(b.begin() + kPmemName, kNameLength, 0);
    return b;
}

std::optional<Bytes> pcedAsSame(ByteView record, bool withoutName)
{
    if (record.size() != std::tuple_size_v<TX802Pced>) return std::nullopt;
    const auto m = pcedToPmem(record);
    return m ? pmemAsSame(*m, withoutName) : std::nullopt;
}

Bytes withChecksum(Bytes out, std::size_t coveredFrom)
{
    out.push_back(yamahaChecksum(ByteView(out).subspan(coveredFrom)));
    out.push_back(0xF7);
    return out;
}

Bytes voiceSingle(ByteView record, int channel)
{
    const auto v = unpackVoice(record);
    Bytes out{0xF0, 0x43 /* Yamaha */, u8(channel & 0x0F), 0x00 /* one voice */, 0x01, 0x1B /* 155 bytes */};
    out.insert(out.end(), v.begin(), v.end());
    return withChecksum(std::move(out), 6);
}

// `records` followed by copies of `init` up to `count` records.
std::vector<Bytes> filled(const std::vector<Bytes>& records, std::size_t count, const Bytes& init)
{
    std::vector<Bytes> all(records.begin(), records.begin() + static_cast<long>(std::min(records.size(), count)));
    while (all.size() < count) all.push_back(init);
    return all;
}

Bytes voiceBank(const std::vector<Bytes>& records, int channel)
{
    Bytes out{0xF0, 0x43 /* Yamaha */, u8(channel & 0x0F), 0x09 /* 32 voices */, 0x20, 0x00 /* 4096 bytes */};
    for (const Bytes& r : filled(records, 32, initVoice())) out.insert(out.end(), r.begin(), r.end());
    return withChecksum(std::move(out), 6);
}

Bytes dx7iiSingle(ByteView record, int channel)
{
    Bytes out;
    out.reserve(6 + 10 + record.size() + 2);
    // Byte by byte: GCC 12's Release build takes an insert into the 6-byte list for an overflow.
    for (std::uint8_t b : std::initializer_list<std::uint8_t>{0xF0, 0x43 /* Yamaha */, u8(channel & 0x0F), 0x7E, 0x00,
                                                              0x3D /* 61 bytes */})
        out.push_back(b);
    for (int i = 0; i < 10; ++i) out.push_back(static_cast<std::uint8_t>(DX7ii_PerfBufID[i]));
    out.insert(out.end(), record.begin(), record.end());
    return withChecksum(std::move(out), 6);
}

// A table of N records: the records given, then copies of `init`.
template <class Record, std::size_t N>
std::array<Record, N> bankOf(const std::vector<Bytes>& records, const Bytes& init)
{
    std::array<Record, N> table{};
    const auto all = filled(records, N, init);
    for (std::size_t i = 0; i < N; ++i) std::copy_n(all[i].begin(), table[i].size(), table[i].begin());
    return table;
}

Bytes dx7iiBank(const std::vector<Bytes>& records, int channel)
{
    return DX7iiPerftoSysex(channel, bankOf<DX7iiPerformance, 32>(records, initDX7iiPerformance()));
}

Bytes tx802Single(ByteView record, int channel)
{
    return TX802PCEDtoSysex(channel, pmemToPced(record));
}

Bytes tx802Bank(const std::vector<Bytes>& records, int channel)
{
    return TX802PMEMtoSysex(channel, bankOf<TX802Performance, 64>(records, initTX802Performance()));
}

Bytes pcedSingle(ByteView record, int channel)
{
    TX802Pced p{};
    std::copy_n(record.begin(), p.size(), p.begin());
    return TX802PCEDtoSysex(channel, p);
}

constexpr PatchFormat kFormats[] = {
    {"dx7-voice", 128, 32, voiceSingle, voiceBank, nullptr, nullptr, kVoiceName, 10, nullptr, voiceParameters},
    {"dx7ii-performance", std::tuple_size_v<DX7iiPerformance>, 32, dx7iiSingle, dx7iiBank, nullptr, nullptr,
     dx7ii::kName, kNameLength},
    {"tx802-performance", std::tuple_size_v<TX802Performance>, 64, tx802Single, tx802Bank, "tx802-performance",
     pmemAsSame, kPmemName, kNameLength},
    {"tx802-pced", std::tuple_size_v<TX802Pced>, 0, pcedSingle, nullptr, "tx802-performance", pcedAsSame, kPcedName,
     kNameLength},
};

bool headerIs(ByteView sx, std::initializer_list<std::uint8_t> header)
{
    if (sx.size() < header.size()) return false;
    std::size_t i = 0;
    for (std::uint8_t h : header) {
        const std::uint8_t b = i == 2 ? static_cast<std::uint8_t>(sx[i] & 0xF0) : sx[i];
        if (b != h) return false;
        ++i;
    }
    return true;
}

bool lmIs(ByteView sx, const char* id)
{
    return headerIs(sx, {0xF0, 0x43, 0x00, 0x7E}) && sx.size() >= 16 && std::memcmp(sx.data() + 6, id, 10) == 0;
}

PatchItem item(const char* model, const char* kind, int number, const char* format, ByteView record,
               std::size_t nameOffset, std::size_t nameLength)
{
    PatchItem it;
    it.maker = "Yamaha";
    it.model = model;
    it.kind = kind;
    it.number = number;
    it.format = format;
    it.record.assign(record.begin(), record.end());
    it.nameOffset = nameOffset;
    it.nameLength = nameLength;
    it.name = patchNameText(record.subspan(nameOffset, nameLength));
    return it;
}

// The checksum problem of a message whose checksum is its second-last byte, if any.
void checkSum(ByteView sx, PatchSplit& out)
{
    std::string detail;
    if (!DX7VerifyCheckSum(sx, detail)) out.problems.push_back("checksum " + detail);
}

std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// Runs `read`; the error it throws becomes a problem line. False when it threw.
template <class Read>
bool readOrNote(PatchSplit& out, Read read)
{
    try {
        read();
        return true;
    } catch (const TolvexError& e) {
        out.problems.push_back(oneLine(e.what()));
        return false;
    }
}

// Records of `size` bytes from `start`, as many as the message holds whole, at most `count`.
std::size_t wholeRecords(ByteView sx, std::size_t start, std::size_t size, std::size_t count)
{
    // The checksum and the F7 follow the data.
    if (sx.size() < start + 2) return 0;
    return std::min(count, (sx.size() - start) / size);
}

void cutOff(PatchSplit& out, std::size_t have, std::size_t count, const char* what)
{
    if (have < count) out.problems.push_back(format("%zu of %zu %s cut off", count - have, count, what));
}

std::optional<PatchSplit> split(ByteView sx)
{
    PatchSplit out;
    // Many real 32-voice dumps carry a byte count of 10 00 (or other) in
    // place of 20 00; with the length of a bank and a checksum that holds over
    // its 4096 bytes they are banks all the same.
    if (headerIs(sx, {0xF0, 0x43 /* Yamaha */, 0x00, 0x09 /* 32 voices */}) && sx.size() == kBankSize &&
        (sx[4] != 0x20 || sx[5] != 0x00) && sx.back() == 0xF7 &&
        yamahaChecksum(sx.subspan(6, 4096)) == sx[kBankSize - 2]) {
        for (std::size_t v = 0; v < 32; ++v)
            out.items.push_back(
                item("DX7", "Voice", int(v) + 1, "dx7-voice", sx.subspan(6 + 128 * v, 128), kVoiceName, 10));
        out.notes.push_back(
            format("DX7 32-voice bank whose byte count says %02X %02X (not 20 00); read as 4096 bytes", sx[4], sx[5]));
        out.proven = true;
        return out;
    }
    if (headerIs(sx, {0xF0, 0x43 /* Yamaha */, 0x00, 0x09 /* 32 voices */, 0x20, 0x00})) {
        const std::size_t n = wholeRecords(sx, 6, 128, 32);
        for (std::size_t v = 0; v < n; ++v)
            out.items.push_back(
                item("DX7", "Voice", int(v) + 1, "dx7-voice", sx.subspan(6 + 128 * v, 128), kVoiceName, 10));
        cutOff(out, n, 32, "voices");
        if (n == 32) checkSum(sx, out);
        out.proven = sx.size() == kBankSize && out.problems.empty();
        return out;
    }
    if (headerIs(sx, {0xF0, 0x43 /* Yamaha */, 0x00, 0x00 /* one voice */})) {
        if (sx.size() < 6 + kVcedSize) {
            out.problems.push_back("single voice cut off");
            return out;
        }
        out.items.push_back(item("DX7", "Voice", -1, "dx7-voice", packVoice(sx.subspan(6, kVcedSize)), kVoiceName, 10));
        if (sx.size() >= 6 + kVcedSize + 2) checkSum(sx, out);
        return out;
    }
    const std::size_t perf = std::tuple_size_v<DX7iiPerformance>;
    if (lmIs(sx, DX7ii_PackedPerfID)) {
        std::array<DX7iiPerformance, 32> table{};
        std::size_t n = 32;
        if (!readOrNote(out, [&] { ExtractDX7iiPerfBank(sx, table); })) {
            n = wholeRecords(sx, 16, perf, 32);
            for (std::size_t p = 0; p < n; ++p) std::copy_n(sx.begin() + 16 + long(perf * p), perf, table[p].begin());
            cutOff(out, n, 32, "performances");
        }
        for (std::size_t p = 0; p < n; ++p)
            out.items.push_back(
                item("DX7II", "Performance", int(p) + 1, "dx7ii-performance", table[p], dx7ii::kName, kNameLength));
        return out;
    }
    if (lmIs(sx, DX7ii_PerfBufID)) {
        DX7iiPerformance p{};
        if (!readOrNote(out, [&] { ExtractDX7iiPerfEditBuf(sx, p); })) {
            if (wholeRecords(sx, 16, perf, 1) == 0) return out;
            std::copy_n(sx.begin() + 16, perf, p.begin());
        }
        out.items.push_back(item("DX7II", "Performance", -1, "dx7ii-performance", p, dx7ii::kName, kNameLength));
        return out;
    }
    if (lmIs(sx, TX802_PackedPerfID)) {
        std::array<TX802Performance, 64> table{};
        std::size_t n = 0;
        const bool whole = readOrNote(out, [&] {
            ExtractTX802PMEM(sx, table, [&n](const std::string&) { ++n; });
            checkSum(sx, out);
        });
        if (!whole) cutOff(out, n, 64, "performances");
        for (std::size_t p = 0; p < n; ++p)
            out.items.push_back(
                item("TX802", "Performance", int(p) + 1, "tx802-performance", table[p], kPmemName, kNameLength));
        return out;
    }
    if (lmIs(sx, TX802_PerfBufID)) {
        TX802Pced p{};
        if (!readOrNote(out, [&] { ExtractTX802PCED(sx, p); })) return out;
        out.items.push_back(item("TX802", "Performance", -1, "tx802-pced", p, kPcedName, kNameLength));
        return out;
    }
    return std::nullopt;
}

// Whether 4096 bytes read as 32 packed voices: every byte of 7 bits, and in
// most voices the algorithm (0-31) and the operators' rates and levels
// (0-99) in range, which no text file of that size has.
bool looksLikeCartridge(ByteView data)
{
    if (data.size() != 4096 || std::any_of(data.begin(), data.end(), [](std::uint8_t b) { return b > 0x7F; }))
        return false;
    int plausible = 0;
    for (std::size_t v = 0; v < 32; ++v) {
        const ByteView voice = data.subspan(v * 128, 128);
        bool ok = voice[110] <= 31;
        for (std::size_t op = 0; op < 6 && ok; ++op)
            ok = std::all_of(voice.begin() + long(op * kOpPacked), voice.begin() + long(op * kOpPacked + 8),
                             [](std::uint8_t b) { return b <= 99; });
        plausible += ok ? 1 : 0;
    }
    return plausible >= 24;
}

Bytes bankOfCartridge(ByteView data)
{
    Bytes out{0xF0, 0x43 /* Yamaha */, 0x00, 0x09 /* 32 voices */, 0x20, 0x00 /* 4096 bytes */};
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(yamahaChecksum(data));
    out.push_back(0xF7);
    return out;
}

// Real collections carry DX7 cartridges as raw 4096-byte images (no SysEx
// around them), and 32-voice dumps whose checksum byte has bit 7 set (a
// status byte to a SysEx reader, which then sees the message cut): the
// voices in both are whole.
std::optional<std::vector<Bytes>> readFile(ByteView file, std::vector<std::string>& notes)
{
    if (looksLikeCartridge(file)) {
        notes.push_back("raw DX7 cartridge (4096 bytes of voice data without SysEx), read as a 32-voice bank");
        return std::vector<Bytes>{bankOfCartridge(file)};
    }
    std::optional<Bytes> mended;
    for (std::size_t at = 0; at + kBankSize <= file.size(); ++at) {
        if (file[at] != 0xF0 || !headerIs(file.subspan(at), {0xF0, 0x43 /* Yamaha */, 0x00, 0x09 /* 32 voices */}))
            continue;
        const std::size_t checksumAt = at + kBankSize - 2;
        const ByteView data = file.subspan(at + 6, 4096);
        if (file[checksumAt] < 0x80 || file[checksumAt + 1] != 0xF7 ||
            std::any_of(data.begin(), data.end(), [](std::uint8_t b) { return b > 0x7F; }))
            continue;
        if (!mended) mended.emplace(file.begin(), file.end());
        (*mended)[checksumAt] &= 0x7F;
        notes.push_back(format("DX7 32-voice bank whose checksum byte has bit 7 set (%02X), read as %02X",
                               file[checksumAt], (*mended)[checksumAt]));
        at = checksumAt;
    }
    if (!mended) return std::nullopt;
    SyxSplitter splitter;
    splitter.feed(*mended);
    return std::move(splitter.finish().messages);
}

}  // namespace

PatchFamily yamahaPatchFamily()
{
    return {"yamaha", split, kFormats, readFile};
}

}  // namespace tolvex
