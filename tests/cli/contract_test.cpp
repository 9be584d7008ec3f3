// SPDX-License-Identifier: GPL-3.0-or-later
// What every device family must do with real dumps, from the fixtures and the
// facts file beside each (FIXTURE.facts): every message is named as the facts
// say; where the family packs, unpacking and packing again gives the message
// byte for byte; every cut of a message gives the family's error and no
// crash; junk is refused.
//
// A facts file holds one line per fact, fields separated by tabs:
//   N LENGTH NAME   message N (from 1) is LENGTH bytes and named NAME
//   packs N         message N unpacks and packs back byte for byte
//   cut N FROM TEXT message N cut to FROM bytes or more gives an error starting
//                   with TEXT (up to the FROM of its next cut line); every
//                   message with cut lines has one from 0, and every cut of
//                   it gives an error
#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <functional>
#include <sstream>

#include "cli/cli.h"
#include "core/sysex/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "devices/yamaha/yamaha_formats.h"
#include "support/run_tool.h"

namespace tolvex {
namespace {

const std::string kFixtures = std::string(TOLVEX_FIXTURES_DIR) + "/";

// A family's byte-level codec: unpack throws TolvexError on anything it
// cannot read and returns the message packed again (or nothing where the
// family does not pack that message).
struct Family {
    std::string name;
    std::vector<std::string> fixtures;
    std::function<std::optional<Bytes>(ByteView)> unpackPack;
};

std::ostream& operator<<(std::ostream& out, const Family& f)
{
    return out << f.name;
}

struct Facts {
    std::vector<std::string> names;  // "N<TAB>LENGTH<TAB>NAME" as `tolvex-cli names` prints them
    std::vector<std::size_t> packs;
    struct Cut {
        std::size_t message, from;
        std::string text;
    };
    std::vector<Cut> cuts;
};

Facts factsOf(const std::string& fixture)
{
    Facts f;
    std::ifstream in(kFixtures + fixture.substr(0, fixture.rfind('.')) + ".facts");
    EXPECT_TRUE(in) << fixture << " has no facts file";
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string first, second, rest;
        std::getline(fields, first, '\t');
        std::getline(fields, second, '\t');
        std::getline(fields, rest);
        if (first == "packs")
            f.packs.push_back(std::stoul(second));
        else if (first == "cut")
            f.cuts.push_back({std::stoul(second), std::stoul(rest), rest.substr(rest.find('\t') + 1)});
        else if (!first.empty() && first[0] != '#')
            f.names.push_back(line);
    }
    return f;
}

// Korg 7-bit packed records behind a header of `offset` bytes.
std::optional<Bytes> korgPacked(ByteView sx, std::size_t offset, std::size_t length)
{
    Bytes data(length);
    KroUnpack(sx, offset, data);
    return KorgDatatoSXConvert(sx.first(offset), data);
}

std::optional<Bytes> yamaha(ByteView sx)
{
    if (sx.size() > 4 && sx[3] == 0x09) {
        static std::array<PackedVoice, 32> voices;
        ExtractDXTX_VMEM(sx, voices);
        return std::nullopt;  // voice banks are read, never written
    }
    const bool lm = sx.size() >= 16 && sx[0] == 0xF0 && sx[1] == 0x43 && (sx[2] & 0xF0) == 0 && sx[3] == 0x7E;
    const std::string id = lm ? std::string(sx.begin() + 6, sx.begin() + 16) : "";
    if (id == DX7ii_PackedPerfID) {
        std::array<DX7iiPerformance, 32> bank{};
        ExtractDX7iiPerfBank(sx, bank);
        return DX7iiPerftoSysex(sx[2] & 0x0F, bank);
    }
    if (id == TX802_PackedPerfID) {
        std::array<TX802Performance, 64> bank{};
        ExtractTX802PMEM(sx, bank);
        return TX802PMEMtoSysex(sx[2] & 0x0F, bank);
    }
    throw TolvexError("not a Yamaha bank");
}

std::optional<Bytes> triton(ByteView sx)
{
    if (sx.size() < 8 || sx[0] != 0xF0 || sx[1] != 0x42 || (sx[2] & 0xF0) != 0x30 || sx[3] != 0x50)
        throw TolvexError("not a Triton dump");
    switch (sx[4]) {
    case 0x49 /* current Combination */: return korgPacked(sx, 6, 448);
    case 0x4C /* Program dump */: return korgPacked(sx, 8, (sx[6] & 0x30) == 0x20 ? 540 : 540 * 128);
    case 0x4D /* Combination dump */: return korgPacked(sx, 8, (sx[6] & 0x30) == 0x20 ? 448 : 448 * 128);
    default: throw TolvexError("not a Triton dump");
    }
}

std::optional<Bytes> kronos(ByteView sx)
{
    const std::uint8_t function = Verify_Kro_Combi(sx);
    if (function != 0x73 && function != 0x75) throw TolvexError("not a Kronos Combi");
    return korgPacked(sx, function == 0x75 ? kKroCurrentCombiOffset : kKroCombiDumpOffset, sizeof(kronos::TKro_Combi));
}

std::optional<Bytes> wavestation(ByteView sx)
{
    if (!WSSR_format(sx)) throw TolvexError("Sysex header does not match currently supported format");
    return std::nullopt;
}

std::optional<Bytes> namedOnly(ByteView)
{
    throw TolvexError("no family reads it");
}

class Contract : public ::testing::TestWithParam<Family> {};

TEST_P(Contract, FixturesNamedPackedCutAndJunk)
{
    const Family& family = GetParam();
    for (const std::string& fixture : family.fixtures) {
        const Facts facts = factsOf(fixture);
        std::ostringstream out, err;
        const std::vector<Bytes> messages = testing::messagesInFile(kFixtures + fixture);
        // A fixture cut short (no end byte F7) is named, and names says it is not whole.
        const bool cut = std::any_of(messages.begin(), messages.end(), [](const Bytes& m) { return m.back() != 0xF7; });
        ASSERT_EQ(runCli({"names", kFixtures + fixture}, out, err, {}, false), cut ? 1 : 0) << err.str();
        std::vector<std::string> named;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)  // FILE N LENGTH NAME SUPPLEMENT
            named.push_back(line.substr(line.find('\t') + 1, line.rfind('\t') - line.find('\t') - 1));
        EXPECT_EQ(named, facts.names) << fixture;

        for (std::size_t n : facts.packs) {
            ASSERT_LE(n, messages.size()) << fixture;
            const std::optional<Bytes> again = family.unpackPack(messages[n - 1]);
            ASSERT_TRUE(again) << fixture << " " << n;
            EXPECT_TRUE(*again == messages[n - 1]) << fixture << " message " << n << " packs differently";
        }
        for (const Facts::Cut& c : facts.cuts) {
            if (c.from != 0) continue;  // each message once, from its first cut line
            const Bytes& whole = messages.at(c.message - 1);
            for (std::size_t length = 0; length < whole.size();
                 length = std::min(length + 1 + length / 16, std::max(length + 1, whole.size() - 2))) {
                std::string want;  // the text of the last cut line of this message reached by `length`
                for (const Facts::Cut& d : facts.cuts)
                    if (d.message == c.message && d.from <= length) want = d.text;
                try {
                    family.unpackPack(ByteView(whole).first(length));
                    ADD_FAILURE() << fixture << " message " << c.message << " cut to " << length << " was read";
                } catch (const TolvexError& e) {
                    EXPECT_EQ(std::string(e.what()).substr(0, want.size()), want) << fixture << " cut to " << length;
                }
            }
        }
    }
    // Junk: nothing, a lone F0, text, and another maker's dump.
    for (const Bytes& junk : {Bytes{}, Bytes{0xF0}, Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0xF7},
                              Bytes{0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, Bytes(300, 0xF0)})
        EXPECT_THROW(family.unpackPack(junk), TolvexError) << junk.size();
}

INSTANTIATE_TEST_SUITE_P(
    Families, Contract,
    ::testing::Values(Family{"Yamaha",
                             {"yamaha/dx7-rom1a.syx", "yamaha/dx7ii-performance-bank-a.syx",
                              "yamaha/tx802-performance-bank.syx", "yamaha/dx7-single-voice-keybd01.syx",
                              "yamaha/dx7-parameter-changes.syx", "yamaha/tx802-voice-bank-with-amem.syx",
                              "yamaha/dx7-bank-truncated-no-f7.syx", "yamaha/dx7-bank-missing-checksum.syx"},
                             yamaha},
                      Family{"Triton",
                             {"korg/triton-one-program.syx", "korg/triton-factory-combi-bank-a.syx",
                              "korg/triton-factory-combi-current.syx"},
                             triton},
                      Family{"Kronos", {"kronos/kronos-messages.syx"}, kronos},
                      Family{"Wavestation", {"korg/wavestation-factory.syx"}, wavestation},
                      Family{"NamedOnly", {"ensoniq/vfx-all-programs.syx", "korg/03rw-program-bank.syx"}, namedOnly}),
    [](const ::testing::TestParamInfo<Family>& p) { return p.param.name; });

}  // namespace
}  // namespace tolvex
