// SPDX-License-Identifier: GPL-3.0-or-later
// Byte and error helpers shared by the core tests.
#pragma once

#include <cstdlib>
#include <optional>
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

// An environment variable set for the test's lifetime.
struct ScopedEnv {
    ScopedEnv(const char* name_, const std::string& value) : name(name_)
    {
        if (const char* old = std::getenv(name)) previous = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (previous)
            ::setenv(name, previous->c_str(), 1);
        else
            ::unsetenv(name);
    }
    const char* name;
    std::optional<std::string> previous;
};

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
