// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler: the input split into buffers at points the fuzzer chooses,
// with realtime bytes between them, as a driver may hand them over.
#include "core/app/session.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    fuzz::NullShell shell;
    Session s(shell);
    // The first byte picks the buffer length (1-64); a byte 0xF8 or 0xFE in the
    // input stands for a realtime event between buffers.
    const std::size_t chunk = data[0] % 64 + 1;
    std::size_t total = 0;
    for (std::size_t at = 1; at < size; at += chunk) {
        TMyMidiEvent e;
        e.MidiMessage = 0xF0;
        e.Sysex.assign(data + at, data + std::min(size, at + chunk));
        if (s.SX_Object.Addsysex(e)) total += s.SX_Object.sxdata.size();
        // Messages finished inside a buffer end with their F7 (the first buffer
        // of all may lack the F0 a driver always sends).
        for (const Bytes& m : s.SX_Object.earlier) fuzz::require(!m.empty() && m.back() == 0xF7);
    }
    fuzz::require(total <= size);
    return 0;
}
