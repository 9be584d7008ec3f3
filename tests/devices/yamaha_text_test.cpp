// SPDX-License-Identifier: GPL-3.0-or-later
// The DX/TX reports on hand-built records and messages: the forms no fixture
// holds (edit buffers, odd modes, names with control bytes or quotes), where
// the files go, and the checksum button.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/app/session.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_text.h"
#include "devices/yamaha_test_util.h"
#include "support/fake_output.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

struct Page {
    ScriptedShell shell;
    Session s{shell};
    std::vector<std::string> boxes() const
    {
        std::vector<std::string> out;
        for (const RecordedBox& b : shell.boxes) out.push_back(b.title + ": " + b.text);
        return out;
    }
    void add(const Bytes& message, const std::string& filename)
    {
        s.messages.append("entry", message, filename);
        s.messages.makeCurrent(s.messages.count() - 1);
    }
};

// A 69-byte DX7II performance edit buffer.
Bytes editBuffer(const DX7iiPerformance& r)
{
    const Bytes body = joined({textBytes(DX7ii_PerfBufID), Bytes(r.begin(), r.end())});
    return joined({{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x3D}, body, {yamahaChecksum(body), 0xF7}});
}

// A name as records hold it: 20 characters, blank-padded.
std::string pad20(const std::string& name)
{
    return name + std::string(20 - name.size(), ' ');
}

std::string blanks(std::size_t n)
{
    return std::string(n, ' ');
}

DX7iiPerformance dx7iiRecord(std::uint8_t mode, std::uint8_t a, std::uint8_t b, const std::string& name)
{
    DX7iiPerformance r{};
    r[dx7ii::kMode] = mode;
    r[dx7ii::kVoiceA] = a;
    r[dx7ii::kVoiceB] = b;
    r[dx7ii::kSplitPoint] = 60;
    r[dx7ii::kBalance] = 45;
    r[dx7ii::kVolume] = 99;
    const std::string padded = pad20(name);
    std::copy(padded.begin(), padded.end(), r.begin() + dx7ii::kName);
    return r;
}

TEST(YamahaText, VoiceNumbersAndThePcedPacking)
{
    const std::pair<int, const char*> voices[] = {{0, "I 1"},   {63, "I64"},  {64, "C 1"},
                                                  {127, "C64"}, {128, "A 1"}, {255, "B64"}};
    for (const auto& [z, text] : voices) EXPECT_EQ(TX802VoiceBankXlate(z), text) << z;

    TX802Pced p{};
    for (std::size_t k = 0; k < 12; ++k)
        for (std::size_t t = 0; t < 8; ++t) p[8 * k + t] = static_cast<std::uint8_t>(k * 10 + t);
    std::copy_n("Twenty Char Name 123", 20, p.begin() + kPcedName);
    const TX802Performance m = TX802_PCED_to_PMEM(p);
    // Tone generator 3: offset 3, receive channel 13, voice 23, MTT 113, volume 43,
    // detune 33 and output channel 53, limits 63 and 73, note shift 83 with parameter 93.
    EXPECT_EQ(m[3], (3 * 32 + (13 & 31)) & 0xFF);
    EXPECT_EQ(m[8 + 3], 23);
    EXPECT_EQ(m[16 + 3], 113);
    EXPECT_EQ(m[24 + 3], 43);
    EXPECT_EQ(m[32 + 3], (33 * 8 + (53 & 7)) & 0xFF);
    EXPECT_EQ(m[40 + 3], 63);
    EXPECT_EQ(m[48 + 3], 73);
    EXPECT_EQ(m[56 + 3], (93 * 64 + (83 & 63)) & 0xFF);
    EXPECT_EQ(std::string(m.begin() + kPmemName, m.end()), "Twenty Char Name 123");
}

