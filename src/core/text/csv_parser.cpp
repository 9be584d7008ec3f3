// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/csv_parser.h"

#include "core/text/bytes.h"
#include "core/text/ini_file.h"
#include "core/text/text_utils.h"

namespace tolvex {

void ParseCSVLine(const std::string& ALine, std::vector<std::string>& AFields, char ValueSeparator)
{
    enum { Start, Unquoted, Quoted, AfterQuote } state = Start;
    std::string sField;
    const std::size_t n = ALine.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = ALine[i];
        const bool last = i + 1 == n;
        switch (state) {
        case Start:
            sField.clear();
            if (c == '"') {
                state = Quoted;
            } else if (c == ValueSeparator) {
                AFields.push_back(sField);
                if (last) AFields.emplace_back();
            } else {
                sField = c;
                if (last) AFields.push_back(sField);
                state = Unquoted;
            }
            break;
        case Unquoted:
            if (c == ValueSeparator) {
                AFields.push_back(sField);
                if (last) AFields.emplace_back();
                state = Start;
            } else {
                sField += c;
                if (last) AFields.push_back(sField);
            }
            break;
        case Quoted:
            if (c == '"') {
                if (last)
                    AFields.push_back(sField);
                else
                    state = ALine[i + 1] == ValueSeparator ? Unquoted : AfterQuote;
            } else {
                sField += c;
            }
            break;
        case AfterQuote:
            // Only a doubled quote continues the field; anything else after a
            // closing quote is dropped.
            if (c == '"') {
                sField += '"';
                state = Quoted;
            }
            break;
        }
    }
}

bool ParseCSVIntegers(const std::string& ALine, std::vector<int>& values)
{
    std::vector<std::string> fields;
    ParseCSVLine(ALine, fields, ',');
    values.assign(fields.size(), 0);
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!parseDecimal(trimmed(fields[i]), values[i])) return false;
    return true;
}

}  // namespace tolvex
