// SPDX-License-Identifier: GPL-3.0-or-later
// The Wavestation reader alone: any message after a Wavestation header
// unpacks into the records or is refused with its box, and the name lists and
// map text come from what it unpacked. One session holds the records for the
// whole run and each input leaves its data and log lines empty again (what an
// input allocates it frees, so libFuzzer never suspects a leak); the trace of
// a short message goes nowhere (a folder that cannot exist), so no input
// writes a file.
#include <cstring>

#include "core/app/session.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

template <class Records>
void fill(Records& records, const Bytes& data)
{
    std::memcpy(&records, data.data(), std::min(sizeof records, data.size()));
}

void unpacked(WSSRRecords& r, const Bytes& sx)
{
    fuzz::require(WSSR_format(sx).has_value());
    switch (r.WSSR_curr_message_type) {
    case kWSSR_PatchBank:
        fill(r.WSSR_35patch, r.WSSR_generic_data);
        for (const TWSSR_patch& p : r.WSSR_35patch) fuzz::require(WSSR_nameText(p.Name).size() <= 16);
        break;
    case kWSSR_PerformanceBank:
        fill(r.WSSR_50performance, r.WSSR_generic_data);
        for (const TWSSR_performance& p : r.WSSR_50performance) fuzz::require(WSSR_nameText(p.PERF_NAME).size() <= 16);
        break;
    case 0x5D:
    case 0x5F:
    case kWSSR_PerfMapDump:
        fill(r.WSSR_PerfMap, r.WSSR_generic_data);
        (void)WSSR_perfMapText(r.WSSR_PerfMap, r.WSSR_global_perf_name_table);
        break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::NullShell shell;
    static Session s(shell);
    s.paths.diagnosticsFolder = "/dev/null/";
    Bytes sx = {0xF0, 0x42, 0x30, 0x28};
    sx.insert(sx.end(), data, data + size);
    sx.shrink_to_fit();
    if (size >= 2) {
        const std::size_t start = data[0] % (sx.size() + 1), n = data[1];
        if (start + 2 * n <= sx.size()) fuzz::require(WSSR_unnibble(sx, start, n).size() == n);
    }
    WSSRRecords& r = s.families.records<WSSRRecords>();
    if (Extract_WSSR(s, sx)) unpacked(r, sx);
    Bytes().swap(r.WSSR_generic_data);
    s.log.clear();
    return 0;
}
