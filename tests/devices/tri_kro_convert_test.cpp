// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton to Kronos Combi conversion: properties over random Combinations
// packed as real dumps, effect parameters through the map, the value maps'
// edges, and "Conv Triton Combi" without its tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "core/app/controls.h"
#include "core/app/session.h"
#include "core/sysex/bit_field.h"
#include "core/sysex/syx_file.h"
#include "core/text/ini_file.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/kronos/kronos_timbre_copy.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_convert.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "support/scripted_shell.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace kronos;
using testing::TempDir;
using L = TKro_Combi_Layout;
using KT = TTimbre_Params;

// Triton effect 1 becomes Kronos effect 5: its parameter 0 (byte 0) goes
// unchanged to Kronos parameter 1 (byte 3), parameter 1 (byte 1, bits 6-0)
// through selector 28 to parameter 2 (byte 10), parameter 2 has no position
// (width 0). Triton effect 2 names Kronos effect 200, which no slot takes.
struct Tables {
    Tables()
    {
        for (int i = 0; i <= 2; ++i) tri.TriEffectNameList.push_back(format("Tri Effect %d", i));
        std::istringstream map("1,0,8,7,0,5,1,0\n1,1,7,6,1,5,2,28\n1,0,0,0,2,5,3,0\n2,0,8,7,0,200,0,0\n"),
            names("00500=Kro Five: Bypass\n00501=Param One\n00502=Param Two\n01300=Master EQ:\n");
        std::string positions = "5,1,3,8,0\n5,2,10,8,0\n";
        for (int p = 4; p <= 14; ++p) positions += format("13,%d,%d,8,0\n", p, 20 + p);
        std::istringstream pos(positions);
        create_Tri_Kro_Efx_Map_Table(map, tri.efxMap);
        loadKroEfxParamArray(pos, kro.KroEFXParamArray);
        loadNameValueList(names, kro.KroEfxNamelist);
        auto& m = tri.valueMaps;
        for (int i = 0; i < 16; ++i) m.TriCombiCatMapping[i] = i;
        for (int i = 0; i < 13; ++i) m.TriSwitchMapping[i] = i + 1;
        for (int i = 0; i < 98; ++i) m.TriDelayMapping[i] = 300 + 7 * i;
        for (int i = 0; i < 6; ++i) m.TriDrumKitIFXMapping[i] = 1 << i;
        for (int i = 0; i < 14; ++i) m.TriBusSelectMapping[i] = 20 + i;
        for (int i = 0; i < 98; ++i) m.TriKroEfxFcMidMapping[i] = 2 * i;
        m.DefaultKroCombSubCat = 2;
        for (std::size_t i = 0; i < efx.size(); ++i) efx[i] = static_cast<std::uint8_t>(i / 64);
        for (std::size_t i = 0; i < init.size(); ++i) init[i] = static_cast<std::uint8_t>(i * 7);
    }
    TriKroTables tri;
    KronosDefs kro;
    KroDefaultEfxData efx{};
    TKro_Combi init{};
};

// Random field values within the Triton layout: banks 0-23, delay 0-97, bus
// 0-13, drum-kit selectors 0-5, switch assignments 0-12.
triton::Ttri_Combi randomCombi(std::mt19937& rng)
{
    const auto any = [&rng](int n) { return static_cast<std::uint8_t>(rng() % static_cast<unsigned>(n)); };
    Bytes b(sizeof(triton::Ttri_Combi));
    for (auto& x : b) x = any(256);
    const int length = 1 + any(16);
    for (int i = 0; i < 16; ++i)
        b[static_cast<std::size_t>(i)] = i < length ? static_cast<std::uint8_t>(' ' + any(95)) : 0;
    b[218] = static_cast<std::uint8_t>((b[218] & 0xE0) | any(13));
    b[219] = static_cast<std::uint8_t>((b[219] & 0xE0) | any(13));
    for (std::size_t t = 0; t < 8; ++t) {
        std::uint8_t* T = &b[224 + 28 * t];
        T[1] = any(24);
        T[10] = any(98);
        T[16] = any(14);
        const int patch3 = any(6);
        T[15] = static_cast<std::uint8_t>(any(6) | any(6) << 3 | (patch3 & 3) << 6);
        T[14] = static_cast<std::uint8_t>(patch3 >> 2 | any(6) << 1 | any(6) << 4 | (T[14] & 0x80));
    }
    triton::Ttri_Combi c{};
    triton::recordFromBytes(c, b);
    return c;
}

