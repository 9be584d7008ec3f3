// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the Kronos definition tables: "KronosParamList.txt",
// "Kro_Efx_Param_Names.txt" and "Kro_Efx_Param.txt" are read, and the
// unknown-parameter file is created. The window and the command line leave
// the reading for the first use of the tables (a Kronos message to name, a
// Kronos command) or the window's first idle moment.
//
// A table file that cannot be opened never stops the program: the box
// `Cannot open table file "PATH" - table left empty` is shown, the table stays
// empty (its look-ups fail) and the same line is logged with the summaries.
#pragma once

#include <string>
#include <vector>

namespace tolvex {

class Session;

inline constexpr char kKroUnknownParamFile[] = "KroUnknownParamFile.txt";

// Reads the three definition tables from the first folder of
// tableFolders(progpath) holding each, replacing what the tables held, and with
// createUnknownFile creates "KroUnknownParamFile.txt" among the diagnostic
// files. Boxes are shown through s.shell; the lines for the log wait for
// KronosStartupSummaries (the log comes with the main window).
void KronosUnitStartup(Session& s, const std::string& progpath, bool createUnknownFile);
// Remembers where the tables are without reading them: the first use of
// kronosDefs(s) or KronosLoadDeferredTables reads them as KronosUnitStartup
// does and logs the summaries to s. Everything here is the session's own.
void KronosDeferStartup(Session& s, const std::string& progpath, bool createUnknownFile);
// Runs a deferred load now; false when none was pending.
bool KronosLoadDeferredTables(Session& s);
// What the start-up has to log: where each table came from, what could not
// be opened or created, then the effect parameter table's summary. Nothing
// while the load is deferred (the load logs them itself).
std::vector<std::string> KronosStartupSummaries(Session& s);

}  // namespace tolvex
