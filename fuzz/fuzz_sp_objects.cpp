// SPDX-License-Identifier: GPL-3.0-or-later
// Peavey SP object dumps and directory replies: the decoder on any message
// after an SP header, then the texts and the bank report of what it kept.
#include "devices/peavey/peavey_report.h"
#include "devices/peavey/peavey_sysex.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes sx = {0xF0, 0x00, 0x00, 0x1B, 0x02, 0x05};
    sx.insert(sx.end(), data, data + size);
    sx.shrink_to_fit();
    PeaveyRecords rec;
    std::string error;
    const std::int32_t type = PV_Extract_SP_obj(sx, rec, error);
    fuzz::require(type >= -1);
    if (size > 0) {
        (void)PV_DirStatusText(rec, data[0] % 8);
        (void)PV_DirListText(rec);
        if (rec.PV_Bank_Object) (void)PV_BankReport(*rec.PV_Bank_Object, data[0], "Fuzz Bank");
    }
    return 0;
}