TriKroConvertOutput convert(const Tables& t, const triton::Ttri_Combi& c, bool pass)
{
    static const std::vector<std::string> names;  // no name list: the conversion goes on without
    return Convert_Combi_Triton2Kronos({c, t.init, t.efx, t.tri, t.kro, names, pass, "7"});
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(TriKroConvert, PropertiesOfRandomCombis)
{
    const Tables t;
    std::mt19937 rng(18);
    for (int n = 0; n < 300; ++n) {
        const triton::Ttri_Combi c = randomCombi(rng);
        // Through a real dump and back, as the command takes it.
        triton::Ttri_Combi read{};
        const Bytes dump = testing::tritonDump(3, 0x4D, 2, 0, 0, c);
        triton::recordFromBytes(read, KorgSXtoDataConvert(dump, 8, sizeof c));
        const bool pass = n % 2 == 0;
        const TriKroConvertOutput out = convert(t, read, pass);
        const TKro_Combi& k = out.Kro_Combi;
        SCOPED_TRACE(n);
        const auto nameEnd = std::find(c.Combi_Name.begin(), c.Combi_Name.end(), 0);
        std::string want(c.Combi_Name.begin(), nameEnd);
        want.resize(24, '\0');
        EXPECT_EQ(std::string(k.begin(), k.begin() + 24), want);
        for (int i = 1; i <= 8; ++i) {
            const auto& T = c.Timbre_Group[static_cast<std::size_t>(i - 1)];
            const std::size_t R = L::timbre(i);
            EXPECT_EQ(k[R + KT::Prog_Num], pass ? T.Prog_Num : 1);
            EXPECT_EQ(k[R + KT::Bank_Num], pass ? T.Bank_Num : 1);
            EXPECT_EQ(k[R + KT::MidiChan_Status], mfs_map(T.MidiChan_Status));
            EXPECT_EQ(k[R + KT::DetuneMSB], T.DetuneLSB);
            EXPECT_EQ(k[R + KT::DetuneLSB], T.DetuneMSB);
            const int delay = 300 + 7 * T.DelayStart;
            EXPECT_EQ(k[R + KT::DelayMSB] << 8 | k[R + KT::DelayLSB], delay);
            EXPECT_EQ(k[R + KT::BusSelect], 20 + T.BusSelect);
            // The fields taken over as they are, each at its own place.
            const int x = (T.AssignKnobBits >> 4) & 7;
            const std::pair<std::size_t, int> copied[] = {
                {KT::ExtBankMSB, T.ExtBankMSB},
                {KT::ExtBankLSB, T.ExtBankLSB},
                {KT::Volume, T.Volume},
                {KT::PitchBendRange, T.PitchBendRange},
                {KT::Transpose, T.Transpose},
                {KT::Pan, T.Pan},
                {KT::Send1Level, T.Send1Level},
                {KT::Send2Level, T.Send2Level},
                {KT::FilterBits, T.FilterBits},
                {KT::FilterBits + 1, T.AssignKnobBits & 0x0F},
                {KT::FilterBits + 2, x | (x > 3 ? 8 : 0) | ((T.AssignKnobBits & 0x80) ? 0x10 : 0)},
                {KT::FilterBits + 3, T.OscBits & 0x0F},
                {KT::PortamentoTime, T.PortamentoTime},
                {KT::KeyZoneTop, T.KeyZoneTop},
                {KT::KeyZoneBot, T.KeyZoneBot},
                {KT::KeyZoneSlope, T.KeyZoneSlope},
                {KT::VelZoneTop, T.VelZoneTop},
                {KT::VelZoneBot, T.VelZoneBot},
                {KT::VelZoneSlope, T.VelZoneSlope},
                {KT::VJ5AsnVolCenter, 0},
                {KT::VectorCC, 0},
            };
            for (const auto& [field, value] : copied) EXPECT_EQ(k[R + field], value) << "timbre field " << field;
        }
        for (int i = 9; i <= 16; ++i) {
            const std::size_t R = L::timbre(i);
            EXPECT_EQ(k[R + KT::MidiChan_Status], i - 1);
            EXPECT_EQ(k[R + KT::Volume], 0);
            EXPECT_EQ(k[R + KT::FilterBits + 2], 0x80);
        }
        EXPECT_TRUE(std::equal(k.begin() + 1206, k.begin() + 4790, t.init.begin() + 1206));
        EXPECT_FALSE(contains(out.parse, "Change out of bounds"));
        EXPECT_FALSE(contains(out.parse, "Invalid value"));
        EXPECT_TRUE(out.warnings.empty());
        ASSERT_GE(out.mainLog.size(), 1u);
        EXPECT_EQ(out.mainLog[0], " Triton to Kronos Combi Convert: " + std::string(c.Combi_Name.begin(), nameEnd));
    }
}

// Insert effects 1-3 and master effect 1 of a Combination, each 16 parameter bytes.
triton::Ttri_Combi effectCombi()
{
    triton::Ttri_Combi c{};
    auto& ifx1 = c.Ins_Effect_Group[0].Ins_Effect_Data;
    ifx1[0] = 0xAB;
    ifx1[1] = 0x80 | 55;  // bit 7 is not the parameter's
    ifx1[16] = 1;
    ifx1[17] = 0xC0 | 3;  // on, chained
    ifx1[21] = 0xFA;
    auto& ifx2 = c.Ins_Effect_Group[1].Ins_Effect_Data;
    ifx2[16] = 2;
    ifx2[17] = 0x40;
    c.Ins_Effect_Group[3].Ins_Effect_Data[16] = 9;  // on, beyond the map
    c.Ins_Effect_Group[3].Ins_Effect_Data[17] = 0x40;
    c.Mast_Effect_Params[16] = 1;
    c.Mast_Effect_Params[17] = 0x40;
    c.Mast_Effect_Params[42] = 0x0C;  // chain on, second chain flag
    c.Mast_Effect_Params[44] = 9;     // EQ low gain
    c.Mast_Effect_Params[48] = 0x85;  // EQ mid frequency 5, bit 7 set
    c.Mast_Effect_Params[53] = 0x3F;  // total-effect channel bits
    return c;
}

TEST(TriKroConvert, EffectsThroughTheMap)
{
    const Tables t;
    const TriKroConvertOutput out = convert(t, effectCombi(), true);
    const TKro_Combi& k = out.Kro_Combi;
    const auto field = [&k](std::size_t slot, int ofs, int pos, int width) {
        std::int32_t v = -1;
        GetBitField(ByteView(k).subspan(slot, 64), BFMode::LE, v, ofs, pos, width);
        return v;
    };
    const std::size_t i1 = L::insEffect(1), i2 = L::insEffect(2), i4 = L::insEffect(4), m1 = L::mastEffect(1),
                      tfx = L::totalEffect(1);
    const struct {
        const char* what;
        int got, want;
    } cases[] = {
        {"IFX1 type", k[i1 + 64], 5},
        {"IFX1 pid 1, selector 0", field(i1, 3, 0, 8), 0xAB},
        {"IFX1 pid 2, selector 28", field(i1, 10, 0, 8), 75},
        {"IFX1 untouched default byte", k[i1 + 20], 5},
        {"IFX1 chain to", k[i1 + 66], 2},
        {"IFX1 bus", k[i1 + 69], 2},
        {"IFX2 effect 200 refused", k[i2 + 64], 0},
        {"IFX4 beyond the map", k[i4 + 64], 0},
        {"MFX1 type", k[m1 + 64], 5},
        {"chain direction", k[L::Mast_Effect_Params + 2], 3},
        {"TFX type", k[tfx + 64], 13},
        {"TFX channel", k[tfx + 65], 0x7F},
        {"TFX low gain (pid 6)", field(tfx, 26, 0, 8), 9},
        {"TFX mid Fc (pid 9)", field(tfx, 29, 0, 8), 10},
        {"TFX byte no parameter writes keeps the default data", k[tfx + 35], 13},
        {"master volume", k[L::Total_Effect_MastVol], 100},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
    for (const char* line :
         {"    Tri PID 0 val 171 (0xAB):  Kronos (Param One) NoMap Param 171 (0xAB)\r\n",
          "    Tri PID 1 val  55 (0x37): (Kronos EFXparm: Kpid:2 ofs:10, width:8, bitpos:0, "
          "\"Param Two\") Mapped Kronos Param 75 masked(0x4B)\r\n",
          "Range Error extracting bitfield for Triton IFX 1 (type 1) PID 2\r\n"
          "Parameter Not Mapped: IFX1 , TriEFX 1PID 2\r\n",
          "Kronos EFX Type 200 out of legal range (0 - 185) MappedKroEfxType set to 0 (no effect)\r\n",
          "Triton EFX Type out of legal range (1 - 2): 9 MappedKroEfxType set to 0 (no effect)\r\n",
          "TFX: PID 9  Master EQ Mid Fc (tri: 133) kro: 10 \r\n"})
        EXPECT_TRUE(contains(out.parse, line)) << line;
}

// A value the Kronos parameter cannot hold is never written masked: the
// default stays and the parse file names the value and the parameter.
TEST(TriKroConvert, ValuesTheKronosFieldCannotHold)
{
    Tables t;
    t.tri.efxMap = {};
    t.kro.KroEFXParamArray.clear();
    // Parameter 0: range 0-100 in 7 bits; 1: signed range -50..50 in 7 bits;
    // 2: no range given, a 3-bit Kronos field.
    std::istringstream map("1,0,8,7,0,5,1,0,0,100\n1,1,8,7,1,5,2,0,-50,50\n1,2,4,7,2,5,3,0\n"),
        pos("5,1,3,7,0\n5,2,10,7,0\n5,3,12,3,0\n");
    create_Tri_Kro_Efx_Map_Table(map, t.tri.efxMap);
    loadKroEfxParamArray(pos, t.kro.KroEFXParamArray);
    const struct {
        std::uint8_t p0, p1, p2;
        int want0, want1, want2;  // the 7-, 7- and 3-bit Kronos fields; 5, 5, 5: the default data
        const char* invalid;
        const char* summary;
    } cases[] = {
        {100, 0xF6, 0x70, 100, 0x76, 7, nullptr, "parameters 3 copied, 0 at defaults, 0 invalid"},
        {101, 0xCE, 0x80, 5, 0x4E, 5, "Invalid value 101 for Kro Five: Param One\r\n",
         "parameters 1 copied, 0 at defaults, 2 invalid"},
        {0, 0xCD, 0, 0, 5, 0, "Invalid value -51 for Kro Five: Param Two\r\n",
         "parameters 2 copied, 0 at defaults, 1 invalid"},
    };
    for (const auto& c : cases) {
        triton::Ttri_Combi combi{};
        auto& ifx1 = combi.Ins_Effect_Group[0].Ins_Effect_Data;
        ifx1[0] = c.p0;
        ifx1[1] = c.p1;
        ifx1[2] = c.p2;
        ifx1[16] = 1;
        ifx1[17] = 0x40;
        const TriKroConvertOutput out = convert(t, combi, false);
        const auto field = [&out](int ofs, int width) {
            std::int32_t v = -1;
            GetBitField(ByteView(out.Kro_Combi).subspan(L::insEffect(1), 64), BFMode::LE, v, ofs, 0, width);
            return v;
        };
        SCOPED_TRACE(c.p0);
        EXPECT_EQ(field(3, 7), c.want0);
        EXPECT_EQ(field(10, 7), c.want1);
        EXPECT_EQ(field(12, 3), c.want2);
        if (c.invalid) {
            EXPECT_TRUE(contains(out.parse, c.invalid)) << c.invalid;
        }
        EXPECT_EQ(contains(out.parse, "Invalid value"), c.invalid != nullptr);
        EXPECT_TRUE(contains(out.convertLog, std::string("effects 1 of 1 converted, ") + c.summary + "\r\n"))
            << out.convertLog;
    }
}

// Values the value maps do not cover keep the initial Combi's byte and say so.
TEST(TriKroConvert, ValuesOutsideTheMaps)
{
    const struct {
        const char* what;
        std::size_t triOffset;
        std::uint8_t value;
        std::size_t kroOffset;
        std::string line;
    } cases[] = {
        {"delay", 224 + 10, 98, L::timbre(1) + KT::DelayMSB, "Invalid value for Triton DelayStart 98"},
        {"bus", 224 + 28 + 16, 14, L::timbre(2) + KT::BusSelect, "Invalid value for Triton BusSelect 14"},
        {"switch", 218, 12, L::Common_Params + 6, "Invalid value for Triton Switch 12"},
    };
    Tables t;
    t.tri.valueMaps.TriSwitchMapping[12] = 256;
    for (const auto& c : cases) {
        Bytes b(sizeof(triton::Ttri_Combi), 0);
        b[c.triOffset] = c.value;
        triton::Ttri_Combi combi{};
        triton::recordFromBytes(combi, b);
        const TriKroConvertOutput out = convert(t, combi, false);
        EXPECT_EQ(out.Kro_Combi[c.kroOffset], t.init[c.kroOffset]) << c.what;
        EXPECT_TRUE(contains(out.parse, c.line + "\r\n")) << c.what;
    }
    Bytes b(sizeof(triton::Ttri_Combi), 0);
    b[219] = 13;
    triton::Ttri_Combi combi{};
    triton::recordFromBytes(combi, b);
    EXPECT_EQ(convert(t, combi, false).warnings,
              std::vector<std::string>{"Invalid value for Triton Switch Assignment 13"});
}

// ------------------------------------------------------------ the command

// "Conv Triton Combi" with the templates but not the name list in the program
// folder goes on without the names; without a whole initial Combi or the
// default effect data it stops at its box and adds nothing. The shipped
// tables on Korg's factory Combinations, the kinds of dump and the refusals:
// in tests/cli/triton_run_test.cpp.
TEST(ConvTriCombi, MissingTables)
{
    const TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);  // no user copies of the tables
    const testing::InFolder in(dir.str());
    testing::ScriptedShell shell;
    Session s{shell};
    const std::string bin = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
    KronosUnitStartup(s, bin, false);
    TriKroUnitStartup(s, bin);
    TriKroLoadLists(s, bin);
    ReadTriKroValueMaps(IniFile(""), bin, triKroTables(s).valueMaps, nullptr);
    s.paths.progpath = dir.str();
    s.paths.settingsFolder = dir.str();
    for (const char* file : {kKroInitCombiFile, kKroDefaultEfxDataFile})
        std::filesystem::copy_file(bin + file, dir.file(file));
    s.controls.text.set(ctl::Tri_Gchan, "1");
    s.messages.append("bank", readSyxFile(TOLVEX_FIXTURES_DIR "/korg/triton-factory-combi-bank-a.syx").messages.at(0),
                      "");
    const auto run = [&s](const std::string& prog) {
        s.messages.selectOnly(0);
        s.controls.text.set(ctl::KroProg, prog);
        ConvTriCombiBankClick(s);
    };
    s.log.clear();  // the tables' lines
    run("01");
    ASSERT_EQ(s.messages.count(), 2u);
    const MessageEntry& converted = s.messages.at(1);
    EXPECT_EQ(converted.text, std::string(kTriKroConvertedLabel) + " 01");  // the box's text as typed
    EXPECT_EQ(s.log.line(0), "Error loading Triton Name List: TriProgNameList.txt");
    EXPECT_TRUE(contains(dir.read(kTriKroParseFile), "Prog   0 \"--Bank?--\""));

    dir.write(kKroInitCombiFile, "short");
    run("0");
    std::filesystem::remove(dir.file(kKroDefaultEfxDataFile));
    std::filesystem::copy_file(bin + kKroInitCombiFile, dir.file(kKroInitCombiFile),
                               std::filesystem::copy_options::overwrite_existing);
    run("0");
    EXPECT_EQ(s.messages.count(), 2u);
    ASSERT_EQ(shell.boxes.size(), 2u);
    EXPECT_EQ(shell.boxes[0].text, "Error loading Kronos Init Combi: KroInitCombi.bin");
    EXPECT_EQ(shell.boxes[1].text, "Cannot open file " + dir.str() + kKroDefaultEfxDataFile);
}

}  // namespace
}  // namespace tolvex
