// SPDX-License-Identifier: GPL-3.0-or-later
// A Korg Triton on a loopback port: it answers a current Combi dump request on
// global channel 1 with a dump of `currentCombi`, `delayMs` after the
// request on the shell's clock (virtual in tests, real under the command
// line's shell); and the dumps as the Triton sends them.
#pragma once

#include <string>
#include <vector>

#include "core/app/shell.h"
#include "core/text/bytes.h"
#include "devices/common/korg_packing.h"
#include "devices/triton/triton_alldata.h"
#include "devices/triton/triton_records.h"
#include "midi/loopback.h"

namespace tolvex::testing {

// F0 42 3n 50, the function and its header bytes, the record(s) Korg-packed, F7.
Bytes tritonCurrentCombiDump(int channel, const triton::Ttri_Combi& combi);  // function 49
// Function 4C (Programs) or 4D (Combinations) of `kind` (1 bank, 2 one
// record, 3 all banks) with its bank and number bytes; byte 5 is 02 for all
// Programs, else 00.
template <class Records>
Bytes tritonDump(int channel, std::uint8_t function, int kind, int bank, int number, const Records& records)
{
    const std::uint8_t byte5 = function == 0x4C && kind == 3 ? 0x02 : 0x00;
    const Bytes head{
        0xF0,     0x42,  static_cast<std::uint8_t>(0x30 | (channel & 0x0F)),   0x50,
        function, byte5, static_cast<std::uint8_t>(kind << 4 | (bank & 0x0F)), static_cast<std::uint8_t>(number)};
    return KorgDatatoSXConvert(head, triton::recordBytes(records));
}

// An All Data dump (function 50) of 1,053,004 bytes on channel 0: `combis`
// (at most 512 records of 448 bytes) and `programs` (at most 640 of 540) at
// their places in the unpacked data, every other byte 0x55, Korg-packed from
// byte 11.
Bytes tritonAllDataDump(const std::vector<Bytes>& combis, const std::vector<Bytes>& programs);

class SimulatedTriton {
public:
    SimulatedTriton(MidiLoopback& bus, Shell& shell, std::string port);
    ~SimulatedTriton();
    SimulatedTriton(const SimulatedTriton&) = delete;
    SimulatedTriton& operator=(const SimulatedTriton&) = delete;

    triton::Ttri_Combi currentCombi{};
    int delayMs = 2;

private:
    void hear(ByteView message);

    MidiLoopback& bus_;
    Shell& shell_;
    std::string port_;
    int timers_ = 0;
};

}  // namespace tolvex::testing