TEST(YamahaText, DX7iiLinesForEveryModeAndName)
{
    YamahaTables t;
    t.YamPerfMapping[5].VoiceName = "E.PIANO 1 ";
    t.YamPerfMapping[70].VoiceName = "Line\nFeed";
    const struct {
        const char* name;
        DX7iiPerformance record;
        std::string txt;
    } cases[] = {
        {"single: no voice B", dx7iiRecord(0, 5, 70, "Solo\x01Piano"),
         pad20("Solo?Piano") + " Single A INT 6 " + blanks(11) + "(E.PIANO 1 )" + blanks(31) +
             "Spl: 60 Bal: -5 Vol:  99  \r\n"},
        {"dual with a cartridge voice", dx7iiRecord(1, 5, 70, "Dual"),
         pad20("Dual") + " Dual   A INT 6 " + blanks(11) + "(E.PIANO 1 )B CRT 7 " + blanks(12) + "(Line?Feed)" +
             "Spl: 60 Bal: -5 Vol:  99  \r\n"},
        {"a mode without a name", dx7iiRecord(3, 0, 127, "Odd"),
         pad20("Odd") + " Mod  3 A INT 1 " + blanks(23) + "B CRT64 " + blanks(23) + "Spl: 60 Bal: -5 Vol:  99  \r\n"},
    };
    for (const auto& c : cases) {
        t.DX7iiPerfEditBuf = c.record;
        EXPECT_EQ(dx7iiEditBufText(t), c.txt) << c.name;
    }

    // In the bank: a single performance's voice B keeps its CSV value but gets no reference.
    t.DX7iiPackedPerf[0] = dx7iiRecord(0, 5, 70, "Solo\x01Piano");
    t.DX7iiPackedPerf[1] = dx7iiRecord(127, 5, 5, "Both On One Voice");
    const YamahaReport r = dx7iiBankReport(t);
    const std::string csv = "DX7II Performance Bank\r\n\"" + pad20("Solo\x01Piano") + "\",   0,  5, 70,  0,";
    EXPECT_EQ(r.csv.substr(0, csv.size()), csv);
    EXPECT_EQ(r.lst.substr(0, r.lst.find("\r\n")), " 1 " + pad20("Solo?Piano") + " Single A (INT 6 E.PIANO 1 ) ");
    const std::string second = " 2 " + pad20("Both On One Voice") + " Mod127 A (INT";
    EXPECT_EQ(r.lst.substr(r.lst.find("\r\n") + 2, second.size()), second);
    EXPECT_EQ(t.YamPerfMapping[70].References.size(), 0u);
    EXPECT_EQ(t.YamPerfMapping[5].References,
              (std::set<std::string>{"  1_" + pad20("Solo\x01Piano"), "  2_" + pad20("Both On One Voice")}));
    EXPECT_NE(r.map.find("I 6 E.PIANO 1  Used by:   1_" + pad20("Solo?Piano") + "   2_" + pad20("Both On One Voice") +
                         " \r\n"),
              std::string::npos);
}

TEST(YamahaText, TX802ToneGeneratorsThatFollowAnEarlierOneAddNothing)
{
    YamahaTables t;
    TX802Performance& p = t.TX802PMEM[9];
    for (std::size_t tg = 0; tg < 8; ++tg) {
        p[tg] = static_cast<std::uint8_t>(((tg < 2 ? tg : 1) << 5) | 3);  // TG2-7 play with TG1
        p[8 + tg] = static_cast<std::uint8_t>(200 + tg);
    }
    p[8 + 1] = 200;  // the same voice on two tone generators
    std::copy_n("Two \"Quoted\" Layers ", 20, p.begin() + kPmemName);
    const YamahaReport r = tx802BankReport(t);
    const std::size_t at = r.txt.find("p10 ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.txt.substr(at, r.txt.find("  TG3", at) - at),
              "p10 Two \"Quoted\" Layers  \r\n"
              "  TG0 Vofs:0 Rch: 3 B 9 MTT:  0 Vol:  0  Detn: 0 k:0 Outch: 0 NLMTL: 0 NLMTH: 0 NShft: 0 \r\n"
              "  TG1 Vofs:1 Rch: 3 B 9 MTT:  0 Vol:  0  Detn: 0 k:0 Outch: 0 NLMTL: 0 NLMTH: 0 NShft: 0 \r\n"
              "  TG2   ^^^^\r\n");
    EXPECT_EQ(t.YamPerfMapping[200].References, std::set<std::string>{" 10_Two \"Quoted\" Layers "});
    for (int v = 202; v < 208; ++v) EXPECT_TRUE(t.YamPerfMapping[static_cast<std::size_t>(v)].References.empty());
    EXPECT_NE(r.csv.find("\r\n\"Two \"\"Quoted\"\" Layers \",    3, 35, 35, 35, 35, 35, 35, 35,  200,200,202,"),
              std::string::npos);
}

