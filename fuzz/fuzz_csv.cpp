// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV reader: any file reads line by line into fields without a crash.
#include "core/text/csv_parser.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::string path = fuzz::asFile(data + 1, size - 1, ".csv");
    TwpsCsvParser csv;
    csv.SetValueSeparatorType(data[0] & 1 ? vsTab : vsComma);
    csv.IgnoreFirstLine = (data[0] & 2) != 0;
    try {
        csv.LoadFromFile(path);
    } catch (const TolvexError&) {
        return 0;
    }
    std::size_t lines = 0;
    while (csv.ReadLn()) fuzz::require(++lines <= size);
    std::vector<std::string> fields;
    ParseCSVLine(std::string(reinterpret_cast<const char*>(data + 1), size - 1), fields, ',');
    return 0;
}
