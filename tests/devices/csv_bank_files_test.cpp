// SPDX-License-Identifier: GPL-3.0-or-later
// CSV bank files: every refusal with its box, the tables left alone by a
// refused file, and Open CSV appending only what was read.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "core/app/controls.h"
#include "devices/csv_bank_files.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_text.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::ScriptedShell;
using testing::TempDir;

std::string values(int count, int value)
{
    std::string out;
    for (int i = 0; i < count; ++i) out += (i ? "," : "") + std::to_string(value);
    return out;
}

// A performance row as the exports write it: quoted name, comma, blank, values.
std::string perfRow(const std::string& rest, const std::string& name = "A Name              ")
{
    return "\"" + name + "\", " + rest + "\r\n";
}

std::string mapRows(int count)
{
    std::string out;
    for (int k = 0; k < count; ++k) out += std::to_string(k) + "," + std::to_string(k % 12) + ",5  \r\n";
    return out;
}

// A file is read exactly or refused with its box; a value never shifts, and a
// refused file changes no table, also when its first rows were good.
TEST(CsvBankFiles, ReadsExactlyOrRefusesWithItsBox)
{
    const std::string dx7 = "DX7II Performance Bank\r\n", tx = "TX802 Performance Bank\r\n",
                      map = "WS SR Performance Map\r\n", vals = "12," + values(30, 3);
    const struct {
        std::string content;
        std::string name;  // the first performance's name when read
        std::string title = {}, text = {};
    } cases[] = {
        // Rows another program wrote.
        {dx7 + "\"Short\"," + vals, "Short               "},
        {dx7 + "Unquoted Name," + vals, "Unquoted Name       "},
        {dx7 + "\"Raw \"quote\" here    \", " + vals, "Raw \"quote\" here    "},
        {dx7 + "\"Spreadsheet Name    \" ,  " + vals, "", "MIDI",
         "CSV row format error: \"Spreadsheet Name    \" ,  " + vals},
        {dx7 + "\"A name far too long to be one\"," + vals, "", "MIDI",
         "CSV row format error: \"A name far too long to be one\"," + vals},
        // Files it cannot build.
        {"dx7ii performance bank\r\n", "", "MIDI", "Unknown CSV file type: dx7ii performance bank"},
        // What the file holds is quoted with its control bytes escaped, never raw to a terminal.
        {"My\x1B[2J\x1B[31mBank\r\n", "", "MIDI", "Unknown CSV file type: My\\x1B[2J\\x1B[31mBank"},
        {dx7 + "\"Short\x1B]0;x\x07\", 1\r\n", "", "MIDI", "CSV row too short: \"Short\\x1B]0;x\\x07\", 1"},
        {dx7 + perfRow(values(30, 1) + ",1\x1B"), "", "MIDI", "Invalid numeric data in CSV file: 1\\x1B"},
        {"\r\nDX7II Performance Bank\r\n", "", "MIDI", "Unknown CSV file type: the first line is blank"},
        {"  DX7II Voice Bank\r\n", "", "Error", "Unimplemented CSV Type 4"},
        {dx7 + perfRow(values(30, 1) + ",128"), "", "MIDI", "Value out of range in CSV file: 128"},
        {dx7 + perfRow(values(30, 1) + ",x"), "", "MIDI", "Invalid numeric data in CSV file: x"},
        {dx7 + perfRow(values(30, 1)), "", "MIDI", "Invalid numeric data in CSV file: "},
        {dx7 + perfRow(values(31, 1), "Bad \xC1 name          "), "", "MIDI",
         "Value out of range in CSV file: Bad \\xC1 name          "},
        {dx7 + "\"Short\", 1\r\n", "", "MIDI", "CSV row too short: \"Short\", 1"},
        {[&] {
             std::string s = dx7;
             for (int k = 0; k < 33; ++k) s += perfRow(values(31, 1));
             return s;
         }(),
         "", "MIDI", "Too many rows in CSV file: 33"},
        {tx + perfRow(values(63, 255) + ",256"), "", "MIDI", "Value out of range in CSV file: 256"},
        {map + "1,0,5\r\n", "", "Error", "Non-sequential numeric data in CSV file: item 1"},
        {map + "x,0,5\r\n", "", "Error", "Invalid pval numeric data in CSV file: x"},
        {map + "0,b,5\r\n", "", "Error", "Invalid m_bank numeric data in CSV file: b"},
        {map + "0,1\r\n", "", "Error", "Invalid m_perf numeric data in CSV file: "},
        {map + "0,256,5\r\n", "", "MIDI", "Value out of range in CSV file: 256"},
        {map + mapRows(129), "", "MIDI", "Too many rows in CSV file: 129"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 80));
        YamahaTables yamaha;
        yamaha.DX7iiPackedPerf[0].fill(9);
        yamaha.TX802PMEM[0].fill(9);
        WSSRRecords ws;
        ws.WSSR_PerfMapSRExpanded.perfmaps[0] = {7, 7};
        const YamahaTables before = yamaha;
        try {
            parseCsvBank(c.content + "\r\n", 0, yamaha, ws);
            const DX7iiPerformance& r = yamaha.DX7iiPackedPerf[0];
            EXPECT_EQ(std::string(r.begin() + dx7ii::kName, r.end()), c.name);
            EXPECT_EQ(r[0], 12);
            EXPECT_EQ(r[30], 3);
            continue;
        } catch (const CsvBankError& e) {
            EXPECT_EQ(e.title, c.title);
            EXPECT_EQ(std::string(e.what()), c.text);
        }
        EXPECT_EQ(yamaha.DX7iiPackedPerf, before.DX7iiPackedPerf);
        EXPECT_EQ(yamaha.TX802PMEM, before.TX802PMEM);
        EXPECT_EQ(ws.WSSR_PerfMapSRExpanded.perfmaps[0].Perfmap_Bank, 7);
    }
}

