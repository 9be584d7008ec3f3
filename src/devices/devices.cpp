// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devices.h"

#include "core/app/command_table.h"
#include "core/app/session.h"
#include "devices/csv_bank_files.h"

// The families, one line each, in the order of their pages (the families
// without a page name messages only). FAMILY(X) stands for the factory
// makeXFamily() in the family's folder.
#define TOLVEX_FAMILIES(FAMILY) \
    FAMILY(Yamaha)              \
    FAMILY(Peavey)              \
    FAMILY(Wavestation)         \
    FAMILY(Triton)              \
    FAMILY(Kronos)              \
    FAMILY(TritonToKronos)      \
    FAMILY(Korg)                \
    FAMILY(Ensoniq)             \
    /* a new family: one line above this one */

namespace tolvex {

#define TOLVEX_DECLARE_FAMILY(X) std::unique_ptr<const DeviceFamily> make##X##Family();
TOLVEX_FAMILIES(TOLVEX_DECLARE_FAMILY)
#undef TOLVEX_DECLARE_FAMILY

std::vector<std::unique_ptr<const DeviceFamily>> makeDeviceFamilies()
{
    std::vector<std::unique_ptr<const DeviceFamily>> out;
#define TOLVEX_MAKE_FAMILY(X) out.push_back(make##X##Family());
    TOLVEX_FAMILIES(TOLVEX_MAKE_FAMILY)
#undef TOLVEX_MAKE_FAMILY
    return out;
}

std::vector<PatchFamily> patchFamilies()
{
    std::vector<PatchFamily> out;
    for (const auto& f : makeDeviceFamilies())
        if (std::optional<PatchFamily> patches = f->patches()) out.push_back(*patches);
    return out;
}

std::optional<PatchFamily> patchFamily(const std::string& name)
{
    for (const PatchFamily& f : patchFamilies())
        if (name == f.name) return f;
    return std::nullopt;
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
