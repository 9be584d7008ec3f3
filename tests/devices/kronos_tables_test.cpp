// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the Kronos and Triton to Kronos tables: rows taken and refused, the
// value maps of the settings file, and the start-up that never stops on a
// table problem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/app/session.h"
#include "core/text/ini_file.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_startup.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "support/scripted_shell.h"
#include "support/temp_dir.h"

namespace tolvex {
namespace {

using testing::TempDir;

TEST(KronosTables, EffectParameterRowsTakenAndRefused)
{
    const struct {
        const char* name;
        std::string text;
        std::size_t rows;
        std::vector<std::size_t> refused;
    } cases[] = {
        {"good rows, CR LF and blanks", "1,0,0,1,0\r\n\r\n1, 2 ,1,6,0\n185,67,63,16,7\n", 3, {}},
        {"not integers, too few or too many", "1,0,0,1,x\n1,0,0,1\n1,0,0,1,0,0\n", 0, {1, 2, 3}},
        {"out of range, column by column",
         "256,0,0,1,0\n1,100,0,1,0\n1,0,64,1,0\n1,0,0,17,0\n1,0,0,1,8\n",
         0,
         {1, 2, 3, 4, 5}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        KroEfxParamTable table;
        const TableLoad load = loadKroEfxParamArray(in, table);
        EXPECT_EQ(load.rows, c.rows) << c.name;
        EXPECT_EQ(load.refused, c.refused) << c.name;
    }
}

TEST(KronosTables, EffectMapRowsAndHighestParameterIds)
{
    std::istringstream in(
        "5,0,8,7,0,1,0,0\n5,1,8,7,1,1,1,0\n5,2,4,3,2,1,2,3\n7,15,16,0,4,185,67,255\n"
        "7,16,1,0,5,1,1,1\n7,0,17,0,6,1,1,1\n7,0,1,8,7,1,1,1\n7,0,1,0,8,256,1,1\n7,0,1,0\n");
    TriKroEfxMap map;
    const TableLoad load = create_Tri_Kro_Efx_Map_Table(in, map);
    EXPECT_EQ(load.rows, 4u);
    EXPECT_EQ(load.refused, (std::vector<std::size_t>{5, 6, 7, 8, 9}));
    EXPECT_EQ(map.TriMaxEFXPIDArray, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 2, 0, 4}));
    EXPECT_EQ(TriKroEfxMapSummary(map), "Loaded TriKroEfxMap, 8 rows, 4 max PIDs in row, 8 total PIDS, 0.25 Kbytes");
}

TEST(KronosTables, ValueMapsFromTheSettingsFile)
{
    TempDir dir;
    const IniFile ini(dir.write("TOLVEX.INI",
                                "[TriCombiCatMap]\n00=3\n01=Piano\n02=12 Strings\n03=1-2\n"
                                "[TriSwitchMap]\n00=x\n01=4\n[TriDelayMap]\n5=300\n"
                                "[TriKroEfxFcMidMap]\n97=9\n98=9\n"
                                "[TriKroConvert]\nDefaultSubCategory=3\n"));
    // The shipped maps fill only the keys the settings file lacks.
    const IniFile shipped(dir.write("TOLVEX-valuemaps.ini",
                                    "[TriCombiCatMap]\n00=5\n04=6\n[TriBusSelectMap]\n2=1\n13=25\n"
                                    "[TriDelayMap]\n5=7\n"));
    TriKroValueMaps maps;
    std::ostringstream record;
    ReadTriKroValueMaps(ini, &shipped, maps, &record);
    EXPECT_EQ((std::vector<int>{maps.TriCombiCatMapping[0], maps.TriCombiCatMapping[1], maps.TriCombiCatMapping[2],
                                maps.TriCombiCatMapping[3], maps.TriCombiCatMapping[4], maps.TriCombiCatMapping[5]}),
              (std::vector<int>{3, 17, 12, 12, 6, 17}));
    EXPECT_EQ(maps.TriSwitchMapping[0], 0);
    EXPECT_EQ(maps.TriSwitchMapping[1], 4);
    EXPECT_EQ(maps.TriDelayMapping[5], 300);
    EXPECT_EQ(
        (std::vector<int>{maps.TriBusSelectMapping[2], maps.TriBusSelectMapping[13], maps.TriBusSelectMapping[3]}),
        (std::vector<int>{1, 25, 0}));
    EXPECT_EQ(maps.TriKroEfxFcMidMapping[97], 9);
    EXPECT_EQ(maps.TriKroEfxFcMidMapping[98], 0);
    EXPECT_EQ(maps.DefaultKroCombSubCat, 3);
    const std::string r = record.str();
    for (const std::string& line :
         {"TriCombiCatMap 0 \"3\" " + ini.path() + "\r\n", "TriCombiCatMap 4 \"6\" " + shipped.path() + "\r\n",
          std::string("TriCombiCatMap 5 \"\" default\r\n")})
        EXPECT_NE(r.find(line), std::string::npos) << line;
    EXPECT_EQ(r.find("TriKroEfxFcMidMap 98 "), std::string::npos);
    EXPECT_EQ(std::count(r.begin(), r.end(), '\n'), 16 + 13 + 98 + 6 + 14 + 98);
}

// The start-up in a program folder of its own, with no user copies of the tables.
struct Startup {
    Startup() { setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1); }
    ~Startup() { unsetenv("XDG_CONFIG_HOME"); }
    std::vector<std::string> boxes()
    {
        std::vector<std::string> b;
        for (const auto& box : shell.boxes) b.push_back(box.title + ": " + box.text);
        return b;
    }
    TempDir dir;
    tolvex::testing::ScriptedShell shell;
    Session s{shell};
};

