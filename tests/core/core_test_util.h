// SPDX-License-Identifier: GPL-3.0-or-later
// Byte and error helpers shared by the core tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex::testing {

// "F0 43 10" gives {0xF0, 0x43, 0x10}.
inline Bytes bytesOf(const std::string& hex)
{
    Bytes out;
    std::istringstream in(hex);
    for (std::string word; in >> word;) out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return out;
}

// "F0 01 F7 | F0 02 F7" gives two messages; "" gives none.
inline std::vector<Bytes> messagesOf(const std::string& hex)
{
    std::vector<Bytes> out;
    std::istringstream in(hex);
    for (std::string one; std::getline(in, one, '|');) out.push_back(bytesOf(one));
    return out;
}

// The text of the error `action` throws, or "" when it throws none.
template <class Action>
std::string errorOf(Action&& action)
{
    try {
        action();
    } catch (const TolvexError& e) {
        return e.what();
    }
    return "";
}

}  // namespace tolvex::testing
