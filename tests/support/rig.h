// SPDX-License-Identifier: GPL-3.0-or-later
// A session wired to a loopback bus the way the program wires it to real
// ports: both devices open on one port, incoming MIDI handled by the session.
#pragma once

#include <memory>
#include <string>

#include "core/app/incoming.h"
#include "core/app/session.h"
#include "midi/loopback.h"
#include "midi/port_devices.h"
#include "support/scripted_shell.h"
#include "support/simulated_device.h"

namespace tolvex::testing {

struct Rig {
    explicit Rig(const std::string& port_ = "Synth") : bus({port_}), devices(shell, bus.makeInput(), bus.makeOutput())
    {
        s.midi.devices = &devices;
        s.midi.MIDI_In_Present = s.midi.MIDI_Out_Present = true;
        devices.onInput = [this] { MIDIInput1MidiInput(s); };
        devices.onOverflow = [this] { MIDIInput1Overflow(s); };
        devices.onLost = [this](const std::string& reason) { MidiDeviceLost(s, reason); };
        devices.openInput(port_, true);
        devices.openOutput(port_);
        s.midi.midiOutput = devices.output();
        port = port_;
    }
    ~Rig()
    {
        devices.closeInput();
        devices.closeOutput();
    }

    // A device answering on the rig's port (created on first use).
    SimulatedDevice& synth()
    {
        if (!device) device = std::make_unique<SimulatedDevice>(bus, shell, port);
        return *device;
    }
    // A message arriving from the port now, handled at the next pass of the event loop.
    void receive(ByteView message) { bus.inject(port, message); }

    ScriptedShell shell;
    Session s{shell};
    MidiLoopback bus;
    PortDevices devices;
    std::string port;
    std::unique_ptr<SimulatedDevice> device;
};

}  // namespace tolvex::testing
