// SPDX-License-Identifier: GPL-3.0-or-later
// The Yamaha bulk dump formats and the DX/TX reports on hand-built messages and
// records: building back, the refusals, the checksum traces, the forms no fixture
// holds (edit buffers, odd modes, names with control bytes or quotes), where the
// files go, and the checksum button. The real dumps go through the contract
// suite and the command-line tests.
#include <gtest/gtest.h>

#include <functional>

#include "core/app/session.h"
#include "core/sysex/syx_file.h"
#include "core/text/text_utils.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha/yamaha_text.h"
#include "support/fake_output.h"
#include "support/scripted_shell.h"
#include "support/simulated_yamaha.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;

// The messages of a fixture file, as Open Sysex reads them.
std::vector<Bytes> yamahaFixture(const std::string& name)
{
    return readSyxFile(std::string(TOLVEX_FIXTURES_DIR) + "/yamaha/" + name).messages;
}

// What an unpacker throws, as "TITLE: text", or "" when it unpacks.
std::string stopOf(const std::function<void()>& unpack)
{
    try {
        unpack();
    } catch (const YamahaError& e) {
        return e.title + ": " + e.what();
    }
    return "";
}

// Known answers, so that a builder and an unpacker cannot share one mistake
// (the real banks unpack and pack back in the contract suite).
TEST(YamahaFormats, BuildersWriteTheDocumentedBytes)
{
    TX802Pced pced{};
    for (std::size_t i = 0; i < pced.size(); ++i) pced[i] = static_cast<std::uint8_t>(i);
    const Bytes p = TX802PCEDtoSysex(0x13, pced);
    ASSERT_EQ(p.size(), kTX802PcedLength);
    EXPECT_EQ(hexLine(ByteView(p).first(16)), "F0 43 03 7E 01 68 4C 4D 20 20 38 39 35 32 50 45 ");
    EXPECT_EQ(std::string(p.begin() + 16, p.begin() + 56), "000102030405060708090A0B0C0D0E0F10111213");
    EXPECT_EQ(std::string(p.begin() + 242, p.begin() + 248), "717273");
    EXPECT_EQ(hexLine(ByteView(p).last(2)), "5A F7 ");
    TX802Pced back{};
    ExtractTX802PCED(p, back);
    EXPECT_EQ(back, pced);

    // The simulated instruments answer through the same requests, so these need known answers.
    EXPECT_EQ(hexLine(MakeDumpReq(DumpFormat::VEB, 3)), "F0 43 23 00 F7 ");
    EXPECT_EQ(hexLine(MakeDumpReq(DumpFormat::PEB, 3)), "F0 43 23 7E 4C 4D 20 20 38 39 37 33 50 45 F7 ");  // LM  8973PE

    // Covered bytes that sum to a multiple of 128 carry checksum 0, and unpack.
    std::array<DX7iiPerformance, 32> perfs{};
    perfs[0][0] = 128 - 0x51;  // sum of "LM  8973PM" is 0x2D1
    const Bytes zeroSum = DX7iiPerftoSysex(0, perfs);
    EXPECT_EQ(zeroSum[1648], 0);
    std::array<DX7iiPerformance, 32> perfsBack{};
    EXPECT_EQ(stopOf([&] { ExtractDX7iiPerfBank(zeroSum, perfsBack); }), "");
}

TEST(YamahaFormats, DamagedTruncatedAndForeignInputIsRefused)
{
    const Bytes rom = yamahaFixture("dx7-rom1a.syx").at(0);
    const Bytes bank = yamahaFixture("dx7ii-performance-bank-a.syx").at(0);
    const Bytes pced = TX802PCEDtoSysex(0, {});
    const Bytes voice = yamahaFixture("dx7-single-voice-keybd01.syx").at(0);
    auto with = [](Bytes m, std::size_t at, std::uint8_t value) {
        m.at(at) = value;
        return m;
    };
    auto cut = [](const Bytes& m, std::size_t length) { return Bytes(m.begin(), m.begin() + length); };
    enum Kind { Vmem, Vced, Bank, Pced };
    const struct {
        const char* name;
        Kind kind;
        Bytes message;
        std::string stop;
    } cases[] = {
        // Every device number passes the header tests (the bank headers share one).
        {"bank on device 15", Vmem, with(rom, 2, 0x0F), ""},
        {"voice on device 15", Vced, with(voice, 2, 0x0F), ""},
        {"voice header", Vced, {0xF0, 0x43, 0x00, 0x09, 0xF7}, "Error: Header does not match VCED format"},
        {"voice byte above 7F", Vced, with(voice, 10, 0x80),
         "Error: Invalid data >7F : Protocol Error in DX Sysex\nx: 4, i: 11"},
        {"voice checksum", Vced, with(voice, 161, voice[161] ^ 1),
         format("Error: Checksum error in DX Sysex\ncalculated: %X   file: %X ", voice[161], voice[161] ^ 1)},
        // A byte above 7F: the F7 of a bank cut short is read as data.
        {"bank cut short with its F7 kept", Bank, with(cut(bank, 1001), 1000, 0xF7),
         "Error: Invalid data >7F : Protocol Error in DX Sysex\nx: 15 p: 19, i: 1001"},
        // Each digit of a byte is checked: the data's hex pairs start at byte 16.
        {"lower-case hex, first digit", Pced, with(pced, 20, 'a'),
         "Error: Invalid data: Protocol Error in TX802 Sysex"},
        {"lower-case hex, second digit", Pced, with(pced, 21, 'a'),
         "Error: Invalid data: Protocol Error in TX802 Sysex"},
        {"not hex, second digit", Pced, with(pced, 17, 'G'), "Error: Invalid data: Protocol Error in TX802 Sysex"},
        {"PCED without checksum", Pced, cut(pced, 249), "Error: Index overflow: Protocol Error in TX802 Sysex"},
    };
    for (const auto& c : cases) {
        YamahaTables t;
        const std::string stop = stopOf([&] {
            switch (c.kind) {
            case Vmem: ExtractDXTX_VMEM(c.message, t.DXTX_VMEM); break;
            case Vced: ExtractDX7iiVoiceEditBuf(c.message, t.DXTX_VCED); break;
            case Bank: ExtractDX7iiPerfBank(c.message, t.DX7iiPackedPerf); break;
            case Pced: ExtractTX802PCED(c.message, t.TX802PCED); break;
            }
        });
        EXPECT_EQ(stop, c.stop) << c.name;
    }
}