TEST(KronosTables, StartupGoesOnWithoutItsTables)
{
    Startup st;
    st.dir.write("Kro_Efx_Param_Names.txt", "00100=Comp: Bypass\n00100=Comp: Bypass\n");
    st.dir.write("Kro_Efx_Param.txt", "1,0,0,1,0\n1,1,0,x,1\n1,2,64,1,0\n");
    const std::string missing = st.dir.str() + "KronosParamList.txt";
    KronosUnitStartup(st.s, st.dir.str(), false);
    TriKroUnitStartup(st.s, st.dir.str());
    const std::string cannot = "Cannot open table file \"" + missing + "\" - table left empty";
    const std::string conversion =
        "Data Conversion Error loading Kronos EFX Param Array " + st.dir.file("Kro_Efx_Param.txt");
    const std::string noMap = "Cannot open table file \"" + st.dir.str() + "Tri_Kro_Efx_Map.txt\" - table left empty";
    EXPECT_EQ(st.boxes(), (std::vector<std::string>{"Error: " + cannot, "Error: " + conversion, "Error: " + conversion,
                                                    "Error: " + noMap}));
    EXPECT_EQ(KronosStartupSummaries(st.s),
              (std::vector<std::string>{
                  cannot, "Read Kro_Efx_Param_Names.txt from " + st.dir.str() + ": 1 rows, 1 duplicate lines dropped",
                  "Read Kro_Efx_Param.txt from " + st.dir.str() + ": 1 rows, 2 rows skipped",
                  "Loaded KroEFXParamArray, 2 rows, 0 max PIDs in row, 1 total PIDS, 0.01 Kbytes"}));
    EXPECT_EQ(
        TriKroStartupSummaries(st.s),
        (std::vector<std::string>{noMap, "Loaded TriKroEfxMap, 0 rows, 0 max PIDs in row, 0 total PIDS, 0.00 Kbytes"}));
    EXPECT_EQ(kronosDefs(st.s).Kro_paramlist.count(), 0u);
    EXPECT_EQ(kronosDefs(st.s).KroEfxNamelist.count(), 1u);

    // A user's own copy wins over the program folder's; the log says where it came from.
    std::filesystem::create_directories(st.dir.file("config/tolvex"));
    st.dir.write("config/tolvex/Kro_Efx_Param.txt", "2,3,0,1,0\n");
    KronosUnitStartup(st.s, st.dir.str(), false);
    const auto lines = KronosStartupSummaries(st.s);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "Read Kro_Efx_Param.txt from " + st.dir.str() + "config/tolvex/: 1 rows"),
        lines.end());
    EXPECT_EQ(kronosDefs(st.s).KroEFXParamArray.size(), 3u);
}

TEST(KronosTables, DeferredStartupReadsOnFirstUseForItsOwnSessionOnly)
{
    Startup st;
    st.dir.write("KronosParamList.txt", "1023000000001000=Volume\r\n");
    st.dir.write("Kro_Efx_Param.txt", "1,0,0,1,0\n");
    KronosDeferStartup(st.s, st.dir.str(), false);
    EXPECT_TRUE(st.boxes().empty());  // nothing read yet, so nothing missed yet
    EXPECT_TRUE(KronosStartupSummaries(st.s).empty());
    const KronosDefs& defs = kronosDefs(st.s);  // the first use reads every Kronos table
    EXPECT_EQ(defs.KroEFXParamArray.size(), 2u);
    EXPECT_EQ(defs.Kro_paramlist.value("1023000000001000"), std::optional<std::string_view>("Volume"));
    EXPECT_EQ(st.boxes().size(), 1u);  // Kro_Efx_Param_Names.txt is missing
    const auto& log = st.s.log.lines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Read KronosParamList.txt from " + st.dir.str() + ": 1 rows"),
              log.end());
    EXPECT_FALSE(KronosLoadDeferredTables(st.s));  // read once only
    EXPECT_EQ(st.boxes().size(), 1u);

    // Another session in the same process has tables of its own.
    tolvex::testing::ScriptedShell shell;
    Session other(shell);
    EXPECT_EQ(kronosDefs(other).KroEFXParamArray.size(), 0u);
    EXPECT_TRUE(shell.boxes.empty());
}

}  // namespace
}  // namespace tolvex
