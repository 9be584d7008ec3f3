// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation family's patches: patches and performances from the single
// dumps, the bank dumps and the all-data dump, kept as the unpacked records,
// sent back as single dumps, assembled into bank dumps.
#include <cstring>

#include "devices/common/patches.h"
#include "devices/wavestation/wavestation_sysex.h"

namespace tolvex {

namespace {

constexpr std::size_t kPatchSize = sizeof(TWSSR_patch);
constexpr std::size_t kPerfSize = sizeof(TWSSR_performance);
// Where the RAM banks lie in the unpacked all-data dump.
constexpr std::size_t kAllPerfRam1 = 1753, kAllPerfRam2 = 10803, kAllPatchRam1 = 19853, kAllPatchRam2 = 34763;

Bytes message(std::initializer_list<std::uint8_t> head, ByteView data, int channel)
{
    Bytes sx;
    sx.reserve(4 + head.size() + 2 * data.size() + 2);
    sx.push_back(0xF0);
    sx.push_back(0x42 /* Korg */);
    sx.push_back(static_cast<std::uint8_t>(0x30 | (channel & 0x0F)));
    sx.push_back(0x28 /* Wavestation */);
    // Byte by byte: GCC 12 takes an insert of the list into a 4-byte vector for an overflow.
    for (std::uint8_t b : head) sx.push_back(b);
    const std::size_t first = 5;
    for (std::uint8_t b : data) {
        sx.push_back(b & 0x0F);
        sx.push_back(static_cast<std::uint8_t>(b >> 4));
    }
    sx.push_back(WSSR_checksum(ByteView(sx).subspan(first + head.size() - 1)));
    sx.push_back(0xF7);
    return sx;
}

Bytes bankData(const std::vector<Bytes>& records, std::size_t size, std::size_t count, const char* initName)
{
    Bytes data;
    Bytes init(size, 0);
    std::memcpy(init.data(), initName, kWSSR_NameLength);  // both init names are 16 characters
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes& r = i < records.size() ? records[i] : init;
        data.insert(data.end(), r.begin(), r.begin() + static_cast<long>(size));
    }
    return data;
}

Bytes patchSingle(ByteView record, int channel)
{
    return message({kWSSR_OnePatch, 0x00, 0x00}, record, channel);
}
Bytes perfSingle(ByteView record, int channel)
{
    return message({kWSSR_OnePerformance, 0x00, 0x00}, record, channel);
}
Bytes patchBank(const std::vector<Bytes>& records, int channel)
{
    return message({kWSSR_PatchBank, 0x00}, bankData(records, kPatchSize, kWSSR_PatchesPerBank, "Init Patch      "),
                   channel);
}
Bytes perfBank(const std::vector<Bytes>& records, int channel)
{
    return message({kWSSR_PerformanceBank, 0x00},
                   bankData(records, kPerfSize, kWSSR_PerformancesPerBank, "Init Performance"), channel);
}

constexpr PatchFormat kFormats[] = {
    {"ws-patch", kPatchSize, kWSSR_PatchesPerBank, patchSingle, patchBank, nullptr, nullptr, 0, kWSSR_NameLength},
    {"ws-performance", kPerfSize, kWSSR_PerformancesPerBank, perfSingle, perfBank, nullptr, nullptr, 0,
     kWSSR_NameLength},
};

void add(PatchSplit& out, ByteView data, std::size_t offset, std::size_t count, bool patch, const std::string& bank,
         int firstNumber)
{
    const std::size_t size = patch ? kPatchSize : kPerfSize;
    for (std::size_t i = 0; i < count; ++i) {
        PatchItem it;
        it.maker = "Korg";
        it.model = "Wavestation";
        it.kind = patch ? "Patch" : "Performance";
        it.bank = bank;
        it.number = firstNumber < 0 ? -1 : firstNumber + static_cast<int>(i);
        it.format = patch ? "ws-patch" : "ws-performance";
        it.record.assign(data.begin() + static_cast<long>(offset + i * size),
                         data.begin() + static_cast<long>(offset + (i + 1) * size));
        it.nameLength = kWSSR_NameLength;
        it.name = patchNameText(ByteView(it.record).first(kWSSR_NameLength));
        out.items.push_back(std::move(it));
    }
}

std::optional<PatchSplit> split(ByteView sx)
{
    const auto f = WSSR_format(sx);
    if (!f) return std::nullopt;
    const bool known = f->function == kWSSR_OnePatch || f->function == kWSSR_OnePerformance ||
                       f->function == kWSSR_PatchBank || f->function == kWSSR_PerformanceBank ||
                       f->function == kWSSR_AllData;
    if (!known) return std::nullopt;
    PatchSplit out;
    // The data, then the checksum and F7.
    const std::size_t whole = sx.size() >= f->start + 2 ? (sx.size() - f->start - 2) / 2 : 0;
    const std::size_t have = std::min(whole, f->size);
    const Bytes data = WSSR_unnibble(sx, f->start, have);
    if (have == f->size) {
        const std::uint8_t stored = sx[f->start + 2 * f->size];
        const std::uint8_t computed = WSSR_checksum(sx.subspan(f->start, 2 * f->size));
        if (stored != computed) out.problems.push_back(format("checksum is %X, should be %X", stored, computed));
        out.proven = stored == computed && sx.size() == f->start + 2 * f->size + 2 && sx.back() == 0xF7;
    }
    const std::string bank = format("%d", f->bank);
    std::size_t expected = 1, found = 0;
    switch (f->function) {
    case kWSSR_OnePatch:
    case kWSSR_OnePerformance: {
        const bool patch = f->function == kWSSR_OnePatch;
        found = have / (patch ? kPatchSize : kPerfSize);
        add(out, data, 0, found, patch, bank, f->number);
        break;
    }
    case kWSSR_PatchBank:
        expected = kWSSR_PatchesPerBank;
        found = have / kPatchSize;
        add(out, data, 0, found, true, bank, 0);
        break;
    case kWSSR_PerformanceBank:
        expected = kWSSR_PerformancesPerBank;
        found = have / kPerfSize;
        add(out, data, 0, found, false, bank, 0);
        break;
    default: {
        expected = 2 * (kWSSR_PatchesPerBank + kWSSR_PerformancesPerBank);
        const auto part = [&](std::size_t offset, std::size_t count, bool patch, const char* name) {
            const std::size_t size = patch ? kPatchSize : kPerfSize;
            const std::size_t n = have > offset ? std::min(count, (have - offset) / size) : 0;
            add(out, data, offset, n, patch, name, 0);
            found += n;
        };
        part(kAllPerfRam1, kWSSR_PerformancesPerBank, false, "RAM1");
        part(kAllPerfRam2, kWSSR_PerformancesPerBank, false, "RAM2");
        part(kAllPatchRam1, kWSSR_PatchesPerBank, true, "RAM1");
        part(kAllPatchRam2, kWSSR_PatchesPerBank, true, "RAM2");
        break;
    }
    }
    if (found < expected) out.problems.push_back(format("%zu of %zu records cut off", expected - found, expected));
    return out;
}

}  // namespace

PatchFamily wavestationPatchFamily()
{
    return {"wavestation", split, kFormats};
}

}  // namespace tolvex
