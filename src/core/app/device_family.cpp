// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_family.h"

#include "core/app/session.h"

namespace tolvex {

void startFamilyTables(Session& s, const std::string& progpath, bool diagnostics)
{
    for (const auto& f : s.families.all()) f->startTables(s, progpath, diagnostics);
}

bool loadDeferredFamilyTables(Session& s)
{
    bool any = false;
    for (const auto& f : s.families.all()) any = f->loadDeferredTables(s) || any;
    return any;
}

namespace {

// A Roland data set (DT1): F0 41, device, a model id of one to four bytes,
// 12, address and data, checksum, F7; address, data and checksum add up to
// 0 modulo 128. The model id's length is not in the message: each is tried.
bool rolandChecksumHolds(ByteView sx)
{
    if (sx.size() < 10 || sx[1] != 0x41 || sx.back() != 0xF7) return false;
    for (std::size_t command = 4; command <= 7 && command + 5 < sx.size(); ++command) {
        if (sx[command] != 0x12) continue;
        unsigned sum = 0;
        for (std::size_t i = command + 1; i + 1 < sx.size(); ++i) sum += sx[i];
        if (sum % 128 == 0) return true;
    }
    return false;
}

}  // namespace

bool splitProvesWhole(const PatchFamily& family, ByteView sx)
{
    const auto split = family.split(sx);
    return split && split->proven && split->problems.empty() && !split->items.empty();
}

std::optional<Bytes> DeviceFamily::roundTrip(ByteView) const
{
    throw TolvexError(std::string("The ") + name() + " family reads no dump of its own");
}

bool DeviceFamily::provesWhole(ByteView sx) const
{
    const std::optional<PatchFamily> own = patches();
    return own && splitProvesWhole(*own, sx);
}

bool messageProvesWhole(const FamilyRegistry& families, ByteView sx)
{
    if (sx.size() < 2 || sx.front() != 0xF0 || sx.back() != 0xF7) return false;
    if (rolandChecksumHolds(sx)) return true;
    for (const auto& f : families.all())
        if (f->provesWhole(sx)) return true;
    return false;
}

std::optional<DumpConfirmation> dumpConfirmation(const FamilyRegistry& families, ByteView sx)
{
    for (const auto& f : families.all())
        if (auto c = f->confirmation(sx)) return c;
    return std::nullopt;
}

}  // namespace tolvex
