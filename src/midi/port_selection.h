// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a port by number or by name, as the input and the output devices
// both do. Error is the device's exception type; it carries the user's text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace tolvex {

// The back-end's port names; its failure becomes Error with the same text,
// its code left in `code`.
template <class Error, class Backend>
std::vector<std::string> portNamesOf(Backend& backend, MidiErrorCode& code)
{
    try {
        return backend.portNames();
    } catch (const MidiBackendError& e) {
        code = e.code;
        throw Error(e.what());
    }
}

// The name of port `id`: "Invalid device ID" unless id is below numdevs and
// the list (read now) still holds it.
template <class Error>
const std::string& portAt(const std::vector<std::string>& list, std::int64_t id, std::uint16_t numdevs)
{
    if (id < 0 || id >= numdevs || static_cast<std::size_t>(id) >= list.size()) throw Error("Invalid device ID");
    return list[static_cast<std::size_t>(id)];
}

// The number of port `name` in the list; Error with notInstalled when it is
// not there.
template <class Error>
std::size_t portIndexOf(const std::vector<std::string>& list, const std::string& name, const std::string& notInstalled)
{
    const auto it = std::find(list.begin(), list.end(), name);
    if (it == list.end()) throw Error(notInstalled);
    return static_cast<std::size_t>(it - list.begin());
}

// A port count as the devices keep it.
inline std::uint16_t portCount(const std::vector<std::string>& list)
{
    return static_cast<std::uint16_t>(std::min<std::size_t>(list.size(), 0xFFFF));
}

}  // namespace tolvex
