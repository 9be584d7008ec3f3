// SPDX-License-Identifier: GPL-3.0-or-later
// The patch families as the library meets a file: any file image is read by
// a family's file reader or not, and every message, read or given, is split
// into whole patches or refused; a patch found has its family's record size,
// and what it is compared by comes from it without a fault.
#include <cstdlib>

#include "devices/devices.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

void splitAll(const std::vector<PatchFamily>& families, ByteView sx)
{
    for (const PatchFamily& f : families) {
        const auto split = f.split(sx);
        if (!split) continue;
        for (const PatchItem& it : split->items) {
            for (const PatchFormat& pf : f.formats) {
                if (it.format != pf.format) continue;
                // A record size of 0: records of any size (Peavey objects).
                if (pf.recordSize != 0 && it.record.size() != pf.recordSize) std::abort();
                if (pf.parameters) (void)pf.parameters(it.record);
                if (pf.asSame) (void)pf.asSame(it.record, true);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<PatchFamily> families = patchFamilies();
    const ByteView file(data, size);
    splitAll(families, file);
    for (const PatchFamily& f : families) {
        if (!f.readFile) continue;
        std::vector<std::string> notes;
        if (const auto messages = f.readFile(file, notes))
            for (const Bytes& m : *messages) splitAll(families, m);
    }
    return 0;
}
