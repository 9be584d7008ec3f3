// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/entry_line.h"

namespace tolvex {

std::string escapeField(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '\\') {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string entryLine(const std::string& path, std::size_t number, std::size_t length, const std::string& name,
                      const std::string& detail)
{
    return escapeField(path) + '\t' + std::to_string(number) + '\t' + std::to_string(length) + '\t' +
           escapeField(name) + '\t' + escapeField(detail);
}

}  // namespace tolvex
