// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos vocabulary and message texts: banks, objects, values, effect names
// and parameter changes. Whole messages, and parameters found on the search of
// the other groups, are named in the contract suite (tests/fixtures/kronos).
#include <gtest/gtest.h>

#include <sstream>

#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"

namespace tolvex {
namespace {

Bytes hex(const std::string& text)
{
    Bytes b;
    std::istringstream in(text);
    for (std::string w; in >> w;) b.push_back(static_cast<std::uint8_t>(std::stoi(w, nullptr, 16)));
    return b;
}

TEST(KronosTexts, BanksAndObjects)
{
    const std::string noBank = std::string("-B?") + "?-";  // not a trigraph
    const struct {
        std::string got, want;
    } cases[] = {
        {Kro_Bank_Text(19, 77), "U-GG"},
        {Kro_Bank_Text(1, 71), "Invalid: 71 (47)"},
        {Kro_Bank_Text(0, 5), "I-F"},
        {Kro_Bank_Text(0, 6), "Invalid: 6 (06)"},
        {Kro_Bank_Text(1, 6), "I-G"},  // Korg's seventh internal Combi bank
        {Kro_Bank_Text(0, 25), "Gm:"},
        {Kro_Bank_Text(0, 26), "Gmd"},
        {Kro_Bank_Text(18, 70), "U-G"},
        {Kro_Bank_Text(22, 16), "Gm"},
        {Kro_Bank_Text(4, 1), "Invalid Bank"},
        {Kro_Bank_Text(21, 64), "UA"},
        {Kro_Bank_Text(5, 16), "Invalid: 16 (10)"},
        {Kro_Bank_Text(6, 11), "UL"},
        {Kro_Bank_Text(7, 4), "Invalid Bank"},
        {Kro_Bank_Text(16, 200), "SL:200"},
        {Kro_Bank_Text(3, 0), "??"},
        {Kro_Timbre_Bank_Text(1, 0), noBank},
        {Kro_Timbre_Bank_Text(0, 6), "I-G"},
        {Kro_Timbre_Bank_Text(0, 30), "U-GG"},
        {Kro_Timbre_Bank_Text(0, 16), noBank},
        {Kro_obj_Text2(13, 2), "Set List ??"},
        {Kro_obj_Text6(hex("F0 42 30 68 75 00")), ""},
        {Kro_obj_Text_Generic1(0x2A), " 0x2A"},
        {Kro_Object_Text(23), "Set List Name"},
        {Kro_Object_Text(24), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(KronosTexts, ValuesRepliesAndTimbreStatus)
{
    const struct {
        const char* bytes;
        int v21, v14;
    } values[] = {
        {"7F 7F 7F", -1, 0x3FFF}, {"40 00 00", -1048576, 0x2000}, {"3F 7F 7F", 1048575, 0x1FFF},
        {"00 00 01", 1, 1},       {"00 01 00", 128, 0},           {"01 00 01", 16385, 129},
    };
    for (const auto& v : values) {
        EXPECT_EQ(KorgVal21bit(hex(v.bytes)), v.v21) << v.bytes;
        EXPECT_EQ(KorgVal14bit(hex(v.bytes)), v.v14) << v.bytes;
    }
    EXPECT_EQ(Kro_reply_text(8), "Unspecified Error 8");
    const struct {
        std::uint8_t mfs;
        const char* desc;
        std::uint8_t mapped;  // mfs_map of the same byte, read as a Triton status
    } status[] = {
        {0x30, "(Gchan) Int", 0x10}, {0x45, "2?", 0x05},           {0x00, "Off", 0x20},
        {0x6F, "Ext", 0x6F},         {0x90, "(Gchan) Ext2", 0x90}, {0xE1, "7?", 0x01},
    };
    for (const auto& st : status) {
        EXPECT_EQ(mfs_desc(st.mfs), st.desc) << int(st.mfs);
        EXPECT_EQ(mfs_map(st.mfs), st.mapped) << int(st.mfs);
    }
}

// A message cut short: the step that would read its F7 ends the text there;
// each kind of KARMA control has its own length.
TEST(KronosTexts, TheEndByteOfAShortMessageIsNoField)
{
    const struct {
        const char* msg;
        const char* text;
    } cases[] = {
        {"F0 42 30 68 24 F7", ": Reply "},
        {"F0 42 30 68 24 06 F7", ": Reply paramter value is out of range"},
        {"F0 42 30 68 75 01 F7", ": Current Object Dump "},
        {"F0 42 30 68 75 01 03 F7", ": Current Object Dump Comb V3"},
        {"F0 42 30 68 73 01 00 00 F7", ": Dump "},
        {"F0 42 30 68 72 01 40 00 F7", ": Object Dump Request "},
        {"F0 42 30 68 7F F7", ""},
        {"F0 42 30 68 7F 01 F7", ": Karma Control: Unknown(1)"},
        {"F0 42 30 68 7F 02 00 7F F7", ": Karma Control: Vector Trigger(2), MidiCh 0, v 7F, "},
        {"F0 42 30 68 7F 03 01 02 0A 0B F7", ": Karma Control: Switch Modified State (3), Mod 1, Sc 2, V A B,"},
        {"F0 42 30 68 7F 04 01 02 03 7F F7", ": Karma Control: Slider Modified State(4), Mod 1, Sc 2, Sli 3, Data 7F"},
        {"F0 42 30 68 7F 05 01 02 03 04 F7", ": Karma Control: Module Modified State(5), Mod 1, Data 2 3 4 ..."},
        {"F0 42 30 68 7F 05 01 02 03 F7", ": Karma Control: Unknown(5)"},
    };
    KronosDefs defs;
    for (const auto& c : cases) EXPECT_EQ(KronosFunctionText(hex(c.msg), nullptr, {}, defs), c.text) << c.msg;
}

TEST(KronosTexts, EffectNamesAndParameterChangeForms)
{
    struct {
        KronosDefs defs;
        std::vector<std::string> log;
        NamingLog logger = [this](const std::string& line) { log.push_back(line); };
    } r;
    r.defs.KroEfxNamelist.assign("00100=Stereo Dyna Compressor: Bypass\n00101=Wet/Dry\n00200=No colon here\n");
    EXPECT_EQ(r.defs.Kro_efx_name(2, r.logger), "??");
    EXPECT_EQ(r.defs.Kro_efx_name(3, r.logger), "?");
    EXPECT_EQ(r.defs.Kro_efx_desc(1, 2, r.logger), "?");
    EXPECT_EQ(r.log, (std::vector<std::string>{"Did not Match: 00300in Kro_Efx_Param_Names.txt",
                                               "Did not Match: EFX 001  PID 002 "}));

    const struct {
        const char* msg;
        const char* text;
        const char* shortDesc;  // "" when the form leaves it alone
    } forms[] = {
        {"F0 42 30 68 44 17 00 00 7F 01 02 03 00 01 05 F7", "Fn 44 T 17, S 0, Su 0, P 82, IX 3, v 133",
         "Kronos Param Fn:44 Val 133 (0x85)"},
        {"F0 42 30 68 43 17 00 00 00 00 00 01 F7", "Unsupported format", ""},
    };
    for (const auto& f : forms) {
        std::string shortDesc;
        EXPECT_EQ(KroParamParse(hex(f.msg), &shortDesc, r.logger, r.defs), f.text) << f.msg;
        EXPECT_EQ(shortDesc, f.shortDesc) << f.msg;
    }
}

}  // namespace
}  // namespace tolvex
