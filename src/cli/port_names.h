// SPDX-License-Identifier: GPL-3.0-or-later
// A port named on the command line. ALSA and JACK both list ports as
// "client:port"; a user types what the program calls its port ("Tolvex In")
// as often as the whole name ("Tolvex In:Tolvex In").
#pragma once

#include <string>
#include <vector>

namespace tolvex {

// The listed port `wanted` means, letter case ignored: the port of that whole
// name; else the one port whose own name (the part after the first ':') it is.
// When that own name belongs to several ports, `port` is empty and
// `candidates` lists them in list order; when it fits none, both are empty.
struct PortMatch {
    std::string port;
    std::vector<std::string> candidates;
};
PortMatch matchPort(const std::vector<std::string>& names, const std::string& wanted);

// "MIDI output port name WANTED fits several ports: A, B; give the whole name"
std::string severalPortsText(const char* direction, const std::string& wanted, const std::vector<std::string>& ports);

}  // namespace tolvex
