// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV line reader of the mapping tables and CSV bank files.
#pragma once

#include <string>
#include <vector>
#include "core/text/bytes.h"

namespace tolvex {

// Appends the fields of one line to AFields. Quoted fields may hold the separator
// and doubled quotes; an empty line gives no fields.
void ParseCSVLine(const std::string& ALine, std::vector<std::string>& AFields, char ValueSeparator);

// The comma-separated decimal integers of a table row, each field without its
// blanks and tabs around it; false when a field is no number.
bool ParseCSVIntegers(const std::string& ALine, std::vector<int>& values);

}  // namespace tolvex
