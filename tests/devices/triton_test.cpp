// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton page: timbre status texts, the effect value maps,
// the name lists of all-banks dumps and the effect parse (end to end against a
// simulated Triton in tests/cli/triton_run_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <sstream>

#include "core/app/session.h"
#include "core/sysex/syx_file.h"
#include "core/text/text_utils.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_efx_parse.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "devices/triton2kronos/tri_kro_xmap.h"
#include "support/scripted_shell.h"
#include "support/simulated_triton.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using namespace testing;
using triton::Ttri_Combi;
using triton::Ttri_ProgramPCM_allbanks;

const std::string kOneProgram = std::string(TOLVEX_FIXTURES_DIR) + "/korg/triton-one-program.syx";

// Runs the test in a folder of its own (the tools write to the current folder)
// with its own settings folder.
struct Workspace {
    Workspace() { setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1); }
    TempDir dir;
    InFolder in{dir.str()};
};

std::vector<std::string> lines(const std::string& text, const std::string& end)
{
    std::vector<std::string> out;
    for (std::size_t at = 0, next; at < text.size(); at = next + end.size()) {
        next = text.find(end, at);
        if (next == std::string::npos) next = text.size();
        out.push_back(text.substr(at, next - at));
    }
    return out;
}

template <std::size_t N>
void setName(std::array<std::uint8_t, 16>& field, const char (&text)[N])
{
    static_assert(N - 1 <= 16);
    field.fill(0);
    std::copy(text, text + N - 1, field.begin());
}

// The timbre status byte: bank kind in bits 7-5, global channel in bit 4,
// MIDI channel (shown from 1) in bits 3-0.
TEST(Triton, TimbreStatusTexts)
{
    const std::pair<std::uint8_t, const char*> timbres[] = {{0x00, "INT- 1 "}, {0x10, "INT- 1g"}, {0x2F, "Off-16 "},
                                                            {0x65, "EXT- 6 "}, {0x80, "EX2- 1 "}, {0x40, "?st? 1 "},
                                                            {0xFF, "?st?16g"}};
    for (const auto& [mfid, text] : timbres) EXPECT_EQ(mfs(mfid), text) << int(mfid);
}

TEST(TriKroXmap, EverySelectorAtItsBoundaries)
{
    const int kErr = -1000;  // the expected result is an error
    const struct {
        int selector, width, in, out;
    } cases[] = {
        {0, 8, -5, -5},        {1, 8, 31, 37},       {1, 8, 32, kErr},     {2, 8, 4, 4},         {2, 8, 5, kErr},
        {3, 8, 0, kErr},       {4, 8, 0, 1},         {4, 8, 3, 3},         {4, 8, 4, kErr},      {5, 7, 0x3F, 126},
        {5, 7, 0x40, -128},    {5, 8, 64, kErr},     {5, 7, 128, kErr},    {6, 8, 127, 254},     {6, 8, 128, kErr},
        {7, 8, 255, 1275},     {7, 9, 256, kErr},    {8, 8, 39, 3999},     {8, 8, 40, 4000},     {8, 8, 240, 24000},
        {8, 8, 241, kErr},     {9, 8, 7, 9},         {9, 8, 8, kErr},      {10, 8, 31, 32},      {10, 8, 32, kErr},
        {11, 9, 0x110, -240},  {11, 9, 240, 240},    {11, 9, 241, kErr},   {11, 9, 0x10F, kErr}, {12, 9, 0x106, -250},
        {12, 9, 0x105, kErr},  {12, 9, 251, kErr},   {13, 8, 59, 495},     {13, 8, 60, kErr},    {14, 8, 1, 0},
        {14, 8, 2, 2},         {14, 8, 63, 97},      {14, 8, 64, kErr},    {15, 8, 55, 195},     {15, 8, 56, kErr},
        {16, 4, 0xB, 0},       {16, 4, 0x5, 10},     {16, 4, 0x6, kErr},   {16, 4, 0xA, kErr},   {17, 8, 190, 190},
        {17, 8, 191, kErr},    {18, 11, 1360, 1360}, {18, 11, 1361, kErr}, {19, 4, 15, 95},      {19, 5, 16, kErr},
        {20, 8, 63, 103},      {20, 8, 64, kErr},    {21, 8, 115, 115},    {21, 8, 116, kErr},   {22, 8, 123, 6800},
        {22, 8, 124, kErr},    {23, 8, 25, 100},     {23, 8, 26, kErr},    {24, 8, 1, 0},        {24, 8, 63, 62},
        {24, 8, 64, kErr},     {25, 8, 138, 6800},   {25, 8, 139, kErr},   {26, 6, 0x20, -39},   {26, 6, 0x1F, 24},
        {26, 7, 0x20, kErr},   {26, 7, 0x60, -39},   {27, 8, 55, 55},      {27, 8, 56, kErr},    {28, 7, 50, 50},
        {28, 7, 51, 55},       {28, 7, 60, 100},     {28, 7, 61, 100},     {28, 7, 100, 120},    {28, 7, 101, 121},
        {28, 7, 127, 147},     {28, 8, 128, kErr},   {29, 12, 2730, 2730}, {29, 12, 2731, kErr}, {30, 14, 13600, 13600},
        {30, 14, 13601, kErr}, {31, 8, 6800, 13600}, {31, 8, 16384, kErr}, {32, 8, 0, kErr},

    };
    for (const auto& c : cases) {
        std::int32_t err = 99;
        const std::int32_t got = TriKroXmap(c.in, c.width, c.selector, err);
        EXPECT_EQ(err, c.out == kErr ? 1 : 0) << "selector " << c.selector << " with " << c.in;
        EXPECT_EQ(got, c.out == kErr ? 0 : c.out) << "selector " << c.selector << " with " << c.in;
    }
}