TEST(YamahaFormats, TX802ChecksumsAreTracedNotEnforced)
{
    Bytes tx802 = yamahaFixture("tx802-performance-bank.syx").at(0);
    tx802[4 + 7 * 181 + 180] = static_cast<std::uint8_t>(tx802[4 + 7 * 181 + 180] - 2);
    YamahaTables t;
    std::vector<std::string> trace;
    ExtractTX802PMEM(tx802, t.TX802PMEM, [&](const std::string& l) { trace.push_back(l); });
    ASSERT_EQ(trace.size(), 64u);
    EXPECT_EQ(trace[1], "Perf 1, chksum in file: 23  calculated: 23, dif: 0");
    EXPECT_EQ(trace[7].substr(trace[7].size() - 15), ", dif: FFFFFFFE");
    std::array<TX802Performance, 64> intact{};
    ExtractTX802PMEM(yamahaFixture("tx802-performance-bank.syx").at(0), intact);
    EXPECT_EQ(t.TX802PMEM, intact);  // unpacked completely all the same
}

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

// The modes the real banks hold are in their reviewed reports; this edit
// buffer has a mode they do not know and the last cartridge voice, and the
// PCED below sets every field of tone generator 0.
TEST(YamahaCommands, EditBuffersGoToFilesBesideTheirEntry)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("sets.2024"));
    Page page;
    page.s.families.records<YamahaTables>().YamPerfMapping[5].VoiceName = "E.PIANO 1 ";
    const DX7iiPerformance eb = dx7iiRecord(3, 5, 127, "Odd\nMode");
    page.add(dx7iiPerfEditBufDump(0, eb), dir.file("sets.2024/odd"));
    Yam_ConvDX7peb(page.s);
    EXPECT_EQ(page.boxes(), std::vector<std::string>{});
    EXPECT_EQ(dir.read("sets.2024/odd.bin"), std::string(eb.begin(), eb.end()));
    EXPECT_EQ(dir.read("sets.2024/odd.txt"), pad20("Odd?Mode") + " Mod  3 A INT 6 " + blanks(11) +
                                                 "(E.PIANO 1 )B CRT64 " + blanks(23) +
                                                 "Spl: 60 Bal: -5 Vol:  99  \r\n");

    // Parameters 0-11 of tone generator 0 (voice 129 is A 2); the others play with it.
    TX802Pced pced{};
    const std::uint8_t tg0[] = {1, 16, 129, 5, 77, 2, 10, 100, 14, 1, 0, 3};
    for (std::size_t k = 0; k < std::size(tg0); ++k) pced[8 * k] = tg0[k];
    const std::string name = pad20("Say \"Hello\"");
    std::copy(name.begin(), name.end(), pced.begin() + kPcedName);
    page.add(TX802PCEDtoSysex(0, pced), dir.file("say.syx"));
    Yam_ConvTX802p(page.s);
    EXPECT_EQ(page.boxes(), std::vector<std::string>{"Warning: Warning - embedded double-quote in name"});
    EXPECT_EQ(dir.read("say.bin"), std::string(pced.begin(), pced.end()));
    const std::string txt = dir.read("say.txt");
    EXPECT_EQ(txt.substr(0, txt.find("  TG2")),
              name + " \r\n" +
                  "  TG0 Vofs:1 Rch:16 A 2 Detn: 5 Vol: 77  Outch: 2 NLMTL:10 NLMTH:100 NShft:14 MTT:  3 \r\n"
                  "  TG1   ^^^^\r\n");
    EXPECT_EQ(txt.substr(txt.size() - 15), "\r\n\r\ncksum: 63\r\n");  // 1 + 16 + 129 + ... of bytes 0-83
    EXPECT_EQ(dir.read("say.lst"), name + "  (0: A 2 ) \r\n");
    // The CSV holds the record packed as in a bank, parameter group by group: offset 1 * 32 +
    // channel 16, voice, MTT, volume, detune 5 * 8 + output 2, limits, flag 1 * 64 + shift 14.
    std::string groups;
    for (int v : {48, 129, 3, 77, 42, 10, 100, 78}) groups += format("%5d,", v) + "  0,  0,  0,  0,  0,  0,  0,";
    EXPECT_EQ(dir.read("say.csv"), "TX 802 Single Performance\r\n\"Say \"\"Hello\"\"         \"," + groups + "\r\n");

    // An entry without a file (received from the instrument) writes "untitled" in the current folder.
    {
        const testing::InFolder in(dir.str());
        page.add(dx7iiPerfEditBufDump(0, eb), "");
        Yam_ConvDX7peb(page.s);
    }
    EXPECT_EQ(dir.read("untitled.bin"), std::string(eb.begin(), eb.end()));
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
