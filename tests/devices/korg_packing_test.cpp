// SPDX-License-Identifier: GPL-3.0-or-later
// Korg 7-bit packing and the bit fields inside unpacked data: known answers,
// the refusals, and sweeps against references written value by value and bit
// by bit from the documented layouts, independently of the code under test.
#include "devices/common/korg_packing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <random>

#include "core/core_test_util.h"
#include "core/sysex/bit_field.h"

namespace tolvex {
namespace {

// header, the packed groups of data, F7.
Bytes referencePack(ByteView header, ByteView data)
{
    Bytes out(header.begin(), header.end());
    for (std::size_t g = 0; g < data.size(); g += 7) {
        const std::size_t c = std::min<std::size_t>(7, data.size() - g);
        int flags = 0;
        for (std::size_t i = 0; i < c; ++i)
            if (data[g + i] >= 128) flags += 1 << i;
        out.push_back(static_cast<std::uint8_t>(flags));
        for (std::size_t i = 0; i < c; ++i) out.push_back(data[g + i] % 128);
    }
    out.push_back(0xF7);
    return out;
}

Bytes referenceUnpack(ByteView block, std::size_t n)
{
    Bytes out;
    for (std::size_t v = 0; v < n; ++v) {
        const bool top = (block[8 * (v / 7)] >> (v % 7)) & 1;
        out.push_back(static_cast<std::uint8_t>(block[8 * (v / 7) + 1 + v % 7] | (top ? 0x80 : 0)));
    }
    return out;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n)
{
    Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

TEST(KorgPacking, KnownAnswersBothWays)
{
    EXPECT_EQ(KorgSXtoDataConvert(Bytes{0x03, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 7),
              (Bytes{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(KorgDatatoSXConvert(Bytes{0xF0, 0x42}, Bytes{0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x87}),
              (Bytes{0xF0, 0x42, 0x01, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x01, 0x07, 0xF7}));
    EXPECT_TRUE(KorgSXtoDataConvert({}, -3, -5).empty());  // dlen below 1 reads nothing, whatever the offset
}

TEST(KorgPacking, RefusesBlocksReachingPastTheMessage)
{
    const struct {
        std::size_t messageLength;
        int offset, dlen;
        const char* error;
    } cases[] = {
        {10, 3, 7, "Packed data too short: need 8 bytes from offset 3, message has 10"},
        {100, -1, 1, "Packed data too short: need 2 bytes from offset -1, message has 100"},
        {100, INT_MAX, 1, "Packed data too short: need 2 bytes from offset 2147483647, message has 100"},
        {100, 0, INT_MAX, "Packed data too short: need 2454267026 bytes from offset 0, message has 100"},
    };
    for (const auto& c : cases) {
        // Sized exactly, so the sanitizer build catches any read past the end.
        const Bytes message(c.messageLength, 0x11);
        EXPECT_EQ(testing::errorOf([&] { KorgSXtoDataConvert(message, c.offset, c.dlen); }), c.error);
    }
}

// Every length from empty to several groups, each word-at-a-time step included,
// and the size of all programs of a Triton, with random headers and data that
// is all top bits, none, or random.
TEST(KorgPacking, MatchesTheReferenceAtEveryLengthUpTo50AndForAllTritonPrograms)
{
    std::vector<std::size_t> lengths(51);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.push_back(829440);
    std::mt19937 rng(5);
    for (const std::size_t n : lengths) {
        SCOPED_TRACE(n);
        for (const Bytes& data : {randomBytes(rng, n), randomBytes(rng, n), Bytes(n, 0xFF), Bytes(n, 0x7F)}) {
            const Bytes header = randomBytes(rng, rng() % 10);
            const Bytes sx = KorgDatatoSXConvert(header, data);
            ASSERT_EQ(sx, referencePack(header, data));
            ASSERT_EQ(sx.size(), header.size() + KorgPackedSize(n) + 1);
            ASSERT_EQ(KorgSXtoDataConvert(sx, static_cast<int>(header.size()), static_cast<int>(n)), data);
        }
        // Arbitrary bytes, top bits included, unpack as the reference says.
        const Bytes junk = randomBytes(rng, KorgPackedSize(n) + 3);
        ASSERT_EQ(KorgSXtoDataConvert(junk, 3, static_cast<int>(n)), referenceUnpack(ByteView(junk).subspan(3), n));
    }
}

TEST(BitField, RefusesInvalidFields)
{
    const struct {
        int Ofs, bitpos, width;
        const char* error;
    } cases[] = {
        {0, 0, 17, "Bit field out of range: offset 0, bit position 0, width 17"},
        {0, 7, 0, "Bit field out of range: offset 0, bit position 7, width 0"},
        {-1, 0, 8, "Bit field out of range: offset -1, bit position 0, width 8"},
        {0, 8, 1, "Bit field out of range: offset 0, bit position 8, width 1"},
        {0, -1, 1, "Bit field out of range: offset 0, bit position -1, width 1"},
    };
    for (const BFMode mode : {BFMode::BE, BFMode::LE})
        for (const auto& c : cases) {
            Bytes obj{0x12, 0x34, 0x56, 0x78};
            std::int32_t v = 12345;
            EXPECT_FALSE(GetBitField(obj, mode, v, c.Ofs, c.bitpos, c.width)) << c.error;
            EXPECT_EQ(v, 12345) << c.error;
            EXPECT_EQ(testing::errorOf([&] { SetBitField(obj, mode, 0x5555, c.Ofs, c.bitpos, c.width); }), c.error);
            EXPECT_EQ(obj, (Bytes{0x12, 0x34, 0x56, 0x78})) << c.error;
        }
}

// Every bit order, bit position and width, at offsets from the start to past
// the end of a 6-byte object, against a reference that places the field bit by
// bit: reading agrees, and writing changes exactly the field's bits (guard
// bytes around the object catch a write outside it).
TEST(BitField, MatchesBitByBitReferenceEverywhere)
{
    constexpr std::size_t kSize = 6, kGuard = 4;
    std::mt19937 rng(16);
    for (const BFMode mode : {BFMode::BE, BFMode::LE})
        for (int bitpos = 0; bitpos <= 7; ++bitpos)
            for (int width = 1; width <= 16; ++width)
                for (int Ofs = 0; Ofs <= static_cast<int>(kSize) + 1; ++Ofs) {
                    SCOPED_TRACE(::testing::Message() << (mode == BFMode::BE ? "BE" : "LE") << " Ofs " << Ofs
                                                      << " bitpos " << bitpos << " width " << width);
                    const Bytes buffer = randomBytes(rng, kGuard + kSize + kGuard);
                    const Bytes obj(buffer.begin() + kGuard, buffer.end() - kGuard);  // so reads past it trip
                    const auto value = static_cast<std::int32_t>(rng());
                    Bytes expected = buffer;
                    std::int32_t read = 0;
                    // Field bit j, j = 0 being the most significant for BE and the least for LE, counted
                    // from the top of byte Ofs downward (BE) or from its bottom upward (LE).
                    for (int j = 0; j < width; ++j) {
                        const int at = Ofs * 8 + (mode == BFMode::BE ? 7 - bitpos + j : bitpos + j);
                        const std::size_t byte = kGuard + static_cast<std::size_t>(at / 8);
                        const int bit = mode == BFMode::BE ? 7 - at % 8 : at % 8;
                        const int weight = mode == BFMode::BE ? 1 << (width - 1 - j) : 1 << j;
                        if (byte >= kGuard + kSize) continue;
                        if ((buffer[byte] >> bit) & 1) read += weight;
                        expected[byte] = static_cast<std::uint8_t>(value & weight ? expected[byte] | 1 << bit
                                                                                  : expected[byte] & ~(1 << bit));
                    }
                    std::int32_t v = -1;
                    ASSERT_TRUE(GetBitField(obj, mode, v, Ofs, bitpos, width));
                    ASSERT_EQ(v, read);
                    Bytes after = buffer;
                    SetBitField(std::span(after).subspan(kGuard, kSize), mode, value, Ofs, bitpos, width);
                    ASSERT_EQ(after, expected);
                }
}

// Widths 1 and 2 are never signed.
TEST(BitField, NegatizeSignExtendsFromWidthThreeUp)
{
    for (int width = 1; width <= 16; ++width) {
        SCOPED_TRACE(width);
        const std::int32_t half = 1 << (width - 1), full = (1 << width) - 1;
        EXPECT_EQ(negatize(half - 1, width), half - 1);
        EXPECT_EQ(negatize(half, width), width >= 3 ? -half : half);
        EXPECT_EQ(negatize(full, width), width >= 3 ? -1 : full);
    }
}

}  // namespace
}  // namespace tolvex