// A Triton that holds an all-banks set of Programs: names padded with blanks
// as the instrument pads them, with the forms a list must get right.
std::unique_ptr<Ttri_ProgramPCM_allbanks> programs()
{
    auto p = std::make_unique<Ttri_ProgramPCM_allbanks>();
    for (std::size_t b = 0; b < 12; ++b)
        for (std::size_t r = 0; r < 128; ++r) {
            const std::string name = format("%s %-10zu", tri_prog_banknames[b], r);
            std::copy(name.begin(), name.end(), (*p)[b][r].Prog_Name.begin());
            (*p)[b][r].Ins_Effect_Group[0].Ins_Effect_Data.fill('Q');  // right after the name
        }
    setName((*p)[0][0].Prog_Name, "Piano");
    setName((*p)[0][1].Prog_Name, "ABCDEFGHIJKLMNOP");
    setName((*p)[3][5].Prog_Name, "\x01Tab\tName\r\n");
    return p;
}

// The list of Programs (the Combinations' list is written by the same code),
// and the messages refused before anything is written.
TEST(TritonNames, ListsOfAllBanksDumps)
{
    Workspace w;
    const auto p = programs();
    Bytes all = tritonDump(5, 0x4C, 3, 0, 0, *p);
    all[6] = 0x33;  // requested for bank 3: the bank number is ignored like the channel
    const struct {
        const char* name;
        Bytes message;
        std::string box;
    } refused[] = {
        {"one real program", readSyxFile(kOneProgram).messages.at(0), "Message is not Triton Program"},
        {"no end byte", Bytes(all.begin(), all.end() - 1), "Message too short: 947940 bytes, 947941 needed"},
    };
    for (const auto& c : refused) {
        ScriptedShell shell;
        Session s(shell);
        s.messages.append("entry", c.message, "");
        s.messages.makeCurrent(0);
        Tri_AllProgText(s);
        ASSERT_EQ(shell.boxes.size(), 1u) << c.name;
        EXPECT_EQ(shell.boxes[0].title + ": " + shell.boxes[0].text, "Warning: " + c.box) << c.name;
        EXPECT_EQ(s.log.count(), 0) << c.name;
        EXPECT_TRUE(std::filesystem::is_empty(w.dir.str())) << c.name;
    }

    ScriptedShell shell;
    Session s(shell);
    s.messages.append("all", all, "");
    s.messages.makeCurrent(0);
    shell.boxAnswers = {MsgResult::Yes};
    Tri_AllProgText(s);
    EXPECT_TRUE(shell.boxes.size() == 1 && shell.boxes[0].text == "Use these names for Triton to Kronos conversion?");
    const std::string text = w.dir.read(kTriProgNamesReport);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto report = lines(text, "\r\n");
    ASSERT_EQ(report.size(), 1536u);
    EXPECT_EQ(report[1], "Bank: INT-A, Prog:   1 ABCDEFGHIJKLMNOP");
    EXPECT_EQ(report[2], "Bank: INT-A, Prog:   2 INT-A 2         ");
    EXPECT_EQ(report[3 * 128 + 5], "Bank: INT-D, Prog:   5 ?Tab?Name??");
    EXPECT_EQ(report[1535], "Bank: EXB-G, Prog: 127 EXB-G 127       ");
    EXPECT_EQ(s.log.lines(),
              (std::deque<std::string>{"Loaded Triton Programs",
                                       "Writing program names to \"TriProgNamesList.txt\" in current folder",
                                       "Wrote TriProgNamesList.txt",
                                       "Writing program names for Triton to Kronos conversion to \"" +
                                           w.dir.file("config") + "/tolvex/TriProgNameList.txt\"",
                                       "Wrote " + w.dir.file("config") + "/tolvex/TriProgNameList.txt"}));
    const auto list = lines(w.dir.read("config/tolvex/TriProgNameList.txt"), "\n");
    ASSERT_EQ(list.size(), 1536u);
    EXPECT_EQ((std::vector<std::string>{list[0], list[1], list[2], list[1535]}),
              (std::vector<std::string>{"Piano", "ABCDEFGHIJKLMNOP", "INT-A 2", "EXB-G 127"}));
}

