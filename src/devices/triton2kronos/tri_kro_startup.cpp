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

// Lines the start-up keeps for the log until the main window logs its summaries.
std::vector<std::string>& pendingLines()
{
    static std::vector<std::string> lines;
    return lines;
}

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

std::string mapSummary;
std::string efxSummary;

// A start-up whose loading waits for the first use of the tables.
struct Deferred {
    Session* s = nullptr;
    std::string progpath;
    bool createUnknownFile = false;
};

std::optional<Deferred>& deferred()
{
    static std::optional<Deferred> d;
    return d;
}

void cancelDeferred()
{
    deferred().reset();
    setKronosTableLoader(nullptr);
}

// Kept in the session: a load still pending when its session ends is dropped,
// so it never reaches a session that no longer exists.
struct DeferredOwner {
    Session* s = nullptr;
    DeferredOwner() = default;
    DeferredOwner(const DeferredOwner&) = delete;
    DeferredOwner& operator=(const DeferredOwner&) = delete;
    ~DeferredOwner()
    {
        if (deferred() && deferred()->s == s) cancelDeferred();
    }
};

}  // namespace

void KronosDeferStartup(Session& s, const std::string& progpath, bool createUnknownFile)
{
    cancelDeferred();
    kronosDefs().clear();
    triKroTables().efxMap = {};
    pendingLines().clear();
    mapSummary.clear();
    efxSummary.clear();
    s.families.records<DeferredOwner>().s = &s;
    deferred() = Deferred{&s, progpath, createUnknownFile};
    setKronosTableLoader([] { KronosLoadDeferredTables(); });
}

bool KronosLoadDeferredTables()
{
    if (!deferred()) return false;
    const Deferred d = *deferred();
    cancelDeferred();
    KronosUnitStartup(*d.s, d.progpath, d.createUnknownFile);
    for (const std::string& line : KronosStartupSummaries()) d.s->log.LogString(line);
    return true;
}

void KronosUnitStartup(Session& s, const std::string& progpath, bool createUnknownFile)
{
    cancelDeferred();
    KronosDefs& defs = kronosDefs();
    TriKroTables& tri = triKroTables();
    defs.clear();
    tri.efxMap = {};
    std::vector<std::string>& log = pendingLines();
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
    mapSummary = TriKroEfxMapSummary(tri.efxMap);
    efxSummary = KroEfxParamSummary(defs.KroEFXParamArray);
}

void TriKroReadSettings(Session& s, const IniFile& ini)
{
    // A run from the command line keeps no record of the value maps.
    std::ofstream record;
    if (!s.paths.diagnosticsOnFirstLine) {
        const std::string path = s.paths.diagnosticPath(kDebugIniFile);
        record.open(path, std::ios::binary | std::ios::trunc);
        if (!record) pendingLines().push_back("Could not create " + inCurrentFolder(path.c_str()));
    }
    ReadTriKroValueMaps(ini, s.paths.progpath, triKroTables().valueMaps, record ? &record : nullptr);
}

std::vector<std::string> KronosStartupSummaries()
{
    std::vector<std::string> lines = pendingLines();
    pendingLines().clear();
    if (deferred()) return lines;  // the tables' own lines are logged when they load
    lines.push_back(mapSummary);
    lines.push_back(efxSummary);
    return lines;
}

void TriKroLoadLists(Session& s, const std::string& progpath)
{
    std::vector<std::string>& names = triKroTables().TriEffectNameList;
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