TEST(YamahaCommands, EditBuffersGoToFilesBesideTheirEntry)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("sets.2024"));
    Page page;
    page.s.families.records<YamahaTables>().YamPerfMapping[5].VoiceName = "E.PIANO 1 ";
    const DX7iiPerformance eb = dx7iiRecord(2, 5, 64, "Split\nBass");
    page.add(editBuffer(eb), dir.file("sets.2024/split"));
    Yam_ConvDX7peb(page.s);
    EXPECT_EQ(page.boxes(), std::vector<std::string>{});
    EXPECT_EQ(dir.read("sets.2024/split.bin"), std::string(eb.begin(), eb.end()));
    EXPECT_EQ(dir.read("sets.2024/split.txt"), pad20("Split?Bass") + " Split  A INT 6 " + blanks(11) +
                                                   "(E.PIANO 1 )B CRT 1 " + blanks(23) +
                                                   "Spl: 60 Bal: -5 Vol:  99  \r\n");

    TX802Pced pced{};
    pced[16] = 129;  // TG0 plays A 2
    pced[8] = 16;
    pced[8 * 11] = 3;
    const std::string name = pad20("Say \"Hello\"");
    std::copy(name.begin(), name.end(), pced.begin() + kPcedName);
    pced[1] = 0;  // TG1 plays with TG0
    for (std::size_t tg = 1; tg < 8; ++tg) pced[tg] = 0;
    page.add(TX802PCEDtoSysex(0, pced), dir.file("say.syx"));
    Yam_ConvTX802p(page.s);
    EXPECT_EQ(page.boxes(), std::vector<std::string>{"Warning: Warning - embedded double-quote in name"});
    EXPECT_EQ(dir.read("say.bin"), std::string(pced.begin(), pced.end()));
    const std::string txt = dir.read("say.txt");
    EXPECT_EQ(txt.substr(0, txt.find("  TG2")),
              name + " \r\n" +
                  "  TG0 Vofs:0 Rch:16 A 2 Detn: 0 Vol:  0  Outch: 0 NLMTL: 0 NLMTH: 0 NShft: 0 MTT:  3 \r\n"
                  "  TG1   ^^^^\r\n");
    EXPECT_EQ(txt.substr(txt.size() - 15), "\r\n\r\ncksum: 91\r\n");  // 129 + 16 + 3 + ... of bytes 0-83
    EXPECT_EQ(dir.read("say.lst"), name + "  (0: A 2 ) \r\n");
    // The quotes of the name are doubled in its quoted CSV field.
    const std::string csv = "TX 802 Single Performance\r\n\"Say \"\"Hello\"\"         \",   16,  0,  0,";
    EXPECT_EQ(dir.read("say.csv").substr(0, csv.size()), csv);

    // An entry without a file (received from the instrument) writes "untitled" in the current folder.
    {
        const testing::InFolder in(dir.str());
        page.add(editBuffer(eb), "");
        Yam_ConvDX7peb(page.s);
    }
    EXPECT_EQ(dir.read("untitled.bin"), std::string(eb.begin(), eb.end()));
    EXPECT_EQ(dir.read("untitled.txt"), dir.read("sets.2024/split.txt"));
}

TEST(YamahaCommands, CheckColoursItsButtonWithTheLastVerdict)
{
    Page page;
    const Bytes good = yamahaFixture("dx7-rom1a.syx").at(0);
    const Bytes bad = yamahaFixture("dx7s-bank-wrong-checksum.syx").at(0);
    FakeOutput out;
    page.s.midi.MIDI_Out_Present = true;
    page.s.midi.midiOutput = &out;
    page.add(good, "");
    page.add(bad, "");
    page.s.messages.selectAll(true);
    CheckSumCheckClick(page.s);
    EXPECT_EQ(page.s.controls.textColor.get("CheckSumCheck"), "red");
    page.s.messages.setSelected(1, false);
    CheckSumCheckClick(page.s);
    EXPECT_EQ(page.s.controls.textColor.get("CheckSumCheck"), "green");
    EXPECT_TRUE(out.sent.empty());
}

}  // namespace
}  // namespace tolvex
