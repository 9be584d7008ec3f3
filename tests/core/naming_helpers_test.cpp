// The value and text helpers that naming shares with the Triton and SP tools.
#include <gtest/gtest.h>

#include "core/peavey_names.h"
#include "core/sx_naming.h"
#include "core/triton_params.h"

namespace tolvex {
namespace {

TEST(NamingHelpers, FourteenBitValues)
{
    const struct {
        std::uint8_t msb, lsb;
        int value;
    } cases[] = {{0x7F, 0x7F, -1},
                 {0x40, 0x00, -8192},
                 {0x3F, 0x7F, 8191},
                 {0x00, 0x00, 0},
                 {0x00, 0xFF, 127}};  // the low byte's top bit is not data
    for (const auto& c : cases)
        EXPECT_EQ(KorgTriParmVal_14bit(c.msb, c.lsb), c.value) << int(c.msb) << " " << int(c.lsb);

    EXPECT_EQ(Midi2byteVal(0x00, 0x40), 8192);
    EXPECT_EQ(Midi2byteVal(0xFF, 0x01), 255);    // lsb masked
    EXPECT_EQ(Midi2byteVal(0x00, 0x80), 16384);  // msb is not
}

TEST(NamingHelpers, TritonParameterText)
{
    const struct {
        Bytes sx;
        const char* text;
        const char* shortDesc;
    } cases[] = {
        {{0xF0, 0x42, 0x30, 0x50, 0x41, 0x00, 0x02, 0x05, 0x00, 0x00, 0x7F, 0x7F, 0xF7},
         "M 0, PID 5, SID 0, v -1 FFFFFFFF",
         "Triton Param Val -1 (0xFFFFFFFF)"},
        {{0xF0, 0x42, 0x30, 0x50, 0x41, 0x1A, 0x02, 0x2B, 0x00, 0x3C, 0x00, 0x05, 0xF7},
         "M 1A, PID 2B, SID 3C, v 5 0005",
         "Triton Param Val 5 (0x5)"},
        {{0xF0, 0x42, 0x30, 0x50, 0x41, 0x00, 0x02, 0x05, 0x00, 0x00, 0x7F, 0xF7}, "Unknown format", "kept"},
        {{0xF0, 0x42, 0x30, 0x50, 0x41, 0x00, 0x02, 0x05, 0x00, 0x00, 0x7F, 0x7F, 0x00, 0xF7},
         "Unknown format",
         "kept"},
    };
    for (const auto& c : cases) {
        std::string shortDesc = "kept";
        EXPECT_EQ(TriParamParse(c.sx, &shortDesc), c.text);
        EXPECT_EQ(shortDesc, c.shortDesc);
    }
}

TEST(NamingHelpers, PeaveyNibbleFields)
{
    const Bytes sx = {0xF0, 0x01, 0x02, 0x13, 0x0F, 0x0E, 0x0D, 0xF7};
    const struct {
        std::size_t offset;
        int Nbytes;
        std::int32_t value;
        std::size_t next;
        const char* overflow;
    } cases[] = {
        {1, 1, 0x12, 3, ""},
        {1, 2, 0x123F, 5, ""},  // high halves of the bytes are dropped
        {1, 3, 0x123FED, 7, ""},
        {4, 2, -1, 8, "Extract Overflow: offset: 4, nibs: 4"},  // would end on the last byte
        {9, 1, -1, 11, "Extract Overflow: offset: 9, nibs: 2"},
        {1, 0, -1, 1, ""},
        {1, 4, -1, 1, ""},
    };
    for (const auto& c : cases) {
        std::size_t offset = c.offset;
        std::string overflow;
        EXPECT_EQ(PV_extract(offset, c.Nbytes, sx, &overflow), c.value) << c.offset << "/" << c.Nbytes;
        EXPECT_EQ(offset, c.next) << c.offset << "/" << c.Nbytes;
        EXPECT_EQ(overflow, c.overflow) << c.offset << "/" << c.Nbytes;
    }
}

}  // namespace
}  // namespace tolvex
