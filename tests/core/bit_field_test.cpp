#include "core/bit_field.h"

#include <gtest/gtest.h>

#include <random>

namespace tolvex {
namespace {

// Absolute bit j of a field (j = 0 its most significant bit for BE, its least
// significant for LE), as a byte index and a bit within that byte. Written from
// the documented bit layout, bit by bit, independently of the code under test.
struct BitPlace {
    std::size_t byte;
    int bit;
};

BitPlace place(BFMode mode, int Ofs, int bitpos, int j)
{
    if (mode == BFMode::BE) {
        const int fromTop = Ofs * 8 + (7 - bitpos) + j;  // counting bits from the top of byte Ofs downward
        return {static_cast<std::size_t>(fromTop / 8), 7 - fromTop % 8};
    }
    const int fromBottom = Ofs * 8 + bitpos + j;
    return {static_cast<std::size_t>(fromBottom / 8), fromBottom % 8};
}

// Value weight of field bit j.
int weight(BFMode mode, int width, int j)
{
    return mode == BFMode::BE ? 1 << (width - 1 - j) : 1 << j;
}

std::int32_t referenceGet(const Bytes& obj, BFMode mode, int Ofs, int bitpos, int width)
{
    std::int32_t v = 0;
    for (int j = 0; j < width; ++j) {
        const BitPlace p = place(mode, Ofs, bitpos, j);
        if (p.byte < obj.size() && (obj[p.byte] >> p.bit) & 1) v += weight(mode, width, j);
    }
    return v;
}

void referenceSet(Bytes& obj, BFMode mode, std::int32_t value, int Ofs, int bitpos, int width)
{
    for (int j = 0; j < width; ++j) {
        const BitPlace p = place(mode, Ofs, bitpos, j);
        if (p.byte >= obj.size()) continue;
        if (value & weight(mode, width, j))
            obj[p.byte] |= static_cast<std::uint8_t>(1 << p.bit);
        else
            obj[p.byte] &= static_cast<std::uint8_t>(~(1 << p.bit));
    }
}

const char* modeName(BFMode m)
{
    return m == BFMode::BE ? "BE" : "LE";
}

TEST(BitField, ReadsKnownFields)
{
    const struct {
        Bytes obj;
        BFMode mode;
        int Ofs, bitpos, width;
        std::int32_t expected;
    } cases[] = {
        {{0x12, 0x34}, BFMode::BE, 0, 3, 12, 0x234},
        {{0x12, 0x34}, BFMode::LE, 0, 4, 8, 0x41},
        {{0x12, 0x34}, BFMode::BE, 2, 7, 8, 0},  // Ofs past the end
        {{0x12, 0x34}, BFMode::LE, 9, 0, 16, 0},
        {{0xAB, 0xCD, 0xEF}, BFMode::BE, 0, 0, 16, 0xE6F7},  // straddles three bytes
        {{0xAB, 0xCD, 0xEF}, BFMode::LE, 0, 7, 16, 0xDF9B},
        {{0xAB, 0xCD, 0xEF}, BFMode::BE, 1, 2, 9, 0x17B},
        {{0xAB, 0xCD, 0xEF}, BFMode::BE, 2, 7, 12, 0xEF0},  // runs off the end: missing bits are 0
        {{0xAB, 0xCD, 0xEF}, BFMode::LE, 1, 4, 12, 0xEFC},
        {{0x80}, BFMode::BE, 0, 7, 1, 1},
        {{0x80}, BFMode::LE, 0, 7, 1, 1},
        {{0x00, 0x00, 0x00, 0x00, 0xFF}, BFMode::BE, 0, 0, 16, 0},  // the fifth byte is never in the window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << modeName(c.mode) << " Ofs " << c.Ofs << " bitpos " << c.bitpos << " width " << c.width);
        std::int32_t v = -1;
        EXPECT_TRUE(GetBitField(c.obj, c.mode, v, c.Ofs, c.bitpos, c.width));
        EXPECT_EQ(v, c.expected);
    }
}

TEST(BitField, WritesKnownFields)
{
    const struct {
        Bytes before;
        BFMode mode;
        std::int32_t value;
        int Ofs, bitpos, width;
        Bytes after;
    } cases[] = {
        {{0xFF}, BFMode::BE, 5, 0, 5, 3, {0xEF}},
        {{0x00}, BFMode::BE, 5, 0, 5, 3, {0x28}},
        {{0x00}, BFMode::BE, 0x7FFFFFFD, 0, 5, 3, {0x28}},  // only the low width bits are written
        {{0x00}, BFMode::BE, -3, 0, 5, 3, {0x28}},
        {{0x00, 0x00, 0x00}, BFMode::BE, 0xE6F7, 0, 0, 16, {0x01, 0xCD, 0xEE}},
        {{0xFF, 0xFF, 0xFF}, BFMode::LE, 0, 0, 7, 16, {0x7F, 0x00, 0x80}},
        {{0x12, 0x34}, BFMode::BE, 0xFFF, 1, 3, 12, {0x12, 0x3F}},  // bytes past the end are not written
        {{0x12, 0x34}, BFMode::LE, 0xFFFF, 2, 0, 16, {0x12, 0x34}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << modeName(c.mode) << " value " << c.value << " Ofs " << c.Ofs << " bitpos "
                                          << c.bitpos << " width " << c.width);
        Bytes obj = c.before;
        SetBitField(obj, c.mode, c.value, c.Ofs, c.bitpos, c.width);
        EXPECT_EQ(obj, c.after);
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
        {1, 3, -1, "Bit field out of range: offset 1, bit position 3, width -1"},
        {-1, 0, 8, "Bit field out of range: offset -1, bit position 0, width 8"},
        {0, 8, 1, "Bit field out of range: offset 0, bit position 8, width 1"},
        {0, -1, 1, "Bit field out of range: offset 0, bit position -1, width 1"},
    };
    for (const BFMode mode : {BFMode::BE, BFMode::LE}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << modeName(mode) << " " << c.error);
            Bytes obj{0x12, 0x34, 0x56, 0x78};
            const Bytes before = obj;
            std::int32_t v = 12345;
            EXPECT_FALSE(GetBitField(obj, mode, v, c.Ofs, c.bitpos, c.width));
            EXPECT_EQ(v, 12345);
            try {
                SetBitField(obj, mode, 0x5555, c.Ofs, c.bitpos, c.width);
                ADD_FAILURE() << "no error";
            } catch (const TolvexError& e) {
                EXPECT_STREQ(e.what(), c.error);
            }
            EXPECT_EQ(obj, before);
        }
    }
}