// The tables of one effect parameter: Triton effect 10 parameter 3 (7 bits
// from bit 6 of its byte 2) becomes Kronos effect 5 parameter 4 through map 28.
struct EfxTables {
    EfxTables()
    {
        for (int i = 0; i <= 10; ++i) tri.TriEffectNameList.push_back(format("Triton Effect %d", i));
        std::istringstream map("10,2,7,6,3,5,4,28\n"), positions("5,4,12,8,0\n");
        create_Tri_Kro_Efx_Map_Table(map, tri.efxMap);
        loadKroEfxParamArray(positions, kro.KroEFXParamArray);
        kro.KroEfxNamelist.assign("00504=Kronos Parameter Four");
    }
    TriKroTables tri;
    KronosDefs kro;
};

Ttri_Combi combiWithIfx2(std::uint8_t effect, std::uint8_t paramByte2)
{
    Ttri_Combi c{};
    setName(c.Combi_Name, "Current Combi");
    auto& ifx2 = c.Ins_Effect_Group[1].Ins_Effect_Data;
    ifx2 = {0x12, 0x34, paramByte2, 0x56, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0F, effect, 0x40, 0, 0, 64, 1, 2, 3};
    return c;
}

std::string ifx2Of(const Ttri_Combi& c)
{
    const auto& data = c.Ins_Effect_Group[1].Ins_Effect_Data;
    return {data.begin(), data.end()};
}

// The parse of the last entry, mapped through the tables, or what ends it.
TEST(TritonEfxParse, MapsTheParameterOrSaysWhatEndsTheParse)
{
    const Ttri_Combi combi = combiWithIfx2(10, 0x80 | 55);  // bit 7: outside the field
    const Bytes current = tritonCurrentCombiDump(0, combi);
    const std::string head = "Tri IFX2 bytes 12, 34, B7. EfxNum: 10  (Triton Effect 10";
    const std::vector<std::string> notCombi = {"Combi Data Not Correct Format"};
    const struct {
        const char* name;
        Bytes message;
        int pid;
        std::string box;
        std::vector<std::string> log;
        std::string debugFile;  // the IFX2 block, when the Combi was taken
    } cases[] = {
        {"mapped",
         current,
         3,
         "",
         {head, "Tri IFX2 PID 3, TriOfs 2, TriWidth 7, TriBitPos 6",
          "Kro EFX# 5 Kro PID 4, KroXmap 28, Kronos Parameter Four", "Tri PID val 55 (0x37)",
          "Kronos EFXparm: ofs:12, width:8, bitpos:0 ", "Mapped Parameter 75 (0x4B)"},
         ifx2Of(combi)},
        {"all Combis", tritonDump(0, 0x4D, 3, 0, 0, triton::Ttri_Combi_allbanks{}), 3,
         "Message not Triton Current Combi Bank: function 0x4D kind: 3", notCombi, ""},
        {"no end byte", Bytes(current.begin(), current.end() - 1), 3, "", notCombi, ""},
        {"PID beyond the row", current, 4, "", {head}, ifx2Of(combi)},
    };
    for (const auto& c : cases) {
        Workspace w;
        ScriptedShell shell;
        Session s(shell);
        s.messages.append("first", Bytes{0xF0, 0xF7}, "");
        s.messages.append("last", c.message, "");
        EfxTables t;
        TriParseEfx(s, c.pid, t.tri, t.kro);
        EXPECT_EQ(std::vector<std::string>(s.log.lines().begin(), s.log.lines().end()), c.log) << c.name;
        EXPECT_EQ(shell.boxes.empty() ? "" : shell.boxes[0].text, c.box) << c.name;
        EXPECT_EQ(std::filesystem::exists(kTriEfxDebugFile) ? w.dir.read(kTriEfxDebugFile) : "", c.debugFile) << c.name;
        EXPECT_EQ(s.messages.count(), 2u) << c.name;
    }
}

}  // namespace
}  // namespace tolvex
