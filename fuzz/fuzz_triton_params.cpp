// SPDX-License-Identifier: GPL-3.0-or-later
// Triton parameter-change texts, from any bytes.
#include "devices/triton/triton_params.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes sx(data, data + size);
    std::string shortDesc;
    (void)TriParamParse(sx, &shortDesc);
    return 0;
}
