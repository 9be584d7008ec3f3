// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the conversion's tables: the effect map "Tri_Kro_Efx_Map.txt"
// (read when a conversion first needs it, or at the window's first idle
// moment), the value maps of the settings file (recorded in "debugINI.txt")
// and "TriEffectNameList.txt". The Kronos definition tables the conversion
// also reads are the Kronos family's (kronos_startup.h).
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

inline constexpr char kDebugIniFile[] = "debugINI.txt";

// Reads the effect map from the first folder of tableFolders(progpath)
// holding it, replacing what it held; the lines for the log wait for
// TriKroStartupSummaries.
void TriKroUnitStartup(Session& s, const std::string& progpath);
// Remembers where the effect map is without reading it: the first use of
// triKroTables(s) or TriKroLoadDeferredTables reads it and logs the summaries.
void TriKroDeferStartup(Session& s, const std::string& progpath);
// Runs a deferred load now; false when none was pending.
bool TriKroLoadDeferredTables(Session& s);
// Reads the value maps (a key TOLVEX.INI lacks from the shipped
// "TOLVEX-valuemaps.ini"), recording each key and its file in "debugINI.txt"
// among the diagnostic files.
void TriKroReadSettings(Session& s, const IniFile& ini);
// What the start-up has to log: what could not be created, where the effect
// map came from and its summary (nothing of the map while it is deferred).
std::vector<std::string> TriKroStartupSummaries(Session& s);
// Loads "TriEffectNameList.txt" and logs where it came from.
void TriKroLoadLists(Session& s, const std::string& progpath);

}  // namespace tolvex
