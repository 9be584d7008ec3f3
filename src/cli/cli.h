// SPDX-License-Identifier: GPL-3.0-or-later
// tolvex-cli: the session's commands without a window (names, ports, send, receive).
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/app/midi_devices.h"
#include "core/app/shell.h"

namespace tolvex {

// Makes the two MIDI devices; `clientName` names this process towards the MIDI service.
using DeviceFactory = std::function<std::unique_ptr<MidiDevices>(Shell& shell, const std::string& clientName)>;

// Runs one command line (args without the program name). Returns the exit
// status, the same for every command: 0 done, 1 failed or nothing done, 2 for
// a usage error (an unknown command, option or port). `makeDevices` returns
// nullptr when there is no MIDI system. `errIsTerminal`: `err` is a terminal,
// so send and receive show progress lines there. `processEnds`: the process
// ends after the call, so what it read is left to the system, not freed.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const DeviceFactory& makeDevices,
           bool errIsTerminal = false, bool processEnds = false);

// Async-signal-safe: the running send or receive stops at its next step, as
// after Ctrl+C (SIGINT) or SIGTERM; receive saves what it has. runCli then
// returns 128 + signalNumber. Each runCli starts with no request.
void requestCliStop(int signalNumber) noexcept;
// The signal a stop was asked with (0: none yet).
int cliStopSignal() noexcept;

// What every command says when there is no MIDI system to open a port on.
inline constexpr char kNoMidiSystem[] = "No MIDI system found (neither ALSA nor JACK)";

// The folder of this program ('/' at the end): its settings and tables.
std::string programFolder();

// The MIDI devices of one command and the listed input (or output) port that
// matches `wanted`, letter case ignored. With no MIDI system `devices` is
// empty, with no such port `port` is: `err` has been told which, as
// "tolvex-cli COMMAND: no MIDI input port named WANTED".
struct CliPort {
    std::unique_ptr<MidiDevices> devices;
    std::string port;
};
CliPort findCliPort(const DeviceFactory& makeDevices, Shell& shell, const std::string& clientName, bool input,
                    const std::string& wanted, const std::string& command, std::ostream& err);

// The platform's devices (TOLVEX_MIDI_API picks the service); nullptr when
// there is no MIDI system at all.
DeviceFactory systemDeviceFactory();

}  // namespace tolvex
