// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV reader on text in memory: any text reads line by line into fields
// without a crash, and a line without quotes reads as its text split at every
// separator.
#include "core/text/csv_parser.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == sep)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TwpsCsvParser csv;
    csv.SetValueSeparatorType(data[0] & 1 ? vsTab : vsComma);
    csv.IgnoreFirstLine = (data[0] & 2) != 0;
    csv.LoadFromText(text);
    std::size_t lines = 0;
    while (csv.ReadLn()) {
        fuzz::require(++lines <= size);
        const std::string& line = csv.Line();
        if (!line.empty() && line.find('"') == std::string::npos)
            fuzz::require(csv.Fields() == split(line, csv.ValueSeparator()));
    }
    std::vector<std::string> fields;
    ParseCSVLine(text, fields, ',');
    return 0;
}
