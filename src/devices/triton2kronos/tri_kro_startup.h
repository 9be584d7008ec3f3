// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the Kronos and Triton to Kronos tables, in the program's order:
// before any window the unknown-parameter file is created and the tables
// "KronosParamList.txt", "Kro_Efx_Param_Names.txt", "Tri_Kro_Efx_Map.txt" and
// "Kro_Efx_Param.txt" are read; the main window then reads the value maps
// (recording them in "debugINI.txt"), logs the table summaries and loads
// "TriEffectNameList.txt".
//
// A table file that cannot be opened never stops the program: the box
// `Cannot open table file "PATH" - table left empty` is shown, the table stays
// empty (its look-ups fail) and the same line is logged with the summaries.
#pragma once

#include <string>
#include <vector>

namespace tolvex {

class IniFile;
class Session;

inline constexpr char kKroUnknownParamFile[] = "KroUnknownParamFile.txt";
inline constexpr char kDebugIniFile[] = "debugINI.txt";

// Reads the four definition tables from the first folder of
// tableFolders(progpath) holding each, replacing what the tables held, and with
// createUnknownFile creates "KroUnknownParamFile.txt" in the current folder.
// Boxes are shown through s.shell; the lines for the log wait for
// KronosStartupSummaries (the log comes with the main window).
void KronosUnitStartup(Session& s, const std::string& progpath, bool createUnknownFile);
// Remembers where the four definition tables are without reading them: the
// first use of kronosDefs(s) (a Kronos message to name, a Kronos command) or
// KronosLoadDeferredTables reads them as KronosUnitStartup does and logs the
// summaries to s. Everything here is the session's own.
void KronosDeferStartup(Session& s, const std::string& progpath, bool createUnknownFile);
// Runs a deferred load now (the window, once it is shown); false when none was pending.
bool KronosLoadDeferredTables(Session& s);
// Reads the value maps (a key TOLVEX.INI lacks from the shipped
// "TOLVEX-valuemaps.ini"), recording each key and its file in "debugINI.txt"
// in the current folder.
void TriKroReadSettings(Session& s, const IniFile& ini);
// What the start-up has to log: where each table came from, what could not
// be opened or created, then the effect map's and the effect parameter table's summaries.
// Nothing while the load is deferred (the load logs them itself).
std::vector<std::string> KronosStartupSummaries(Session& s);
// Loads "TriEffectNameList.txt" and logs where it came from.
void TriKroLoadLists(Session& s, const std::string& progpath);

}  // namespace tolvex
