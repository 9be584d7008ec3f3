// SPDX-License-Identifier: GPL-3.0-or-later
// The DX/TX extractors: any message is unpacked or refused with its error;
// what one builder makes of an unpacked bank unpacks to the same tables.
#include <memory>

#include "devices/yamaha/yamaha_formats.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

template <class F>
bool extracted(F&& f)
{
    try {
        f();
        return true;
    } catch (const TolvexError&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes sx(data, data + size);
    // The tables live for the whole run: each reader replaces what it reads.
    static const auto t = std::make_unique<YamahaTables>();
    extracted([&] { ExtractDXTX_VMEM(sx, t->DXTX_VMEM); });
    std::array<std::uint8_t, 155> voice{};
    extracted([&] { ExtractDX7iiVoiceEditBuf(sx, voice); });
    extracted([&] { ExtractDX7iiPerfEditBuf(sx, t->DX7iiPerfEditBuf); });
    if (extracted([&] { ExtractDX7iiPerfBank(sx, t->DX7iiPackedPerf); })) {
        std::array<DX7iiPerformance, 32> again{};
        fuzz::require(extracted([&] { ExtractDX7iiPerfBank(DX7iiPerftoSysex(0, t->DX7iiPackedPerf), again); }));
        fuzz::require(again == t->DX7iiPackedPerf);
    }
    TX802Pced pced{};
    extracted([&] { ExtractTX802PCED(sx, pced); });
    auto pmem = std::make_unique<std::array<TX802Performance, 64>>();
    extracted([&] { ExtractTX802PMEM(sx, *pmem); });
    return 0;
}
