// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/port_names.h"

#include "core/text/text_utils.h"

namespace tolvex {

PortMatch matchPort(const std::vector<std::string>& names, const std::string& wanted)
{
    PortMatch match;
    for (const std::string& n : names)
        if (equalsIgnoringCase(n, wanted)) {
            match.port = n;
            return match;
        }
    for (const std::string& n : names) {
        const auto colon = n.find(':');
        if (colon != std::string::npos && equalsIgnoringCase(n.substr(colon + 1), wanted))
            match.candidates.push_back(n);
    }
    if (match.candidates.size() == 1) {
        match.port = match.candidates.front();
        match.candidates.clear();
    }
    return match;
}

std::string severalPortsText(const char* direction, const std::string& wanted, const std::vector<std::string>& ports)
{
    std::string text = std::string("MIDI ") + direction + " port name " + wanted + " fits several ports: ";
    for (std::size_t i = 0; i < ports.size(); ++i) text += (i > 0 ? ", " : "") + ports[i];
    return text + "; give the whole name";
}

}  // namespace tolvex
