// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/text_utils.h"

#include <gtest/gtest.h>

#include "core/sysex/monitor_text.h"
#include "core/text/csv_parser.h"
#include "core_test_util.h"

namespace tolvex {
namespace {

TMyMidiEvent shortEvent(std::uint8_t st, std::uint8_t d1, std::uint8_t d2, std::uint32_t time)
{
    TMyMidiEvent e;
    e.MidiMessage = st;
    e.Data1 = d1;
    e.Data2 = d2;
    e.Time = time;
    return e;
}

TEST(TextUtils, MonitorMessageTextFormatsEveryKindOfEvent)
{
    TMyMidiEvent sysex;
    sysex.MidiMessage = 0xF0;
    sysex.Sysex = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    TMyMidiEvent notF0 = sysex;
    notF0.Sysex[0] = 0x43;
    TMyMidiEvent emptySysex;
    emptySysex.MidiMessage = 0xF0;

    const struct {
        TMyMidiEvent event;
        const char* text;
    } cases[] = {
        {shortEvent(0x80, 0x3C, 0x00, 0xABCDEF01), "ABCDEF01   80       3C    00     Note Off"},
        {shortEvent(0xD0, 0x40, 0x00, 0), "00000000   D0       40           Channel Aftertouch"},
        {shortEvent(0xF8, 0, 0, 0x10), "00000010   F8                    Timing Clock"},
        {shortEvent(0x7F, 0, 0, 0), "Unrecognized MIDI Event"},
        {sysex, "Sysex (    6): F0 7E 7F 06 01 F7 "},
        {notF0, ""},
        {emptySysex, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(MonitorMessageText(c.event), c.text) << c.text;
}

TEST(TextUtils, HexListsShowHeadEllipsisAndLastByte)
{
    Bytes thirty(30);
    for (std::size_t i = 0; i < thirty.size(); ++i) thirty[i] = static_cast<std::uint8_t>(i);
    std::string first24, first25;
    for (int i = 0; i < 25; ++i) (i < 24 ? first24 : first25) += HexB(static_cast<std::uint8_t>(i)) + " ";
    first25 = first24 + first25;

    EXPECT_EQ(BinaryToHexList(thirty), first24 + "... 1D ");
    EXPECT_EQ(SxStringToHexList(thirty), first25 + "... 1D ");
    EXPECT_EQ(BinaryToHexList(ByteView(thirty).first(24)), first24);
    EXPECT_EQ(SxStringToHexList(ByteView(thirty).first(25)), first25);
    EXPECT_EQ(SxStringToHexList(Bytes{0xab}), "AB ");
    EXPECT_EQ(SxStringToHexList(Bytes{}), "");
}

TEST(TextUtils, NoteNamesAndHexDigits)
{
    const std::pair<int, const char*> notes[] = {{0, "C-1"}, {61, "C#4"}, {127, "G9"}};
    for (const auto& [n, text] : notes) EXPECT_EQ(MidiNoteTxt(n), text);

    const struct {
        std::uint32_t number;
        int bytes;
        const char* text;
    } hexes[] = {{0x1A, 1, "1A"}, {0x1A, 2, "001A"}, {0x1234, 1, "34"}, {0xDEADBEEF, 4, "DEADBEEF"}, {5, 0, ""}};
    for (const auto& h : hexes) EXPECT_EQ(Hex(h.number, h.bytes), h.text);
    EXPECT_THROW(Hex(1, 5), TolvexError);
    EXPECT_EQ(Endian_Reverse_Longword(0x11223344), 0x44332211u);
}

TEST(TextUtils, HexStringToIntAcceptsDigitsAndRejectsEverythingElse)
{
    const std::pair<const char*, std::int32_t> good[] = {
        {"f0", 240}, {"", 0}, {"7FFFFFFF", 0x7FFFFFFF}, {"0000000a", 10}};
    for (const auto& [text, value] : good) EXPECT_EQ(HexStringToInt(text), value) << text;

    const std::pair<const char*, const char*> bad[] = {
        {"80000000", "Hex number too large: 80000000"},
        {"123456789", "Hex number too large: 123456789"},
        {"1g", "Invalid hex number: 1g"},
    };
    for (const auto& [text, message] : bad) EXPECT_EQ(testing::errorOf([&] { HexStringToInt(text); }), message);
}

TEST(TextUtils, DialogFiltersKeepDescriptionsAndMatchExtensionsInEitherCase)
{
    using F = std::vector<std::string>;
    const struct {
        const char* filter;
        F expected;
    } cases[] = {
        {"Sysex files (*.syx)|*.SYX|All files (*.*)|*.*", F{"Sysex files (*.syx *.SYX)", "All files (*)"}},
        {"Sysex files|*.syx", F{"Sysex files (*.syx *.SYX)"}},
        {"Text and CSV|*.txt;*.CSV", F{"Text and CSV (*.txt *.TXT *.csv *.CSV)"}},
        {"Everything|*", F{"Everything (*)"}},
        {"", F{"*"}},
    };
    for (const auto& c : cases) EXPECT_EQ(dialogNameFilters(c.filter), c.expected) << c.filter;
}

using Fields = std::vector<std::string>;

TEST(CsvParser, ParseCSVLineFollowsItsFourStates)
{
    const struct {
        std::string line;
        char sep;
        Fields fields;
    } cases[] = {
        {"a,\"b,c\",\"d\"\"e\",", ',', {"a", "b,c", "d\"e", ""}},
        {"", ',', {}},
        {",", ',', {"", ""}},
        {"a\"b,c", ',', {"a\"b", "c"}},  // quotes inside an unquoted field are ordinary
        {"\"abc", ',', {}},              // quoted field open at the end of the line
        {"\"ab\"x,y", ',', {}},          // after a closing quote everything but a quote is dropped
        {"x,\"ab\"\"", ',', {"x"}},      // line ends in the after-quote state
    };
    for (const auto& c : cases) {
        Fields out;
        ParseCSVLine(c.line, out, c.sep);
        EXPECT_EQ(out, c.fields) << c.line;
    }
}

}  // namespace
}  // namespace tolvex
