// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP replies decoded into the object records, the report of a mode
// the SP does not know, and "SP>File" over several selected entries.
#include "devices/peavey/peavey_sysex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "core/app/session.h"
#include "devices/peavey/peavey_commands.h"
#include "devices/peavey/peavey_names.h"
#include "devices/peavey/peavey_report.h"
#include "support/scripted_shell.h"
#include "support/simulated_sp.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(static_cast<std::uint8_t>(std::stoul(w, nullptr, 16)));
    return out;
}

TEST(PeaveyNibbles, KnownAnswers)
{
    // Numbers travel as nibbles, high first, in the requests below.
    EXPECT_EQ(PV_to_string(0x1FF, 2), hex("0F 0F"));  // the low nibbles only
    EXPECT_EQ(PV_DumpRequest(0x7F, 2, 0x12), hex("F0 00 00 1B 02 05 7F 01 02 00 00 00 02 00 00 01 02 F7"));
    EXPECT_EQ(PV_LoadBankRequest(0x7F, 3, 200), hex("F0 00 00 1B 02 05 7F 30 01 00 00 00 03 00 03 00 00 0C 08 F7"));
    EXPECT_EQ(PV_DirStatusRequest(0x7F, 3), hex("F0 00 00 1B 02 05 7F 12 01 01 03 F7"));
    EXPECT_EQ(PV_BankNameRequest(0x7F), hex("F0 00 00 1B 02 05 7F 11 02 01 00 F7"));

    const struct {
        const char* sx;
        int chars;
        std::string text;
        std::size_t offset;
    } ascii[] = {
        {"04 01 04 02 F7", 2, "AB", 4},
        {"74 31 F7", 1, "A", 2},     // only the low halves count
        {"04 01 04 F7", 2, "A", 2},  // a half character before the F7 is left out
    };
    for (const auto& c : ascii) {
        std::size_t at = 0;
        EXPECT_EQ(PV_extract_ascii(at, c.chars, hex(c.sx)), c.text) << c.sx;
        EXPECT_EQ(at, c.offset) << c.sx;
    }
}

TEST(PeaveyDecode, RepliesAndTheirRefusals)
{
    const Bytes wave = spWave("Piano C4", 0xA0, 22050, 22);
    Bytes truncated = spDumpMessage(0, 0, wave);  // 148 bytes, cut short in transit after 137
    truncated.resize(138);
    truncated.back() = 0xF7;
    const Bytes status = spStatusMessage(0, 1, 0, 0);
    Bytes lengthFFFF = spDumpMessage(0, 0, wave);
    for (std::size_t i = 9; i < 13; ++i) lengthFFFF[i] = 0x0F;
    const struct {
        const char* name;
        Bytes sx;
        int result;
        std::string error;
    } cases[] = {
        // Data byte 3C travels as 03 0C, high half first.
        {"known-answer dump", hex("F0 00 00 1B 02 05 00 02 01 00 00 00 04 00 00 00 07 00 00 03 0C F7"), 201, ""},
        {"list of 40 bytes: 2 entries", spDirListMessage(2, 40, {{0, "Piano Map"}, {1, "Pad Map"}, {2, "Not Counted"}}),
         102, ""},
        {"list declaring 40 entries with 2 present", spDirListMessage(3, 640, {{0, "Grand"}, {1, "Split Pad"}}), 103,
         "Extract Overflow: offset: 81, nibs: 4"},
        {"length FFFF", lengthFFFF, -1, "Dump length 65532 out of range (1-2080)"},
        {"dump of type 9", spDumpMessage(9, 0, wave), -1, ""},
        {"truncated dump", truncated, -1,
         "Bulk Extract Overflow: offset: 20, nbytes: 64. SX length is 138, needed 148"},
        {"truncated status", Bytes(status.begin(), status.begin() + 30), -1, "Extract Overflow: offset: 29, nibs: 4"},
        {"status of type 9", spStatusMessage(9, 1, 0, 0), -1, ""},
        {"five bytes", hex("F0 00 00 1B F7"), -1, "Header does not match currently supported format"},
    };
    for (const auto& c : cases) {
        PeaveyRecords rec;
        std::string error = "stale";
        EXPECT_EQ(PV_Extract_SP_obj(c.sx, rec, error), c.result) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

// The modes the SP knows are in the scripted bank's report, read from the
// command line; the first mode past them shows its number and both layers.
TEST(PeaveyReport, AnUnknownModeShowsBothLayers)
{
    TPV_Bank_Object bank;
    bank.Maps.push_back({"Piano Map     ", true, {}, {}});
    const Bytes record = spPreset("P", 5, 60, 2, -4, {{0, 0, 0, 0}, {128, 0, 0}}, {{0, 0, 0, 0}, {128, 0, 0}});
    bank.Presets.push_back({"P", true, {}});
    std::memcpy(&bank.Presets[0].Data, record.data(), sizeof bank.Presets[0].Data);
    const std::string report = PV_BankReport(bank, 5, "Name");
    EXPECT_NE(report.find(" P mode:        5  Split"), std::string::npos) << report;
    EXPECT_NE(report.find("    Layer B   m1: 0 {Piano Map     }"), std::string::npos) << report;
}

TEST(PeaveySPtoFile, TextsAccumulateAndDumpsGoToBinFiles)
{
    TempDir dir;
    ScriptedShell shell;
    Session s{shell};
    const Bytes wave = spWave("Strings Loop", 0xA0, 88200, 87);
    const struct {
        Bytes sx;
        std::string file;
    } entries[] = {
        {spDirListMessage(1, 32, {{0, "Piano Tone"}, {2, "Strings R"}}), "a.syx"},
        {spDirListMessage(3, 16, {{1, "Split Pad"}}), "b.syx"},
        {spStatusMessage(0, 3, 0, 2), "c.syx"},
        {spDumpMessage(0, 1, wave), "c.syx"},  // beside the status text, which it leaves alone
        {hex("F0 43 00 09 20 00 F7"), "d.syx"},
    };
    for (const auto& e : entries) s.messages.append("entry", e.sx, dir.file(e.file));
    s.messages.selectAll(true);
    PV_SPtoFile(s);

    const std::string tones = "    Tone    0   \"Piano Tone    \"\r\n    Tone    2   \"Strings R     \"\r\n";
    EXPECT_EQ(dir.read("a.txt"), tones);
    EXPECT_EQ(dir.read("b.txt"), tones + "  Preset    1   \"Split Pad     \"\r\n");
    const std::string status = dir.read("c.txt");
    EXPECT_EQ(status.rfind("0       Wave\r\n      format =          1\r\n", 0), 0u) << status;
    EXPECT_NE(status.find("     highobj =          2\r\n   parmbytes =       1024\r\n"), std::string::npos);
    EXPECT_EQ(dir.read("c[Wave].bin"), std::string(wave.begin(), wave.end()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("d.txt")));
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].title, "Error");
    EXPECT_EQ(shell.boxes[0].text, "Header does not match currently supported format");
}

}  // namespace
}  // namespace tolvex
