// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP objects as library patches: one object dump is one item, its
// record the object's bytes (the nibble pairs joined), without the device id
// and the object number, which only say where it came from.
#include <array>

#include "core/text/text_utils.h"
#include "devices/common/patches.h"
#include "devices/peavey/peavey_names.h"
#include "devices/peavey/peavey_sysex.h"

namespace tolvex {

namespace {

constexpr std::uint8_t kHeader[] = {0xF0, 0x00, 0x00, 0x1B /* Peavey */, 0x02, 0x05 /* DPM SP */};
constexpr std::uint8_t kDump = 0x02;
constexpr std::size_t kLengthAt = 9;  // 4 nibble bytes: the object number, its pad and the data
constexpr std::size_t kNumberAt = 13;
constexpr std::size_t kDataAt = 19;
constexpr std::size_t kNumberAndPad = 3;
constexpr std::size_t kNameSize = std::tuple_size_v<PVName>;

constexpr std::array<const char*, kPVObjectTypes> kFormatNames = {
    "sp-wave", "sp-tone", "sp-map", "sp-preset", "sp-multi", "sp-map-header", "sp-map-zone"};

std::size_t nibbles(ByteView sx, std::size_t at, std::size_t count)
{
    std::size_t v = 0;
    for (std::size_t i = at; i < at + count; ++i) v = v << 4 | (sx[i] & 0x0F);
    return v;
}

void putNibbles(Bytes& out, std::size_t value, int count)
{
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F));
}

// The dump of `record` as object 0 of its type: the SP has no edit buffer, so
// a patch sent or exported lands in the first place, where the user's next
// save or move decides what becomes of it.
Bytes dump(std::uint8_t type, ByteView record, int channel)
{
    Bytes m(std::begin(kHeader), std::end(kHeader));
    m.push_back(static_cast<std::uint8_t>(channel & 0x0F));  // device id
    m.push_back(kDump);
    m.push_back(type);
    putNibbles(m, record.size() + kNumberAndPad, 4);
    putNibbles(m, 0, 4);  // object number
    putNibbles(m, 0, 2);  // pad
    for (std::uint8_t b : record) putNibbles(m, b, 2);
    m.push_back(0xF7);
    return m;
}

template <std::uint8_t Type>
Bytes single(ByteView record, int channel)
{
    return dump(Type, record, channel);
}

constexpr PatchFormat kFormats[] = {
    {kFormatNames[0], 0, 0, single<0>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[1], 0, 0, single<1>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[2], 0, 0, single<2>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[3], 0, 0, single<3>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[4], 0, 0, single<4>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[5], 0, 0, single<5>, nullptr, nullptr, nullptr, 0, kNameSize},
    {kFormatNames[6], 0, 0, single<6>, nullptr},
};

std::optional<PatchSplit> split(ByteView sx)
{
    if (sx.size() <= kDataAt || !std::equal(std::begin(kHeader), std::end(kHeader), sx.begin()) || sx[7] != kDump ||
        sx[8] >= kPVObjectTypes)
        return std::nullopt;
    PatchSplit out;
    const std::uint8_t type = sx[8];
    const std::size_t length = nibbles(sx, kLengthAt, 4);
    if (length <= kNumberAndPad || length - kNumberAndPad > kPVGenericObjSize) {
        out.problems.push_back(format("%s dump of %zu bytes, which the SP never sends", PV_SP_obj_name[type], length));
        return out;
    }
    const std::size_t size = length - kNumberAndPad;
    // The nibble pairs end before the F7.
    if (kDataAt + 2 * size + 1 > sx.size() || sx.back() != 0xF7) {
        out.problems.push_back(format("%s dump cut off", PV_SP_obj_name[type]));
        return out;
    }
    // Built whole: member by member, GCC 12 at -O3 takes the short model text for uninitialised.
    PatchItem it{.name = {},
                 .maker = "Peavey",
                 .model = "SP",
                 .kind = PV_SP_obj_name[type],
                 .bank = {},
                 .number = static_cast<int>(nibbles(sx, kNumberAt, 4)),
                 .format = kFormatNames[type],
                 .record = joinNibbles(sx.subspan(kDataAt, 2 * size), true),
                 .nameOffset = 0,
                 .nameLength = 0};
    // Every object starts with its name, except a map zone, which has none.
    if (type != 6 && it.record.size() >= kNameSize) {
        it.nameLength = kNameSize;
        it.name = patchNameText(ByteView(it.record).first(kNameSize));
    } else {
        it.name = format("%s %d", PV_SP_obj_name[type], it.number);
    }
    out.proven = kDataAt + 2 * size + 1 == sx.size();
    out.items.push_back(std::move(it));
    return out;
}

}  // namespace

PatchFamily peaveyPatchFamily()
{
    return {"peavey", split, kFormats};
}

}  // namespace tolvex
