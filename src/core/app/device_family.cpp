// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/session.h"

namespace tolvex {

void startFamilyTables(Session& s, const std::string& progpath)
{
    for (const auto& f : s.families.all()) f->startTables(s, progpath);
}

bool loadDeferredFamilyTables(Session& s)
{
    bool any = false;
    for (const auto& f : s.families.all()) any = f->loadDeferredTables(s) || any;
    return any;
}

}  // namespace tolvex
