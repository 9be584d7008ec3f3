// SPDX-License-Identifier: GPL-3.0-or-later
// `tolvex-cli run` inside a test: its exit status and its two streams, and the
// small file helpers the command-line tests share.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/runner.h"
#include "core/sysex/syx_file.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/temp_dir.h"

namespace tolvex::testing {

struct RunResult {
    int status;
    std::string out, err;
};

// Runs `tolvex-cli run ARGS` with `script` on standard input, in `folder` when
// one is given; a null `table` is the program's own command table.
inline RunResult runTool(const std::vector<std::string>& args, const std::string& script = "",
                         const DeviceFactory& devices = {}, const CommandTable* table = nullptr,
                         const std::string& folder = "")
{
    const InFolder in(folder);
    std::istringstream input(script);
    std::ostringstream out, err;
    const int status = runCommands(args, input, out, err, devices, table);
    return {status, out.str(), err.str()};
}

// Runs `tolvex-cli ARGS` (any command), as on a terminal when `terminal` is set.
inline RunResult runCliTool(const std::vector<std::string>& args, const DeviceFactory& devices = {},
                            bool terminal = false)
{
    std::ostringstream out, err;
    const int status = runCli(args, out, err, devices, terminal);
    return {status, out.str(), err.str()};
}

// The MIDI devices a command opens, on the ports of `bus`.
inline DeviceFactory loopbackDevices(MidiLoopback& bus)
{
    return [&bus](Shell& shell, const std::string&) -> std::unique_ptr<MidiDevices> {
        return std::make_unique<PortDevices>(shell, bus.makeInput(), bus.makeOutput());
    };
}

inline std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::vector<Bytes> messagesInFile(const std::string& path)
{
    return readSyxFile(path).messages;
}

}  // namespace tolvex::testing
