// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devices.h"

#include "core/app/command_table.h"
#include "core/sysex/sx_naming.h"
#include "devices/csv_bank_files.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/kronos/kronos_timbre_copy.h"
#include "devices/peavey/peavey_commands.h"
#include "devices/peavey/peavey_naming.h"
#include "devices/triton/triton_params.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_command.h"
#include "devices/triton2kronos/tri_kro_startup.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/yamaha/yamaha_commands.h"
#include "devices/yamaha/yamaha_remote.h"

namespace tolvex {

void registerDeviceFamilies()
{
    FamilyNamers& namers = familyNamers();
    namers.tritonParameter = [](ByteView sx, std::string* shortDesc) { return TriParamParse(sx, shortDesc); };
    namers.peavey = PV_NameMessage;
    namers.kronos = [](ByteView sx, std::string* shortDesc, const NamingLog& log) {
        return KronosFunctionText(sx, shortDesc, log, kronosDefs());
    };
}

void registerDeviceFamilies(CommandTable& table)
{
    registerDeviceFamilies();
    // Each family binds its page's controls here as it is built.
    registerYamaha(table);
    table.bind("OpenCSVfileMenu", OpenCSVfileMenuClick);
    registerTriton(table);
    registerWavestation(table);
    registerPeavey(table);
    table.bind("KroReq1Prog", Kro_Req_1ProgClick);
    table.bind("KroReq1Combi", Kro_Req_1CombiClick);
    table.bind("CurProgReq", Kro_Cur_Prog_req_Click);
    table.bind("CurCombReq", Kro_Cur_Combi_req_Click);
    table.bind("CurSetlistReq", Kro_Cur_Setlist_req_Click);
    registerKronosCombi(table);
    registerTritonToKronos(table);
}

StartupHooks deviceStartupHooks(const std::string& progpath)
{
    StartupHooks hooks;
    hooks.unitStartup = [progpath](Session& s) {
        KronosDeferStartup(s, progpath, true);
        KroTimbreCopyFormCreate(s);
    };
    hooks.readSettings = [](Session& s, const IniFile& ini) {
        TriKroReadSettings(s, ini);
        YamReadSettings(s, ini);
    };
    hooks.summaries = [](Session&) { return KronosStartupSummaries(); };
    hooks.loadLists = [progpath](Session& s) { TriKroLoadLists(s, progpath); };
    return hooks;
}

bool loadDeferredTables()
{
    return KronosLoadDeferredTables();
}

void wrapDeferredTableLoad(std::function<void(const std::function<void()>& load)> wrapper)
{
    setKronosTableLoader([wrapper = std::move(wrapper)] { wrapper([] { KronosLoadDeferredTables(); }); });
}

}  // namespace tolvex
