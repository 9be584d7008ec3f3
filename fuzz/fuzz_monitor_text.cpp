// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor texts and the text utilities: the line of any event, hex lists,
// the field parser on a line of text and hexadecimal numbers as typed.
#include <string>

#include "core/sysex/monitor_text.h"
#include "core/text/text_utils.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    TMyMidiEvent e;
    e.MidiMessage = data[0];
    e.Data1 = data[1];
    e.Data2 = data[2];
    e.Sysex.assign(data + 3, data + size);
    (void)MonitorMessageText(e);
    const std::string list = SxStringToHexList(e.Sysex);
    fuzz::require(list.size() <= 3 * 25 + 8);
    // The field parser takes one line of a file or of what the user typed.
    constexpr std::size_t kLine = 256;
    std::string text(reinterpret_cast<const char*>(data + 3), std::min(size - 3, kLine)), item;
    std::size_t guard = text.size() + 1;
    while (!text.empty() && guard-- > 0) parse(text, item, data[0] & 1 ? ' ' : ',');
    fuzz::require(text.empty());
    try {
        (void)HexStringToInt(std::string(reinterpret_cast<const char*>(data + 3), std::min<std::size_t>(size - 3, 12)));
    } catch (const TolvexError&) {
    }
    (void)dialogNameFilters(item);
    return 0;
}
