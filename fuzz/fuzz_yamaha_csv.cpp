// SPDX-License-Identifier: GPL-3.0-or-later
// CSV bank files and the DX7II to TX802 conversion: any text is read or
// refused with its error; what is read builds a message that unpacks to the
// same records, and converting those records gives TX802 messages that do too.
#include <memory>
#include <string>

#include "devices/csv_bank_files.h"
#include "devices/wavestation/wavestation_sysex.h"
#include "devices/yamaha/yamaha_convert.h"
#include "devices/yamaha/yamaha_formats.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The channel box may hold 0-255; the file's length picks one, so whole files seed the run.
    const int channel = static_cast<int>(size & 0xFF);
    const std::string content(reinterpret_cast<const char*>(data), size);
    // The tables live for the whole run: a good file replaces what they hold.
    static const auto yamaha = std::make_unique<YamahaTables>();
    static const auto ws = std::make_unique<WSSRRecords>();
    CsvBank bank;
    try {
        bank = parseCsvBank(content, channel, *yamaha, *ws);
    } catch (const CsvBankError&) {
        return 0;
    }
    if (bank.type == 1) {
        auto again = std::make_unique<std::array<TX802Performance, 64>>();
        ExtractTX802PMEM(bank.message, *again);
        fuzz::require(*again == yamaha->TX802PMEM);
    } else if (bank.type == 3) {
        std::array<DX7iiPerformance, 32> again{};
        ExtractDX7iiPerfBank(bank.message, again);  // throws on a byte above 7F or a bad checksum
        fuzz::require(again == yamaha->DX7iiPackedPerf);
        for (int offset : {0, 32}) {
            Yam_DX7pb_to_TX802PMEM(again, offset, channel & 0x0F, yamaha->TX802PMEM);
            auto pmem = std::make_unique<std::array<TX802Performance, 64>>();
            ExtractTX802PMEM(TX802PMEMtoSysex(channel, yamaha->TX802PMEM), *pmem);
            fuzz::require(*pmem == yamaha->TX802PMEM);
        }
        const TX802Pced pced = Yam_DX7p_to_TX802PCED(again[0], channel & 0x0F);
        TX802Pced back{};
        ExtractTX802PCED(TX802PCEDtoSysex(channel, pced), back);
        fuzz::require(back == pced);
    } else {
        fuzz::require(bank.type == 6 && bank.message.size() == kWSSR_PerfMapMessageLength);
    }
    return 0;
}
