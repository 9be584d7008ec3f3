// SPDX-License-Identifier: GPL-3.0-or-later
// Wavestation SR dumps: the format look-up, the nibble unpacking and the whole
// "ExtractWS" command on any message after a Wavestation header.
#include "core/app/session.h"
#include "devices/wavestation/wavestation_commands.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (fuzz::privateFolders(), true);
    (void)ready;
    Bytes sx = {0xF0, 0x42, 0x30, 0x28};
    sx.insert(sx.end(), data, data + size);
    sx.shrink_to_fit();
    if (const auto format = WSSR_format(sx)) (void)format;
    if (size >= 2) {
        const std::size_t start = data[0] % (sx.size() + 1), n = data[1];
        if (start + 2 * n <= sx.size()) fuzz::require(WSSR_unnibble(sx, start, n).size() == n);
    }
    fuzz::NullShell shell;
    Session s(shell);
    s.messages.append("dump", sx, "");
    s.messages.selectAll(true);
    s.messages.setCurrentIndex(0);
    try {
        Extract_WS_proc(s);
    } catch (const TolvexError&) {
    }
    return 0;
}
