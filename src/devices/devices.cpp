#include "devices/devices.h"

#include "core/app/command_table.h"
#include "core/sysex/sx_naming.h"
#include "devices/peavey/peavey_naming.h"
#include "devices/triton/triton_params.h"
#include "devices/yamaha/yamaha_commands.h"

namespace tolvex {

void registerDeviceFamilies()
{
    FamilyNamers& namers = familyNamers();
    namers.tritonParameter = [](ByteView sx, std::string* shortDesc) { return TriParamParse(sx, shortDesc); };
    namers.peavey = PV_NameMessage;
}

void registerDeviceFamilies(CommandTable& table)
{
    registerDeviceFamilies();
    // Each family binds its page's controls here as it is built.
    registerYamaha(table);
}

}  // namespace tolvex
