// SPDX-License-Identifier: GPL-3.0-or-later
// Byte strings and the error type that byte-level code throws.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolvex {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Thrown by byte-level and text code. what() is the exact text the user sees;
// the command layer shows it in a box and leaves the message list unchanged.
class TolvexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string (the documented texts are written
// as printf formats, so keeping them in that form makes them easy to check).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tolvex
