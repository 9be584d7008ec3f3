// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_startup.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "core/app/session.h"
#include "core/app/table_files.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/triton2kronos/tri_kro_tables.h"

namespace tolvex {

namespace {

std::string inCurrentFolder(const char* name)
{
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    return ec ? std::string(name) : (here / name).string();
}

std::string folderOf(const std::string& path)
{
    return std::filesystem::path(path).parent_path().string() + "/";
}

// Opens a table file from the table folders, or says so in a box and the log.
// Either way `path` names the file; the stream is open only on success.
std::ifstream openTable(Session& s, const char* name, const std::string& progpath, std::string& path,
                        std::vector<std::string>& log)
{
    const auto found = findTableFile(name, tableFolders(progpath));
    std::ifstream in;
    if (found) in.open(*found, std::ios::binary);
    if (!in.is_open()) {
        // The program folder is where a table belongs; name it, also when other folders were searched too.
        std::string prog = progpath.empty() ? std::string("./") : progpath;
        if (prog.back() != '/') prog += '/';
        path = found ? *found : prog + name;
        const std::string text = "Cannot open table file \"" + path + "\" - table left empty";
        s.shell.messageBox("Error", text, MsgIcon::Error);
        log.push_back(text);
        in.setstate(std::ios::failbit);  // tests false, as a stream that failed to open does
        return in;
    }
    path = *found;
    return in;
}

std::string readLine(const char* name, const std::string& path, const TableLoad& load)
{
    std::string line = format("Read %s from %s: %zu rows", name, folderOf(path).c_str(), load.rows);
    if (load.duplicatesDropped > 0) line += format(", %zu duplicate lines dropped", load.duplicatesDropped);
    if (!load.refused.empty()) line += format(", %zu rows skipped", load.refused.size());
    return line;
}

// A start-up whose loading waits for the first use of the tables.
struct Deferred {
    std::string progpath;
    bool createUnknownFile = false;
};

// The start-up's state in one session.
struct TriKroStartup {
    // Lines kept for the log until the main window logs its summaries.
    std::vector<std::string> pendingLines;
    std::string mapSummary;
    std::string efxSummary;
    std::optional<Deferred> deferred;
};

TriKroStartup& startup(Session& s)
{
    return s.families.records<TriKroStartup>();
}

void cancelDeferred(Session& s)
{
    startup(s).deferred.reset();
    setKronosTableLoader(s, nullptr);
}

}  // namespace

void KronosDeferStartup(Session& s, const std::string& progpath, bool createUnknownFile)
{
    cancelDeferred(s);
    kronosDefs(s).clear();
    triKroTables(s).efxMap = {};
    TriKroStartup& st = startup(s);
    st.pendingLines.clear();
    st.mapSummary.clear();
    st.efxSummary.clear();
    st.deferred = Deferred{progpath, createUnknownFile};
    setKronosTableLoader(s, [&s] { KronosLoadDeferredTables(s); });
}

bool KronosLoadDeferredTables(Session& s)
{
    TriKroStartup& st = startup(s);
    if (!st.deferred) return false;
    const Deferred d = *st.deferred;
    cancelDeferred(s);
    KronosUnitStartup(s, d.progpath, d.createUnknownFile);
    for (const std::string& line : KronosStartupSummaries(s)) s.log.LogString(line);
    return true;
}

void KronosUnitStartup(Session& s, const std::string& progpath, bool createUnknownFile)
{
    cancelDeferred(s);
    KronosDefs& defs = kronosDefs(s);
    TriKroTables& tri = triKroTables(s);
    defs.clear();
    tri.efxMap = {};
    TriKroStartup& st = startup(s);
    std::vector<std::string>& log = st.pendingLines;
    log.clear();

    if (createUnknownFile) {
        const std::string unknown = s.paths.diagnosticPath(kKroUnknownParamFile);
        if (s.paths.diagnosticsOnFirstLine)
            defs.unknownParamFile.openOnFirstLine(unknown);
        else if (!defs.unknownParamFile.open(unknown))
            log.push_back("Could not create " + inCurrentFolder(unknown.c_str()));
    }
    std::string path;
    const auto nameValueTable = [&](const char* name, SortedNameValueList& list) {
        if (std::ifstream in = openTable(s, name, progpath, path, log))
            log.push_back(readLine(name, path, loadNameValueList(in, list)));
    };
    nameValueTable("KronosParamList.txt", defs.Kro_paramlist);
    nameValueTable("Kro_Efx_Param_Names.txt", defs.KroEfxNamelist);

    if (std::ifstream in = openTable(s, "Tri_Kro_Efx_Map.txt", progpath, path, log)) {
        const TableLoad load = create_Tri_Kro_Efx_Map_Table(in, tri.efxMap);
        for (std::size_t i = 0; i < load.refused.size(); ++i)
            s.shell.messageBox("Error",
                               "Data Conversion Error loading Triton - Kronos EFX mapping Table Tri_Kro_Efx_Map.txt",
                               MsgIcon::Error);
        log.push_back(readLine("Tri_Kro_Efx_Map.txt", path, load));
    }
    if (std::ifstream in = openTable(s, "Kro_Efx_Param.txt", progpath, path, log)) {
        const TableLoad load = loadKroEfxParamArray(in, defs.KroEFXParamArray);
        for (std::size_t i = 0; i < load.refused.size(); ++i)
            s.shell.messageBox("Error", "Data Conversion Error loading Kronos EFX Param Array " + path, MsgIcon::Error);
        log.push_back(readLine("Kro_Efx_Param.txt", path, load));
    }
    st.mapSummary = TriKroEfxMapSummary(tri.efxMap);
    st.efxSummary = KroEfxParamSummary(defs.KroEFXParamArray);
}

void TriKroReadSettings(Session& s, const IniFile& ini)
{
    // A run from the command line keeps no record of the value maps.
    std::ofstream record;
    if (!s.paths.diagnosticsOnFirstLine) {
        const std::string path = s.paths.diagnosticPath(kDebugIniFile);
        record.open(path, std::ios::binary | std::ios::trunc);
        if (!record) startup(s).pendingLines.push_back("Could not create " + inCurrentFolder(path.c_str()));
    }
    ReadTriKroValueMaps(ini, s.paths.progpath, triKroTables(s).valueMaps, record ? &record : nullptr);
}

std::vector<std::string> KronosStartupSummaries(Session& s)
{
    TriKroStartup& st = startup(s);
    std::vector<std::string> lines = std::move(st.pendingLines);
    st.pendingLines.clear();
    if (st.deferred) return lines;  // the tables' own lines are logged when they load
    lines.push_back(st.mapSummary);
    lines.push_back(st.efxSummary);
    return lines;
}

void TriKroLoadLists(Session& s, const std::string& progpath)
{
    std::vector<std::string>& names = triKroTables(s).TriEffectNameList;
    names.clear();
    std::vector<std::string> log;
    std::string path;
    if (std::ifstream in = openTable(s, "TriEffectNameList.txt", progpath, path, log)) {
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            names.push_back(line);
        }
        log.push_back(format("Read TriEffectNameList.txt from %s: %zu rows", folderOf(path).c_str(), names.size()));
    }
    for (const std::string& line : log) s.log.LogString(line);
}

}  // namespace tolvex
