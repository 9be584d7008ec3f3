// SPDX-License-Identifier: GPL-3.0-or-later
// The lines `names`, `receive` and `run --list-entries` print: one line per
// message, fields separated by tabs, so a script can cut them apart.
#pragma once

#include <cstddef>
#include <string>

namespace tolvex {

// `text` safe for one field of a line: a byte below 0x20, 0x7F or a backslash
// is written as \xHH (two upper-case hex digits), so a damaged name holding a
// line feed or a tab cannot break or shift the line.
std::string escapeField(const std::string& text);

// "PATH\tNUMBER\tLENGTH\tNAME\tDETAIL", the entry numbered from 1.
std::string entryLine(const std::string& path, std::size_t number, std::size_t length, const std::string& name,
                      const std::string& detail);

}  // namespace tolvex
