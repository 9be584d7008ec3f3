// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/entry_line.h"

#include "core/text/text_utils.h"

namespace tolvex {

std::string escapeField(const std::string& text)
{
    return escapedBytes(text);
}

std::string entryLine(const std::string& path, std::size_t number, std::size_t length, const std::string& name,
                      const std::string& detail)
{
    return escapeField(path) + '\t' + std::to_string(number) + '\t' + std::to_string(length) + '\t' +
           escapeField(name) + '\t' + escapeField(detail);
}

}  // namespace tolvex
