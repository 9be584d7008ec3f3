// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton family's patches: Programs and Combinations from their dumps
// (one record, one bank, all banks), the All Data dump and the current-object dumps, kept
// as the unpacked records; a record goes back as a current-object dump, and
// up to 128 Programs or Combinations make a one-bank dump.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <tuple>

#include "devices/common/korg_packing.h"
#include "devices/common/patches.h"
#include "devices/triton/triton_alldata.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_records.h"

namespace tolvex {

namespace {

using triton::kRecordsPerBank;

constexpr std::size_t kProgramSize = sizeof(triton::Ttri_ProgramPCM);
constexpr std::size_t kCombiSize = sizeof(triton::Ttri_Combi);
constexpr std::uint8_t kProgramDump = 0x4C;
constexpr std::uint8_t kCombiDump = 0x4D;
constexpr std::uint8_t kCurrentProgram = 0x40;
constexpr std::uint8_t kCurrentCombi = 0x49;
constexpr std::size_t kDumpData = 8;     // F0 42 3n 50 FUNC xx kind|bank number
constexpr std::size_t kCurrentData = 6;  // F0 42 3n 50 FUNC 00

std::uint8_t channelByte(int channel)
{
    return static_cast<std::uint8_t>(0x30 | (channel & 0x0F));
}

Bytes currentDump(std::uint8_t function, ByteView record, int channel)
{
    const std::uint8_t header[] = {0xF0, 0x42 /* Korg */, channelByte(channel), 0x50 /* Triton */, function, 0x00};
    return KorgDatatoSXConvert(header, record);
}

// The record a new bank is filled with: all parameters 0, named "Init ...".
Bytes initRecord(std::size_t size, const char* name)
{
    Bytes r(size, 0);
    std::memcpy(r.data(), name, std::strlen(name));
    return r;
}

// A one-bank dump (kind 1) of bank 0: the records given, then init records.
Bytes bankDump(std::uint8_t function, std::uint8_t flags, std::size_t size, const char* initName,
               const std::vector<Bytes>& records, int channel)
{
    Bytes data;
    data.reserve(size * kRecordsPerBank);
    const Bytes init = initRecord(size, initName);
    for (std::size_t i = 0; i < kRecordsPerBank; ++i) {
        const Bytes& r = i < records.size() ? records[i] : init;
        data.insert(data.end(), r.begin(), r.begin() + static_cast<long>(size));
    }
    const std::uint8_t header[] = {0xF0,     0x42 /* Korg */, channelByte(channel),        0x50 /* Triton */,
                                   function, flags,           0x10 /* one bank, bank 0 */, 0x00};
    return KorgDatatoSXConvert(header, data);
}

Bytes programSingle(ByteView record, int channel)
{
    return currentDump(kCurrentProgram, record, channel);
}
Bytes combiSingle(ByteView record, int channel)
{
    return currentDump(kCurrentCombi, record, channel);
}
Bytes programBank(const std::vector<Bytes>& records, int channel)
{
    return bankDump(kProgramDump, 0x00, kProgramSize, "Init Program", records, channel);
}
Bytes combiBank(const std::vector<Bytes>& records, int channel)
{
    return bankDump(kCombiDump, 0x00, kCombiSize, "Init Combi", records, channel);
}

std::string combiCategory(ByteView record)
{
    const std::size_t at = offsetof(triton::Ttri_Combi, Common_Params) + triton::CommonBytes::Category;
    return at < record.size() ? tritonCombiCategory(record[at] & 0x0F) : std::string();
}

constexpr PatchFormat kFormats[] = {
    {"triton-program", kProgramSize, kRecordsPerBank, programSingle, programBank, nullptr, nullptr, 0, 16},
    {"triton-combi", kCombiSize, kRecordsPerBank, combiSingle, combiBank, nullptr, nullptr, 0, 16, combiCategory},
};

// Unpacks up to `count` records from `start`; as many as the message holds whole.
std::vector<Bytes> records(ByteView sx, std::size_t start, std::size_t size, std::size_t count)
{
    std::vector<Bytes> out;
    if (sx.size() <= start) return out;
    // The packed block ends before the F7 when there is one.
    const std::size_t packed = sx.size() - start - (sx.back() == 0xF7 ? 1 : 0);
    std::size_t n = count;
    while (n > 0 && KorgPackedSize(n * size) > packed) --n;
    if (n == 0) return out;
    const Bytes data = KorgSXtoDataConvert(sx, static_cast<int>(start), static_cast<int>(n * size));
    for (std::size_t i = 0; i < n; ++i)
        out.emplace_back(data.begin() + static_cast<long>(i * size), data.begin() + static_cast<long>((i + 1) * size));
    return out;
}

PatchItem item(bool program, std::size_t place, Bytes record)
{
    PatchItem it;
    it.maker = "Korg";
    it.model = "Triton";
    it.kind = program ? "Program" : "Combi";
    const std::size_t bank = place / kRecordsPerBank;
    it.bank = bank < tri_prog_banknames.size() ? tri_prog_banknames[bank] : format("%zu", bank);
    it.number = static_cast<int>(place % kRecordsPerBank);
    it.format = program ? "triton-program" : "triton-combi";
    it.record = std::move(record);
    it.nameLength = 16;
    it.name = patchNameText(ByteView(it.record).first(16));
    return it;
}

// The Combinations and then the Programs of an All Data dump, from INT-A 000
// each; a dump of another length gives none and says why.
PatchSplit splitAllData(ByteView sx)
{
    PatchSplit out;
    try {
        const TritonAllData all = readTritonAllData(sx);
        for (const auto& [program, data, size] :
             {std::tuple{false, &all.combis, kCombiSize}, std::tuple{true, &all.programs, kProgramSize}})
            for (std::size_t i = 0; i < data->size() / size; ++i)
                out.items.push_back(item(program, i,
                                         Bytes(data->begin() + static_cast<long>(i * size),
                                               data->begin() + static_cast<long>((i + 1) * size))));
        out.proven = true;
    } catch (const TolvexError& e) {
        out.problems.push_back(e.what());
    }
    return out;
}

std::optional<PatchSplit> split(ByteView sx)
{
    if (sx.size() < 6 || sx[0] != 0xF0 || sx[1] != 0x42 || (sx[2] & 0xF0) != 0x30 || sx[3] != 0x50) return std::nullopt;
    if (isTritonAllData(sx)) return splitAllData(sx);
    const std::uint8_t function = sx[4];
    const bool program = function == kProgramDump || function == kCurrentProgram;
    if (function != kProgramDump && function != kCombiDump && function != kCurrentProgram && function != kCurrentCombi)
        return std::nullopt;
    const std::size_t size = program ? kProgramSize : kCombiSize;
    PatchSplit out;
    std::size_t count = 1, start = kCurrentData;
    int firstBank = -1, firstNumber = -1;
    if (function == kProgramDump || function == kCombiDump) {
        if (sx.size() < kDumpData) {
            out.problems.push_back("dump header cut off");
            return out;
        }
        start = kDumpData;
        const int kind = (sx[6] >> 4) & 3;
        const int bank = sx[6] & 0x0F;
        switch (kind) {
        case 0: count = 5 * kRecordsPerBank, firstBank = 0, firstNumber = 0; break;  // the internal banks A-E
        case 1: count = kRecordsPerBank, firstBank = bank, firstNumber = 0; break;
        case 2: count = 1, firstBank = bank, firstNumber = sx[7]; break;
        default: count = triton::kBanks * kRecordsPerBank, firstBank = 0, firstNumber = 0; break;
        }
    }
    const auto found = records(sx, start, size, count);
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (firstBank >= 0) {
            out.items.push_back(
                item(program,
                     static_cast<std::size_t>(firstBank) * kRecordsPerBank + static_cast<std::size_t>(firstNumber) + i,
                     found[i]));
            continue;
        }
        PatchItem it = item(program, 0, found[i]);  // a current-object dump has no place
        it.bank.clear();
        it.number = -1;
        out.items.push_back(std::move(it));
    }
    if (found.size() < count)
        out.problems.push_back(
            format("%zu of %zu %s cut off", count - found.size(), count, program ? "Programs" : "Combinations"));
    out.proven = found.size() == count && sx.back() == 0xF7 && sx.size() == start + KorgPackedSize(count * size) + 1;
    return out;
}

}  // namespace

PatchFamily tritonPatchFamily()
{
    return {"triton", split, kFormats};
}

}  // namespace tolvex
