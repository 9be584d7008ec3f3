// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devices.h"

#include "core/app/command_table.h"
#include "core/app/session.h"
#include "devices/common/families.h"
#include "devices/csv_bank_files.h"

namespace tolvex {

std::vector<std::unique_ptr<const DeviceFamily>> makeDeviceFamilies()
{
    std::vector<std::unique_ptr<const DeviceFamily>> out;
    out.push_back(makeYamahaFamily());
    out.push_back(makePeaveyFamily());
    out.push_back(makeWavestationFamily());
    out.push_back(makeTritonFamily());
    out.push_back(makeKronosFamily());
    out.push_back(makeTritonToKronosFamily());
    return out;
}

void installDeviceFamilies(Session& s)
{
    if (!s.families.empty()) return;
    for (auto& f : makeDeviceFamilies()) {
        f->addNamers(s, s.families.namers);
        s.families.add(std::move(f));
    }
}

void registerDeviceFamilies(CommandTable& table)
{
    for (const auto& f : makeDeviceFamilies()) f->addCommands(table);
    table.bind("OpenCSVfileMenu", OpenCSVfileMenuClick);
}

}  // namespace tolvex
