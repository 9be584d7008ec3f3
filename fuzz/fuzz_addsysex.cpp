// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler alone: the input split into buffers at points the fuzzer
// chooses, as a driver may hand them over. Every message it completes ends
// with F7 and holds no F0 past its first byte, and together they are no longer
// than the input. One session lends the assembler its log for the whole run;
// each input starts with an empty assembler and leaves the log empty (what an
// input allocates it frees, so libFuzzer never suspects a leak).
#include "core/app/session.h"
#include "core/sysex/sx_object.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

void requireWhole(const Bytes& m)
{
    fuzz::require(!m.empty() && m.back() == 0xF7);
    for (std::size_t i = 1; i < m.size(); ++i) fuzz::require(m[i] != 0xF0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::NullShell shell;
    static Session owner(shell);
    if (size < 1) return 0;
    TSXobject assembler(owner.log);
    // The first byte picks the buffer length (1-64).
    const std::size_t chunk = data[0] % 64 + 1;
    std::size_t total = 0;
    TMyMidiEvent e;
    e.MidiMessage = 0xF0;
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
    owner.log.clear();
    return 0;
}