// What the exports write, Open CSV reads back: every byte a name can hold, at
// its start, in its middle and at its end, comes back as it was.
TEST(CsvBankFiles, ExportedNamesComeBackByteForByte)
{
    std::vector<std::uint8_t> awkward;
    for (int b = 0; b < 0x20; ++b) awkward.push_back(static_cast<std::uint8_t>(b));
    for (std::uint8_t b : {0x22, 0x2C, 0x7F}) awkward.push_back(b);
    for (std::uint8_t b : awkward) {
        YamahaTables t;
        for (std::size_t p = 0; p < 32; ++p) {
            DX7iiPerformance& r = t.DX7iiPackedPerf[p];
            for (std::size_t j = 0; j < dx7ii::kParameters; ++j) r[j] = static_cast<std::uint8_t>((p * 7 + j) % 128);
            std::fill_n(r.begin() + dx7ii::kName, kNameLength, std::uint8_t('a' + p % 26));
            r[dx7ii::kName + (p % 3 == 0 ? 0 : p % 3 == 1 ? 9 : 19)] = b;
        }
        for (std::size_t p = 0; p < 64; ++p) {
            TX802Performance& r = t.TX802PMEM[p];
            for (std::size_t j = 0; j < kPmemName; ++j) r[j] = static_cast<std::uint8_t>(p * 5 + j * 3);
            std::fill_n(r.begin() + kPmemName, kNameLength, std::uint8_t('A' + p % 26));
            r[kPmemName + p % kNameLength] = b;
        }
        const YamahaTables exported = t;
        const YamahaReport dx7 = dx7iiBankReport(t), tx = tx802BankReport(t);
        YamahaTables back;
        WSSRRecords ws;
        EXPECT_EQ(parseCsvBank(dx7.csv, 0, back, ws).message, DX7iiPerftoSysex(0, exported.DX7iiPackedPerf)) << int(b);
        EXPECT_EQ(parseCsvBank(tx.csv, 0, back, ws).message, TX802PMEMtoSysex(0, exported.TX802PMEM)) << int(b);
        EXPECT_EQ(back.DX7iiPackedPerf, exported.DX7iiPackedPerf) << int(b);
        EXPECT_EQ(back.TX802PMEM, exported.TX802PMEM) << int(b);
    }
}