// Every bit order, bit position and width, at offsets from the start to past
// the end of a 6-byte object: reading agrees with the reference, and writing
// changes exactly the reference's bits (guard bytes around the object catch a
// write outside it).
TEST(BitField, MatchesBitByBitReferenceEverywhere)
{
    constexpr std::size_t kSize = 6, kGuard = 4;
    std::mt19937 rng(16);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    for (const BFMode mode : {BFMode::BE, BFMode::LE}) {
        for (int bitpos = 0; bitpos <= 7; ++bitpos) {
            for (int width = 1; width <= 16; ++width) {
                for (int Ofs = 0; Ofs <= static_cast<int>(kSize) + 1; ++Ofs) {
                    SCOPED_TRACE(::testing::Message()
                                 << modeName(mode) << " Ofs " << Ofs << " bitpos " << bitpos << " width " << width);
                    Bytes buffer(kGuard + kSize + kGuard);
                    for (auto& b : buffer) b = static_cast<std::uint8_t>(byte(rng));
                    const Bytes obj(buffer.begin() + kGuard, buffer.begin() + kGuard + kSize);

                    std::int32_t v = -1;
                    ASSERT_TRUE(GetBitField(obj, mode, v, Ofs, bitpos, width));
                    ASSERT_EQ(v, referenceGet(obj, mode, Ofs, bitpos, width));

                    const std::int32_t value = any(rng);
                    Bytes expected = obj;
                    referenceSet(expected, mode, value, Ofs, bitpos, width);
                    Bytes after = buffer;
                    SetBitField(std::span(after).subspan(kGuard, kSize), mode, value, Ofs, bitpos, width);
                    ASSERT_EQ(Bytes(after.begin(), after.begin() + kGuard),
                              Bytes(buffer.begin(), buffer.begin() + kGuard));
                    ASSERT_EQ(Bytes(after.end() - kGuard, after.end()), Bytes(buffer.end() - kGuard, buffer.end()));
                    ASSERT_EQ(Bytes(after.begin() + kGuard, after.end() - kGuard), expected);

                    // A field wholly inside the object reads back what was written.
                    if (place(mode, Ofs, bitpos, width - 1).byte < kSize && place(mode, Ofs, bitpos, 0).byte < kSize) {
                        ASSERT_TRUE(GetBitField(std::span(after).subspan(kGuard, kSize), mode, v, Ofs, bitpos, width));
                        ASSERT_EQ(v, value & ((1 << width) - 1));
                    }
                }
            }
        }
    }
}

TEST(BitField, NegatizeSignExtendsFromWidthThreeUp)
{
    const struct {
        std::int32_t inval;
        int width;
        std::int32_t expected;
    } cases[] = {
        {0x3FFF, 14, -1}, {0x2000, 14, -8192}, {0x1FFF, 14, 8191},   {3, 2, 3},        {2, 2, 2},
        {1, 1, 1},        {4, 3, -4},          {7, 3, -1},           {3, 3, 3},        {0x80, 8, -128},
        {0xFF, 8, -1},    {0x7F, 8, 127},      {0x8000, 16, -32768}, {0xFFFF, 16, -1}, {0, 16, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "inval " << c.inval << " width " << c.width);
        EXPECT_EQ(negatize(c.inval, c.width), c.expected);
    }
    for (int width = 1; width <= 16; ++width) {
        SCOPED_TRACE(width);
        const std::int32_t half = 1 << (width - 1), full = (1 << width) - 1;
        EXPECT_EQ(negatize(0, width), 0);
        EXPECT_EQ(negatize(half - 1, width), half - 1);
        EXPECT_EQ(negatize(half, width), width >= 3 ? -half : half);
        EXPECT_EQ(negatize(full, width), width >= 3 ? -1 : full);
    }
}

}  // namespace
}  // namespace tolvex
