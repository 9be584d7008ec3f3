// SPDX-License-Identifier: GPL-3.0-or-later
// The Yamaha bulk dump formats on real dumps and hand-built messages: unpacking,
// building back, the checksum check and the dump requests the remote reads send.
#include <gtest/gtest.h>

#include <functional>

#include "devices/yamaha/yamaha_formats.h"
#include "devices/yamaha_test_util.h"

namespace tolvex {
namespace {

using namespace testing;

// A TX802 performance edit buffer of the given record, built by hand.
Bytes pcedMessage(const TX802Pced& record, std::uint8_t device = 0)
{
    std::string chars;
    for (std::uint8_t b : record) chars += format("%02X", b);
    const Bytes body = textBytes(TX802_PerfBufID + chars);
    return joined({{0xF0, 0x43, device, 0x7E, 0x01, 0x68}, body, {yamahaChecksum(body), 0xF7}});
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

// The real banks unpack and pack back in the contract suite; the edit buffers
// no fixture holds go through here.
TEST(YamahaFormats, EditBuffersUnpackWhatTheBuildersWrite)
{
    TX802Pced pced{};
    for (std::size_t i = 0; i < pced.size(); ++i) pced[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const Bytes built = TX802PCEDtoSysex(0x15, pced);
    EXPECT_EQ(built, pcedMessage(pced, 0x05));
    TX802Pced back{};
    ExtractTX802PCED(built, back);
    EXPECT_EQ(back, pced);

    DX7iiPerformance eb{};
    for (std::size_t i = 0; i < eb.size(); ++i) eb[i] = static_cast<std::uint8_t>(i + 70);
    const Bytes body = joined({textBytes(DX7ii_PerfBufID), Bytes(eb.begin(), eb.end())});
    const Bytes ebMessage = joined({{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x3D}, body, {yamahaChecksum(body), 0xF7}});
    DX7iiPerformance ebBack{};
    ExtractDX7iiPerfEditBuf(ebMessage, ebBack);
    EXPECT_EQ(ebBack, eb);
}

// Known answers, so that a builder and an unpacker cannot share one mistake.
TEST(YamahaFormats, BuildersWriteTheDocumentedBytes)
{
    TX802Pced pced{};
    for (std::size_t i = 0; i < pced.size(); ++i) pced[i] = static_cast<std::uint8_t>(i);
    const Bytes p = TX802PCEDtoSysex(3, pced);
    ASSERT_EQ(p.size(), kTX802PcedLength);
    EXPECT_EQ(hexOf(ByteView(p).first(16)), "F0 43 03 7E 01 68 4C 4D 20 20 38 39 35 32 50 45");
    EXPECT_EQ(std::string(p.begin() + 16, p.begin() + 56), "000102030405060708090A0B0C0D0E0F10111213");
    EXPECT_EQ(std::string(p.begin() + 242, p.begin() + 248), "717273");
    EXPECT_EQ(hexOf(ByteView(p).last(2)), "5A F7");

    const Bytes zeroPced = TX802PCEDtoSysex(0, TX802Pced{});
    EXPECT_EQ(hexOf(ByteView(zeroPced).last(2)), "3A F7");

    // The simulated instruments answer through the same requests, so these need known answers.
    EXPECT_EQ(hexOf(MakeDumpReq(DumpFormat::VEB, 3)), "F0 43 23 00 F7");
    EXPECT_EQ(hexOf(MakeDumpReq(DumpFormat::PEB, 3)), "F0 43 23 7E 4C 4D 20 20 38 39 37 33 50 45 F7");  // LM  8973PE

    // Covered bytes that sum to a multiple of 128 carry checksum 0, and unpack.
    std::array<DX7iiPerformance, 32> perfs{};
    perfs[0][0] = 128 - 0x51;  // sum of "LM  8973PM" is 0x2D1
    const Bytes zeroSum = DX7iiPerftoSysex(0, perfs);
    EXPECT_EQ(zeroSum[1648], 0);
    std::array<DX7iiPerformance, 32> back{};
    EXPECT_EQ(stopOf([&] { ExtractDX7iiPerfBank(zeroSum, back); }), "");
}

TEST(YamahaFormats, EveryDeviceNumberPassesTheHeaderTest)
{
    const Bytes rom = yamahaFixture("dx7-rom1a.syx").at(0);
    const Bytes voice = yamahaFixture("dx7-single-voice-keybd01.syx").at(0);
    const Bytes bank = yamahaFixture("dx7ii-performance-bank-a.syx").at(0);
    const Bytes tx802 = yamahaFixture("tx802-performance-bank.syx").at(0);
    YamahaTables t;
    for (std::uint8_t n = 0; n < 16; ++n) {
        auto on = [n](Bytes m) {
            m[2] = n;
            return m;
        };
        EXPECT_EQ(stopOf([&] { ExtractDXTX_VMEM(on(rom), t.DXTX_VMEM); }), "") << int(n);
        EXPECT_EQ(stopOf([&] { ExtractDX7iiVoiceEditBuf(on(voice), t.DXTX_VCED); }), "") << int(n);
        EXPECT_EQ(stopOf([&] { ExtractDX7iiPerfBank(on(bank), t.DX7iiPackedPerf); }), "") << int(n);
        EXPECT_EQ(stopOf([&] { ExtractTX802PMEM(on(tx802), t.TX802PMEM); }), "") << int(n);
        EXPECT_EQ(stopOf([&] { ExtractTX802PCED(pcedMessage({}, n), t.TX802PCED); }), "") << int(n);
    }
    EXPECT_EQ(std::string(t.DXTX_VCED.begin() + 145, t.DXTX_VCED.end()), "KEYBD 01  ");
}

TEST(YamahaFormats, DamagedTruncatedAndForeignInputIsRefused)
{
    const Bytes bank = yamahaFixture("dx7ii-performance-bank-a.syx").at(0);
    const Bytes tx802 = yamahaFixture("tx802-performance-bank.syx").at(0);
    const Bytes pced = pcedMessage({});
    const Bytes voice = yamahaFixture("dx7-single-voice-keybd01.syx").at(0);
    auto with = [](Bytes m, std::size_t at, std::uint8_t value) {
        m.at(at) = value;
        return m;
    };
    auto cut = [](const Bytes& m, std::size_t length) { return Bytes(m.begin(), m.begin() + length); };
    enum Kind { Vmem, Vced, Bank, Pced, Pmem };
    const struct {
        const char* name;
        Kind kind;
        Bytes message;
        std::string stop;
    } cases[] = {
        {"bank without checksum", Vmem, yamahaFixture("dx7-bank-missing-checksum.syx").at(0),
         "ExtractTX802VMEM Error: Index overflow: Protocol Error in TX802 Sysex"},
        {"no checksum test in a bank", Vmem, yamahaFixture("dx7s-bank-wrong-checksum.syx").at(0), ""},
        {"empty", Vmem, {}, "Error: Header does not match VMEM format"},
        {"header alone",
         Vmem,
         {0xF0, 0x43, 0x00, 0x09, 0x20, 0x00},
         "ExtractTX802VMEM Error: Index overflow: Protocol Error in TX802 Sysex"},
        {"voice header", Vced, {0xF0, 0x43, 0x00, 0x09, 0xF7}, "Error: Header does not match VCED format"},
        {"voice byte above 7F", Vced, with(voice, 10, 0x80),
         "Error: Invalid data >7F : Protocol Error in DX Sysex\nx: 4, i: 11"},
        {"voice checksum", Vced, with(voice, 161, voice[161] ^ 1),
         format("Error: Checksum error in DX Sysex\ncalculated: %X   file: %X ", voice[161], voice[161] ^ 1)},
        {"bank byte above 7F", Bank, with(bank, 16 + 51 * 2 + 5, 0xF7),
         "Error: Invalid data >7F : Protocol Error in DX Sysex\nx: 5 p: 2, i: 124"},
        {"bank cut short with its F7 kept", Bank, joined({cut(bank, 1000), {0xF7}}),
         "Error: Invalid data >7F : Protocol Error in DX Sysex\nx: 15 p: 19, i: 1001"},
        {"bank checksum", Bank, with(bank, 1648, 0x11),
         format("Error: Checksum error in DX Sysex\ncalculated: %X   file: 11 ", bank[1648])},
        {"bank of a TX802", Bank, tx802, "Error: Header does not match DX7-II Packed Performance (LM  8973PM) format"},
        {"lower-case hex", Pced, with(pced, 20, 'a'), "Error: Invalid data: Protocol Error in TX802 Sysex"},
        {"PCED without checksum", Pced, cut(pced, 249), "Error: Index overflow: Protocol Error in TX802 Sysex"},
        {"PCED identifier", Pced, with(pced, 15, 'M'), "Error: Header does not match TX802PCED format"},
        {"PMEM of a PCED", Pmem, pced, "Error: Header does not match TX802PMEM format"},
        {"PMEM junk character", Pmem, with(tx802, 4 + 63 * 181 + 100, 'G'),
         "Error: Invalid data: Protocol Error in TX802 Sysex"},
    };
    for (const auto& c : cases) {
        YamahaTables t;
        const std::string stop = stopOf([&] {
            switch (c.kind) {
            case Vmem: ExtractDXTX_VMEM(c.message, t.DXTX_VMEM); break;
            case Vced: ExtractDX7iiVoiceEditBuf(c.message, t.DXTX_VCED); break;
            case Bank: ExtractDX7iiPerfBank(c.message, t.DX7iiPackedPerf); break;
            case Pced: ExtractTX802PCED(c.message, t.TX802PCED); break;
            case Pmem: ExtractTX802PMEM(c.message, t.TX802PMEM); break;
            }
        });
        EXPECT_EQ(stop, c.stop) << c.name;
    }
}

TEST(YamahaFormats, TX802ChecksumsAreTracedNotEnforced)
{
    Bytes tx802 = yamahaFixture("tx802-performance-bank.syx").at(0);
    tx802[4 + 2 * 181 + 180] = static_cast<std::uint8_t>(tx802[4 + 2 * 181 + 180] + 3);
    tx802[4 + 7 * 181 + 180] = static_cast<std::uint8_t>(tx802[4 + 7 * 181 + 180] - 2);
    YamahaTables t;
    std::vector<std::string> trace;
    ExtractTX802PMEM(tx802, t.TX802PMEM, [&](const std::string& l) { trace.push_back(l); });
    ASSERT_EQ(trace.size(), 64u);
    EXPECT_EQ(trace[1], "Perf 1, chksum in file: 23  calculated: 23, dif: 0");
    EXPECT_EQ(trace[2], format("Perf 2, chksum in file: %X  calculated: %X, dif: 3", tx802[4 + 2 * 181 + 180],
                               tx802[4 + 2 * 181 + 180] - 3));
    EXPECT_EQ(trace[7].substr(trace[7].size() - 15), ", dif: FFFFFFFE");
    std::array<TX802Performance, 64> intact{};
    ExtractTX802PMEM(yamahaFixture("tx802-performance-bank.syx").at(0), intact);
    EXPECT_EQ(t.TX802PMEM, intact);  // unpacked completely all the same

    TX802Pced record{};
    Bytes pced = pcedMessage(record);
    pced[248] = 0x00;  // the right checksum is 3A
    std::vector<std::string> one;
    ExtractTX802PCED(pced, t.TX802PCED, [&](const std::string& l) { one.push_back(l); });
    EXPECT_EQ(one, std::vector<std::string>{"Chksum in file: 0  calculated: 3A, dif: FFFFFFC6"});
}

// A DX7II cartridge dump as the instrument sends it: F0 43 0n 7E, then `blocks`
// blocks of count (two 7-bit halves of identifier + data), identifier, data
// bytes 0-127 and the block's checksum, then F7.
Bytes cartridgeDump(const char* id, std::size_t blocks, std::size_t dataLength)
{
    Bytes m{0xF0, 0x43, 0x05, 0x7E};
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t count = 10 + dataLength;
        m.push_back(static_cast<std::uint8_t>(count >> 7));
        m.push_back(static_cast<std::uint8_t>(count & 0x7F));
        Bytes body = textBytes(id);
        for (std::size_t i = 0; i < dataLength; ++i) body.push_back(static_cast<std::uint8_t>((b * 37 + i * 11) % 128));
        m.insert(m.end(), body.begin(), body.end());
        m.push_back(yamahaChecksum(body));
    }
    m.push_back(0xF7);
    return m;
}

TEST(YamahaFormats, ChecksumCheckOfEveryKindOfDump)
{
    Bytes tx802 = yamahaFixture("tx802-performance-bank.syx").at(0);
    Bytes badBlock = tx802;
    badBlock[4 + 5 * 181 + 180] ^= 0x01;
    // Fractional scaling: 32 blocks of 505 bytes; micro tuning: 64 blocks of 269.
    const Bytes fksyc = cartridgeDump("LM  FKSYC ", 32, 492);
    const Bytes mcryc = cartridgeDump("LM  MCRYC ", 64, 256);
    ASSERT_EQ(fksyc.size(), 4u + 32 * 505 + 1);
    ASSERT_EQ(std::vector<std::uint8_t>(fksyc.begin() + 4, fksyc.begin() + 6), (std::vector<std::uint8_t>{0x03, 0x76}));
    Bytes fksycBad = fksyc;
    fksycBad[4 + 17 * 505 + 504] ^= 0x02;
    // Bytes that only look like a multi-block dump (another count) are checked as one message.
    Bytes otherCount = mcryc;
    otherCount[5] = 0x0B;
    const struct {
        const char* name;
        Bytes message;
        bool ok;
        std::string detail;
    } cases[] = {
        {"DX7 bank", yamahaFixture("dx7-rom1a.syx").at(0), true, "is 33, should be 33"},
        {"wrong stored checksum", yamahaFixture("dx7s-bank-wrong-checksum.syx").at(0), false, "is 2B, should be 1E"},
        {"DX7II bank", yamahaFixture("dx7ii-performance-bank-a.syx").at(0), true, ""},
        {"TX802 bank", tx802, true, ""},
        {"TX802 bank, block 5 bad", badBlock, false,
         format("block 5 is %X, should be %X", badBlock[4 + 5 * 181 + 180], tx802[4 + 5 * 181 + 180])},
        {"TX802 bank cut in block 9", Bytes(tx802.begin(), tx802.begin() + 4 + 9 * 181 + 50), false,
         "block 9 is incomplete"},
        {"DX7II fractional scaling cartridge", fksyc, true, ""},
        {"fractional scaling, block 17 bad", fksycBad, false,
         format("block 17 is %X, should be %X", fksycBad[4 + 17 * 505 + 504], fksyc[4 + 17 * 505 + 504])},
        {"DX7II micro tuning cartridge", mcryc, true, ""},
        {"micro tuning cut in block 63", Bytes(mcryc.begin(), mcryc.end() - 2), false, "block 63 is incomplete"},
        {"another count", otherCount, false,
         format("is %X, should be %X", otherCount[otherCount.size() - 2],
                yamahaChecksum(ByteView(otherCount).subspan(6, otherCount.size() - 8)))},
        {"empty", {}, false, "message too short"},
        {"one byte", {0xF0}, false, "message too short"},
        {"seven bytes", {0xF0, 0x43, 0x10, 0x00, 0x69, 0x28, 0xF7}, false, "message too short"},
        {"eight bytes", {0xF0, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7}, true, "is 0, should be 0"},
    };
    for (const auto& c : cases) {
        std::string detail = "unset";
        EXPECT_EQ(DX7VerifyCheckSum(c.message, detail), c.ok) << c.name;
        if (!c.detail.empty() || !c.ok) {
            EXPECT_EQ(detail, c.detail) << c.name;
        }
    }
}

}  // namespace
}  // namespace tolvex