// A map of fewer rows still builds its message: the rows the file lacks keep their entries.
TEST(CsvBankFiles, OpenCsvAppendsOnlyWhatItRead)
{
    TempDir dir;
    const testing::InFolder in(dir.str());
    const std::string good = dir.write("map.csv", "  WS SR Performance Map \t\n" + mapRows(127));
    const std::string empty = dir.write("empty.csv", "");
    // A million rows: refused after the first MiB, never read whole.
    std::string rows = "WS SR Performance Map\n";
    for (int k = 0; k < 1000000; ++k) rows += "0,1,2\n";
    const std::string huge = dir.write("huge.csv", rows);
    const std::string fewerRows = "Warning: Warning: CSV file should contain 128 rows, but had only 127";
    const struct {
        std::string channel, file;
        std::string box;  // "" for none
        bool read;
    } cases[] = {
        {"256", good, "MIDI: Channel must be 0-255", false},
        {"0", dir.file("missing.csv"), "MIDI: Could not open file " + dir.file("missing.csv") + ": No such file",
         false},
        {"0", dir.str(), "MIDI: Could not open file " + dir.str() + ": Is a folder", false},
        // A refusal of what the file holds names the file.
        {"0", empty, "MIDI: " + empty + ": The file is empty: no CSV file type", false},
        {"0", huge, "MIDI: " + huge + ": Too many rows in CSV file: more than *", false},
        {"255", good, fewerRows, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        ScriptedShell shell;
        Session s(shell);
        TWSSR_perfmap_block& map = s.families.records<WSSRRecords>().WSSR_PerfMapSRExpanded;
        map.perfmaps[127] = {3, 44};
        s.controls.text.set(ctl::Channel, c.channel);
        shell.openAnswers.push_back({c.file});
        OpenCSVfileMenuClick(s);
        EXPECT_EQ(s.paths.lastpath, dir.str());
        ASSERT_EQ(shell.boxes.size(), 1u);
        const std::string box = shell.boxes[0].title + ": " + shell.boxes[0].text;
        if (c.box.back() == '*') {
            EXPECT_EQ(box.substr(0, c.box.size() - 1), c.box.substr(0, c.box.size() - 1));
        } else {
            EXPECT_EQ(box, c.box);
        }
        EXPECT_FALSE(std::filesystem::exists(kCsvPackedPerfFile));
        if (!c.read) {
            EXPECT_EQ(s.messages.count(), 0u);
            EXPECT_EQ(s.log.count(), 0);
            continue;
        }
        ASSERT_EQ(s.messages.count(), 1u);
        EXPECT_EQ(s.messages.textAt(0), "WS SR Performance Map (CSV)");
        EXPECT_EQ(s.messages.at(0).storage->filename, dir.file("CSV_map.csv"));
        EXPECT_EQ(s.messages.at(0).storage->sxdata, WSSR_PerfMaptoSysex(map, 0x0F));
        EXPECT_EQ(s.messages.at(0).storage->sxdata[2], 0x3F);
        EXPECT_EQ(s.log.line(s.log.count() - 1), "Loaded CSV WS SR Performance Map");
        EXPECT_EQ(map.perfmaps[126].Perfmap_Bank, 126 % 12);
        EXPECT_EQ(map.perfmaps[127].Perfmap_Prog, 44);
    }
}

// The side file CSV-DX7iiPackedPerf.bin never blocks the read: a folder that
// cannot take it (here a "folder" that is a file, which holds even for root)
// is logged and the bank loads.
TEST(CsvBankFiles, TheSideFileNeverBlocksTheRead)
{
    TempDir dir;
    const std::string csv = dir.write("perf.csv", "DX7II Performance Bank\n" + perfRow(values(31, 1)));
    const std::string blocked = dir.write("not-a-folder", "x") + "/";
    const std::pair<std::string, std::string> cases[] = {
        {dir.str(), "Wrote " + dir.file(kCsvPackedPerfFile)},
        {blocked, "Could not create " + blocked + kCsvPackedPerfFile},
    };
    for (const auto& [folder, line] : cases) {
        ScriptedShell shell;
        Session s(shell);
        s.paths.diagnosticsFolder = folder;
        s.controls.text.set(ctl::Channel, "0");
        const std::optional<CsvFileRead> read = ReadCSVfile(s, csv);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->description, "DX7II Performance Bank");
        EXPECT_TRUE(shell.boxes.empty());
        EXPECT_FALSE(read->message.empty());
        EXPECT_EQ(s.log.lines(), std::deque<std::string>{line});
    }
    EXPECT_EQ(dir.read(kCsvPackedPerfFile).size(), 1632u);
}

}  // namespace
}  // namespace tolvex
