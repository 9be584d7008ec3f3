#include "core/korg_packing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>

namespace tolvex {
namespace {

// Written from the documented packing, value by value, independently of the
// word-at-a-time code under test.
Bytes referencePack(ByteView data)
{
    Bytes out;
    for (std::size_t g = 0; g < data.size(); g += 7) {
        const std::size_t c = std::min<std::size_t>(7, data.size() - g);
        int flags = 0;
        for (std::size_t i = 0; i < c; ++i)
            if (data[g + i] >= 128) flags += 1 << i;
        out.push_back(static_cast<std::uint8_t>(flags));
        for (std::size_t i = 0; i < c; ++i) out.push_back(data[g + i] % 128);
    }
    return out;
}

Bytes referenceUnpack(ByteView block, std::size_t n)
{
    Bytes out;
    for (std::size_t v = 0; v < n; ++v) {
        const std::uint8_t flags = block[8 * (v / 7)];
        const std::uint8_t data = block[8 * (v / 7) + 1 + v % 7];
        out.push_back(static_cast<std::uint8_t>(data | ((flags >> (v % 7)) & 1 ? 0x80 : 0)));
    }
    return out;
}

Bytes randomBytes(std::mt19937& rng, std::size_t n)
{
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(byte(rng));
    return out;
}

TEST(KorgPacking, UnpacksKnownBlocks)
{
    const struct {
        const char* name;
        Bytes sx;
        int offset, dlen;
        Bytes expected;
    } cases[] = {
        {"the documented example",
         {0x03, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00},
         0,
         7,
         {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"a full group and a one-value group",
         {0x01, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x01, 0x07, 0xF7},
         0,
         8,
         {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x87}},
        {"after a header, ending exactly at the message end",
         {0xF0, 0x42, 0x30, 0x7F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07},
         3,
         7,
         {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87}},
        {"two full groups and a short one; bit 7 of a bit-7 byte is no value bit",
         {0xD5, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x2A, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x01, 0x7F},
         0,
         15,
         {0x80, 0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x10, 0x91, 0x12, 0x93, 0x14, 0x95, 0x16, 0xFF}},
        {"flags beyond a short group are ignored", {0xFF, 0x01, 0x02, 0x03}, 0, 2, {0x81, 0x82}},
        {"data bytes with bit 7 set keep it", {0x00, 0xFF, 0x90}, 0, 2, {0xFF, 0x90}},
        {"fewer values than the block holds",
         {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07},
         0,
         3,
         {0x01, 0x02, 0x03}},
        {"dlen 0 reads nothing", {}, 5, 0, {}},
        {"negative dlen reads nothing", {}, -3, -5, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KorgSXtoDataConvert(c.sx, c.offset, c.dlen), c.expected);
    }
}

TEST(KorgPacking, PacksKnownBlocks)
{
    const Bytes fifteen{0x80, 0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x10, 0x91, 0x12, 0x93, 0x14, 0x95, 0x16, 0xFF};
    const struct {
        const char* name;
        Bytes header, data, expected;
    } cases[] = {
        {"the documented example",
         {},
         {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x87},
         {0x01, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x01, 0x07, 0xF7}},
        {"nothing to pack", {}, {}, {0xF7}},
        {"header only", {0xF0, 0x42}, {}, {0xF0, 0x42, 0xF7}},
        {"Kronos Combi header, two full groups and a short one",
         {0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03},
         fifteen,
         {0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03, 0x55, 0x00, 0x01, 0x02, 0x03, 0x04,
          0x05, 0x06, 0x2A, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x01, 0x7F, 0xF7}},
        {"exactly one group, all top bits",
         {},
         {0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9},
         {0x7F, 0x7F, 0x7E, 0x7D, 0x7C, 0x7B, 0x7A, 0x79, 0xF7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KorgDatatoSXConvert(c.header, c.data), c.expected);
    }
    // The original's slen: only the first slen values are packed.
    EXPECT_EQ(KorgDatatoSXConvert({}, ByteView(fifteen).first(1)), (Bytes{0x01, 0x00, 0xF7}));
}

TEST(KorgPacking, RefusesBlocksReachingPastTheMessage)
{
    const struct {
        std::size_t messageLength;
        int offset, dlen;
        const char* error;
    } cases[] = {
        {7, 0, 7, "Packed data too short: need 8 bytes from offset 0, message has 7"},
        {10, 3, 7, "Packed data too short: need 8 bytes from offset 3, message has 10"},
        {10, 3, 8, "Packed data too short: need 10 bytes from offset 3, message has 10"},
        {5, 6, 1, "Packed data too short: need 2 bytes from offset 6, message has 5"},
        {5, 5, 1, "Packed data too short: need 2 bytes from offset 5, message has 5"},
        {0, 0, 1, "Packed data too short: need 2 bytes from offset 0, message has 0"},
        {100, -1, 1, "Packed data too short: need 2 bytes from offset -1, message has 100"},
        {100, INT_MAX, 1, "Packed data too short: need 2 bytes from offset 2147483647, message has 100"},
        {100, 0, INT_MAX, "Packed data too short: need 2454267026 bytes from offset 0, message has 100"},
        {947939, 8, 829440, "Packed data too short: need 947932 bytes from offset 8, message has 947939"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        // Sized exactly, so the sanitizer build catches any read past the end.
        const Bytes message(c.messageLength, 0x11);
        try {
            KorgSXtoDataConvert(message, c.offset, c.dlen);
            ADD_FAILURE() << "no error";
        } catch (const TolvexError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(KorgPacking, MatchesTheReferenceAtEveryLengthUpTo50)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::size_t> headerLength(0, 9);
    for (std::size_t n = 0; n <= 50; ++n) {
        SCOPED_TRACE(n);
        Bytes highBits(n, 0xFF), noHighBits(n, 0x7F);
        for (const Bytes& data : {randomBytes(rng, n), randomBytes(rng, n), highBits, noHighBits}) {
            const Bytes header = randomBytes(rng, headerLength(rng));
            const Bytes sx = KorgDatatoSXConvert(header, data);

            Bytes expected = header;
            const Bytes block = referencePack(data);
            expected.insert(expected.end(), block.begin(), block.end());
            expected.push_back(0xF7);
            ASSERT_EQ(sx, expected);
            ASSERT_EQ(sx.size(), header.size() + KorgPackedSize(n) + 1);
            ASSERT_TRUE(std::all_of(sx.begin() + static_cast<std::ptrdiff_t>(header.size()), sx.end() - 1,
                                    [](std::uint8_t b) { return b < 0x80; }));

            ASSERT_EQ(KorgSXtoDataConvert(sx, static_cast<int>(header.size()), static_cast<int>(n)), data);
        }
        // Arbitrary bytes, top bits included, unpack as the reference says.
        const Bytes junk = randomBytes(rng, KorgPackedSize(n) + 3);
        ASSERT_EQ(KorgSXtoDataConvert(junk, 3, static_cast<int>(n)), referenceUnpack(ByteView(junk).subspan(3), n));
    }
}

TEST(KorgPacking, RoundTripsAllTritonPrograms)
{
    constexpr std::size_t kUnpacked = 829440;
    ASSERT_EQ(KorgPackedSize(kUnpacked), 947932u);
    std::mt19937 rng(829440);
    const Bytes data = randomBytes(rng, kUnpacked);
    const Bytes header{0xF0, 0x42, 0x30, 0x50, 0x4C, 0x00, 0x20, 0x00};
    const Bytes sx = KorgDatatoSXConvert(header, data);
    ASSERT_EQ(sx.size(), 8 + 947932 + 1u);
    EXPECT_EQ(KorgSXtoDataConvert(sx, 8, static_cast<int>(kUnpacked)), data);
}

TEST(KorgPacking, TritonProgramFixture)
{
    std::ifstream in(TOLVEX_FIXTURES_DIR "/korg/triton-one-program.syx", std::ios::binary);
    ASSERT_TRUE(in) << "fixture missing";
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(file.size(), 627u);

    const Bytes program = KorgSXtoDataConvert(file, 8, 540);
    ASSERT_EQ(program.size(), 540u);
    EXPECT_EQ(std::string(program.begin(), program.begin() + 16), "Noisy Stabber   ");
    EXPECT_EQ(std::accumulate(program.begin(), program.end(), 0), 19026);
    EXPECT_EQ(std::count_if(program.begin(), program.end(), [](std::uint8_t b) { return b >= 0x80; }), 34);
    EXPECT_EQ(program[33], 0xC0);
    EXPECT_EQ(program[40], 0xCE);
    EXPECT_EQ(program[48], 0xD3);
    EXPECT_EQ(program[51], 0xA5);

    EXPECT_EQ(KorgDatatoSXConvert(ByteView(file).first(8), program), file);
}

}  // namespace
}  // namespace tolvex
