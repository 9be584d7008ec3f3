// SPDX-License-Identifier: GPL-3.0-or-later
// The .syx file reader: every message it keeps starts with F0, holds no
// real-time byte (F8-FF), and all of them together are no longer than the file.
#include "core/sysex/syx_file.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SyxSplitter splitter;
    splitter.feed(fuzz::view(data, size));
    const SyxParse parsed = splitter.finish();
    std::size_t total = 0;
    for (const Bytes& m : parsed.messages) {
        fuzz::require(!m.empty() && m.front() == 0xF0);
        for (const std::uint8_t b : m) fuzz::require(b < 0xF8);
        total += m.size();
    }
    fuzz::require(total <= size);
    return 0;
}
