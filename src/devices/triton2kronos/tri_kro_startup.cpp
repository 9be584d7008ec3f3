// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_startup.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "core/app/session.h"
#include "core/app/table_files.h"
#include "devices/triton2kronos/tri_kro_tables.h"

namespace tolvex {

namespace {

// The start-up's state in one session.
struct TriKroStartup {
    // Lines kept for the log until the main window logs its summaries.
    std::vector<std::string> pendingLines;
    std::string mapSummary;
    // Where the deferred effect map is to be read from.
    std::optional<std::string> deferredFrom;
};

TriKroStartup& startup(Session& s)
{
    return s.families.records<TriKroStartup>();
}

void cancelDeferred(Session& s)
{
    startup(s).deferredFrom.reset();
    setTriKroTableLoader(s, nullptr);
}

}  // namespace

void TriKroDeferStartup(Session& s, const std::string& progpath)
{
    cancelDeferred(s);
    triKroTablesAsRead(s).efxMap = {};
    TriKroStartup& st = startup(s);
    st.mapSummary.clear();
    st.deferredFrom = progpath;
    setTriKroTableLoader(s, [&s] { TriKroLoadDeferredTables(s); });
}

bool TriKroLoadDeferredTables(Session& s)
{
    TriKroStartup& st = startup(s);
    if (!st.deferredFrom) return false;
    const std::string progpath = *st.deferredFrom;
    cancelDeferred(s);
    TriKroUnitStartup(s, progpath);
    for (const std::string& line : TriKroStartupSummaries(s)) s.log.LogString(line);
    return true;
}

void TriKroUnitStartup(Session& s, const std::string& progpath)
{
    cancelDeferred(s);
    TriKroTables& tri = triKroTablesAsRead(s);
    tri.efxMap = {};
    TriKroStartup& st = startup(s);
    std::string path;
    if (std::ifstream in = openTableFile(s, "Tri_Kro_Efx_Map.txt", progpath, path, st.pendingLines)) {
        const TableLoad load = create_Tri_Kro_Efx_Map_Table(in, tri.efxMap);
        for (std::size_t i = 0; i < load.refused.size(); ++i)
            s.shell.messageBox("Error",
                               "Data Conversion Error loading Triton - Kronos EFX mapping Table Tri_Kro_Efx_Map.txt",
                               MsgIcon::Error);
        st.pendingLines.push_back(tableReadLine("Tri_Kro_Efx_Map.txt", path, load));
    }
    st.mapSummary = TriKroEfxMapSummary(tri.efxMap);
}

void TriKroReadSettings(Session& s, const IniFile& ini)
{
    // A run from the command line keeps no record of the value maps.
    std::ofstream record;
    if (!s.paths.diagnosticsOnFirstLine) {
        const std::string path = s.paths.diagnosticPath(kDebugIniFile);
        record.open(path, std::ios::binary | std::ios::trunc);
        if (!record) startup(s).pendingLines.push_back("Could not create " + inCurrentFolder(path));
    }
    ReadTriKroValueMaps(ini, s.paths.progpath, triKroTablesAsRead(s).valueMaps, record ? &record : nullptr);
}

std::vector<std::string> TriKroStartupSummaries(Session& s)
{
    TriKroStartup& st = startup(s);
    std::vector<std::string> lines = std::move(st.pendingLines);
    st.pendingLines.clear();
    if (st.deferredFrom) return lines;  // the map's own lines are logged when it loads
    lines.push_back(st.mapSummary);
    return lines;
}

void TriKroLoadLists(Session& s, const std::string& progpath)
{
    std::vector<std::string>& names = triKroTablesAsRead(s).TriEffectNameList;
    names.clear();
    std::vector<std::string> log;
    std::string path;
    if (std::ifstream in = openTableFile(s, "TriEffectNameList.txt", progpath, path, log)) {
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            names.push_back(line);
        }
        log.push_back(format("Read TriEffectNameList.txt from %s: %zu rows",
                             (std::filesystem::path(path).parent_path().string() + "/").c_str(), names.size()));
    }
    for (const std::string& line : log) s.log.LogString(line);
}

}  // namespace tolvex
