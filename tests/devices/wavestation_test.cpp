// SPDX-License-Identifier: GPL-3.0-or-later
// Wavestation SR: the message formats, the nibble form both ways, single
// records, short dumps, and the mapping files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/app/session.h"
#include "core/sysex/syx_file.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::RecordedBox;
using testing::ScriptedShell;
using testing::TempDir;

// The nine messages of the factory dump: performance banks 0 and 1, patch
// banks 0 and 1, functions 54, 55 and 5A, the performance map (5D), function 51.
std::vector<Bytes> factory()
{
    return readSyxFile(std::string(TOLVEX_FIXTURES_DIR) + "/korg/wavestation-factory.syx").messages;
}

// A session working in its own current folder, restored afterwards.
struct Page {
    TempDir dir;
    testing::InFolder in{dir.str()};
    ScriptedShell shell;
    Session s{shell};

    void extract(const Bytes& message, const std::string& filename = "dump.syx")
    {
        s.messages.append("entry", message, filename.empty() ? "" : dir.file(filename));
        s.messages.makeCurrent(s.messages.count() - 1);
        Extract_WS_proc(s);
    }
    std::vector<std::string> boxes()
    {
        std::vector<std::string> out;
        for (const RecordedBox& b : shell.boxes) out.push_back(b.title + ": " + b.text);
        shell.boxes.clear();
        return out;
    }
    std::vector<std::string> lines(const std::string& name) const { return testing::crlfLines(dir.read(name)); }
    WSSRRecords& records() { return s.families.records<WSSRRecords>(); }
};

Bytes nibbles(const Bytes& head, const Bytes& data)
{
    Bytes sx = head;
    for (std::uint8_t b : data)
        sx.insert(sx.end(), {static_cast<std::uint8_t>(b & 0x0F), static_cast<std::uint8_t>(b >> 4)});
    sx.insert(sx.end(), {WSSR_checksum(ByteView(sx).subspan(head.size())), 0xF7});
    return sx;
}

TEST(Wavestation, FormatsByHeaderFunctionAndLength)
{
    const struct {
        Bytes head;
        std::size_t length;  // whole message, head and filler
        bool ok;
        std::size_t start = 0, size = 0;
        int bank = 0, number = 0;
    } cases[] = {
        {{0xF0, 0x42, 0x35, 0x28, 0x4C, 0x03}, 29828, true, 6, 14910, 3, 0},  // channel 5
        {{0xF0, 0x42, 0x30, 0x28, 0x4C, 0x00}, 10, true, 6, 14910, 0, 0},     // one data byte: short, not refused
        {{0xF0, 0x42, 0x30, 0x28, 0x4C, 0x00}, 9, false},                     // not even one data byte
        {{0xF0, 0x42, 0x30, 0x28, 0x40, 0x00}, 6, false},                     // no room for the number byte
        {{0xF0, 0x42, 0x30, 0x28, 0x54}, 17576, false},                       // wave sequences: not handled
        {{0xF0, 0x42, 0x30, 0x50, 0x4C, 0x00}, 29828, false},                 // a Triton
        {{}, 0, false},
    };
    for (const auto& c : cases) {
        Bytes sx = c.head;
        sx.resize(std::max(c.length, sx.size()), 0x01);
        const auto f = WSSR_format(sx);
        ASSERT_EQ(f.has_value(), c.ok) << c.length;
        if (!f) continue;
        EXPECT_EQ(f->start, c.start);
        EXPECT_EQ(f->size, c.size);
        EXPECT_EQ(f->bank, c.bank);
        EXPECT_EQ(f->number, c.number);
    }
}

TEST(Wavestation, NibblesLowHalfFirstBothWays)
{
    EXPECT_EQ(WSSR_unnibble(Bytes{0x7F, 0x03, 0x0C, 0x00}, 1, 1), Bytes{0xC3});

    // The factory map unpacked and packed again is its message, length and checksum
    // included, sent as function 60 on the low half of the channel.
    const Bytes fixture = factory().at(7);
    const Bytes data = WSSR_unnibble(fixture, 5, 257);
    TWSSR_perfmap_block map{};
    std::memcpy(&map, data.data(), sizeof map);
    Bytes expected = fixture;
    expected[2] = 0x35;
    expected[4] = 0x60;
    EXPECT_EQ(WSSR_PerfMaptoSysex(map, 0x15), expected);
}

