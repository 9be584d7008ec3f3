// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler alone: the input split into buffers at points the fuzzer
// chooses, as a driver may hand them over. Every message it completes ends
// with F7 and holds no F0 past its first byte, and together they are no longer
// than the input. Its progress lines go to a log that keeps none of them
// (their texts are still built); each input starts with an empty assembler.
#include <algorithm>

#include "core/sysex/line_log.h"
#include "core/sysex/sx_object.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

// Checks each line's index on replace, as a real log would use it.
class CountingLog final : public LineLog {
public:
    int LogString(const std::string&) override { return lines_++; }
    void replace(int index, const std::string&) override { fuzz::require(index >= 0 && index < lines_); }

private:
    int lines_ = 0;
};

void requireWhole(const Bytes& m)
{
    fuzz::require(!m.empty() && m.back() == 0xF7);
    for (std::size_t i = 1; i < m.size(); ++i) fuzz::require(m[i] != 0xF0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    CountingLog log;
    TSXobject assembler(log);
    // The first byte picks the buffer length (1-64).
    const std::size_t chunk = data[0] % 64 + 1;
    std::size_t total = 0;
    TMyMidiEvent e;
    e.MidiMessage = 0xF0;
    e.Sysex.reserve(chunk);
    for (std::size_t at = 1; at < size; at += chunk) {
        e.Sysex.assign(data + at, data + std::min(size, at + chunk));
        const bool complete = assembler.Addsysex(e);
        for (const Bytes& m : assembler.earlier) {
            requireWhole(m);
            total += m.size();
        }
        if (complete) {
            requireWhole(assembler.sxdata);
            total += assembler.sxdata.size();
        }
    }
    fuzz::require(total <= size);
    return 0;
}
