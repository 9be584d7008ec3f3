// SPDX-License-Identifier: GPL-3.0-or-later
// The DX/TX checksum test of any message: a verdict and a detail, never a
// read outside the message.
#include "devices/yamaha/yamaha_formats.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes sx(data, data + size);
    std::string detail;
    const bool ok = DX7VerifyCheckSum(sx, detail);
    fuzz::require(ok || !detail.empty());
    return 0;
}
