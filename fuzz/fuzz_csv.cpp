// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV line reader: any text reads line by line into fields without a
// crash, and a line without quotes reads as its text split at every separator.
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
    const char sep = data[0] & 1 ? '\t' : ',';
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t to = text.find('\n', from);
        if (to == std::string::npos) to = text.size();
        const std::string line = text.substr(from, to - from);
        from = to + 1;
        std::vector<std::string> fields;
        ParseCSVLine(line, fields, sep);
        if (!line.empty() && line.find('"') == std::string::npos) fuzz::require(fields == split(line, sep));
    }
    std::vector<std::string> fields;
    ParseCSVLine(text, fields, ',');
    return 0;
}
