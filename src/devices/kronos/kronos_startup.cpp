// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/kronos/kronos_startup.h"

#include <optional>

#include "core/app/session.h"
#include "core/app/table_files.h"
#include "devices/kronos/kronos_defs.h"

namespace tolvex {

namespace {

// A start-up whose reading waits for the first use of the tables.
struct Deferred {
    std::string progpath;
    bool createUnknownFile = false;
};

// The start-up's state in one session.
struct KronosStartup {
    // Lines kept for the log until the main window logs its summaries.
    std::vector<std::string> pendingLines;
    std::string efxSummary;
    std::optional<Deferred> deferred;
};

KronosStartup& startup(Session& s)
{
    return s.families.records<KronosStartup>();
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
    KronosStartup& st = startup(s);
    st.pendingLines.clear();
    st.efxSummary.clear();
    st.deferred = Deferred{progpath, createUnknownFile};
    setKronosTableLoader(s, [&s] { KronosLoadDeferredTables(s); });
}

bool KronosLoadDeferredTables(Session& s)
{
    KronosStartup& st = startup(s);
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
    defs.clear();
    KronosStartup& st = startup(s);
    std::vector<std::string>& log = st.pendingLines;
    log.clear();

    if (createUnknownFile) {
        const std::string unknown = s.paths.diagnosticPath(kKroUnknownParamFile);
        if (s.paths.diagnosticsOnFirstLine)
            defs.unknownParamFile.openOnFirstLine(unknown);
        else if (!defs.unknownParamFile.open(unknown))
            log.push_back("Could not create " + inCurrentFolder(unknown));
    }
    std::string path;
    const auto nameValueTable = [&](const char* name, SortedNameValueList& list) {
        if (std::ifstream in = openTableFile(s, name, progpath, path, log))
            log.push_back(tableReadLine(name, path, loadNameValueList(in, list)));
    };
    nameValueTable("KronosParamList.txt", defs.Kro_paramlist);
    nameValueTable("Kro_Efx_Param_Names.txt", defs.KroEfxNamelist);
    if (std::ifstream in = openTableFile(s, "Kro_Efx_Param.txt", progpath, path, log)) {
        const TableLoad load = loadKroEfxParamArray(in, defs.KroEFXParamArray);
        for (std::size_t i = 0; i < load.refused.size(); ++i)
            s.shell.messageBox("Error", "Data Conversion Error loading Kronos EFX Param Array " + path, MsgIcon::Error);
        log.push_back(tableReadLine("Kro_Efx_Param.txt", path, load));
    }
    st.efxSummary = KroEfxParamSummary(defs.KroEFXParamArray);
}

std::vector<std::string> KronosStartupSummaries(Session& s)
{
    KronosStartup& st = startup(s);
    std::vector<std::string> lines = std::move(st.pendingLines);
    st.pendingLines.clear();
    if (st.deferred) return lines;  // the tables' own lines are logged when they load
    lines.push_back(st.efxSummary);
    return lines;
}

}  // namespace tolvex