TEST(Wavestation, SingleRecordsAndOutOfTableBanksKeepTheirData)
{
    Page page;
    // An entry without a file (received from the instrument) writes "untitled".
    Bytes patch(426, 0x5A);
    page.extract(nibbles({0xF0, 0x42, 0x30, 0x28, 0x40, 0x00, 0x03}, patch), "");
    EXPECT_EQ(page.boxes(), std::vector<std::string>{
                                "ExtractWSClick: Text File Parsing and output not yet implemented for this format"});
    EXPECT_EQ(page.dir.read("untitled.bin"), std::string(patch.begin(), patch.end()));
    EXPECT_EQ(page.records().WSSR_curr_patch_perf_num, 3);

    // A bank numbered above 11 writes its files but has no place in the tables.
    Bytes bank = factory().at(0);
    bank[5] = 12;
    page.extract(bank);
    EXPECT_EQ(page.lines("WS_SR_Perfs_bank12.txt").front(), "Ski Jam        ");
    for (const auto& row : page.records().WSSR_global_perf_name_table)
        for (const std::string& name : row) ASSERT_EQ(name, "");

    TWSSR_perfmap_block map{};
    map.perfmaps[1] = {12, 0};
    map.perfmaps[2] = {0, 200};
    WSSRNameTable names;
    names[0][0] = "Zero";
    const std::string text = WSSR_perfMapText(map, names);
    EXPECT_EQ(text.substr(0, 43), "0,0,0,Zero\r\n1,12,0,\r\n2,0,200,\r\n3,0,0,Zero\r\n");
}

TEST(Wavestation, ShortDumpLeavesWhatItHoldsInDebugFormat)
{
    Page page;
    Bytes sx = factory().at(2);
    sx.resize(1001);  // header, 496 data bytes, two bytes taken as checksum and F7, and F7
    sx.back() = 0xF7;
    page.extract(sx);
    EXPECT_EQ(page.boxes(),
              std::vector<std::string>{
                  "Error: Bulk Extract Overflow: offset: 7, nbytes: 14910. SX length is 1001, needed 29827"});
    const Bytes present = WSSR_unnibble(sx, 6, 496);
    EXPECT_EQ(page.dir.read("debug_format.bin"), std::string(present.begin(), present.end()));
    EXPECT_FALSE(std::filesystem::exists(page.dir.file("dump.bin")));
    EXPECT_FALSE(std::filesystem::exists(page.dir.file("WS_SR_Patchs_bank0.txt")));

    // Every cut of a single-patch message, however short, stops with one box.
    const Bytes patch = nibbles({0xF0, 0x42, 0x30, 0x28, 0x40, 0x00, 0x00}, Bytes(426, 0x11));
    for (std::size_t length = 0; length < 24; ++length) {
        Bytes cut(patch.begin(), patch.begin() + static_cast<std::ptrdiff_t>(length));
        if (length > 0) cut.back() = 0xF7;
        EXPECT_FALSE(Extract_WSSR(page.s, cut));
        ASSERT_EQ(page.boxes().size(), 1u) << length;
    }
}

TEST(Wavestation, LoadMappingReadsBothFilesUntilABadLine)
{
    const struct {
        const char* patch;  // nullptr: no file
        const char* perf;
        std::string box;
        const char* patch00;
        const char* perf11_127;
    } cases[] = {
        {"0 0 Wave Dance\r\n\r\n 1  5 Name Longer Than Sixteen \r\n", "11 127 Last One\n", "", "Wave Dance",
         "Last One"},
        {nullptr, "11 127 Last One\n", "Error: Could not open file WS_SR_Global_Patch.txt: No such file", "", ""},
        {"0 0 Wave Dance\n12 0 Bank Too High\n", "11 127 Last One\n",
         "MIDI: Invalid banknum in WS_SR_Global_Patch.txt file: 12", "Wave Dance", ""},
        {"0 0 Wave Dance\n", "11 127 Last One\n3 128 Too High\n",
         "MIDI: Invalid perfnum in WS_SR_Global_Perf.txt file: 128", "Wave Dance", "Last One"},
    };
    for (const auto& c : cases) {
        Page page;
        if (c.patch) page.dir.write("WS_SR_Global_Patch.txt", std::string(c.patch));
        if (c.perf) page.dir.write("WS_SR_Global_Perf.txt", std::string(c.perf));
        WS_LoadMappingButton(page.s);
        const auto boxes = page.shell.boxes;
        EXPECT_EQ(page.boxes(), c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box})
            << c.patch;
        if (!boxes.empty() && boxes[0].title == "MIDI") {
            EXPECT_EQ(boxes[0].buttons, MsgButtons::OkCancel);
        }
        const WSSRRecords& r = page.records();
        EXPECT_EQ(r.WSSR_global_patch_name_table[0][0], c.patch00) << c.patch;
        EXPECT_EQ(r.WSSR_global_perf_name_table[11][127], c.perf11_127) << c.patch;
        if (c.box.empty()) {
            EXPECT_EQ(r.WSSR_global_patch_name_table[1][5], "Name Longer Than");
        }
    }
}

}  // namespace
}  // namespace tolvex
