// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's MIDI service on Linux: the ALSA sequencer (alsa_backend.h)
// or a JACK server (jack_backend.h), both written directly against their
// libraries, chosen once at start.
#pragma once

#include <string>
#include <string_view>

#include "midi/alsa_backend.h"
#include "midi/midi_backend.h"

namespace tolvex {

enum class MidiApi { None, Alsa, Jack };

// The names of the program's own ports, listed after the real devices where
// the service lets other programs connect to them.
inline constexpr char kVirtualInName[] = "Tolvex In";
inline constexpr char kVirtualOutName[] = "Tolvex Out";

std::string_view midiApiName(MidiApi api);

// The service in use and its two back-ends, which share one connection to it
// (one sequencer client, or one JACK client for the port lists) that lives as
// long as they do.
struct MidiSystem {
    MidiApi api = MidiApi::None;
    MidiBackendPair backends;
};

// `requested` is "alsa", "jack" or "none"; anything else picks ALSA when its
// sequencer can be opened, else JACK when a server runs, else None. A
// requested service that is not there gives None: the program then works on
// files without an error (its back-ends list no ports). `clientName` names the
// program towards the service (its JACK port clients are "<clientName> In"
// and "<clientName> Out"). Nothing is printed when a service is missing.
MidiSystem openMidiSystem(std::string_view requested, const std::string& clientName = "Tolvex");
// As openMidiSystem with TOLVEX_MIDI_API when set, else `setting` (the settings file's choice).
MidiSystem openMidiSystemFromEnvironment(std::string_view setting, const std::string& clientName = "Tolvex");

// Asks without starting a server, and without libjack printing anything.
bool jackServerRunning();
// The running JACK server's period (its latency floor), 0 without a server.
double jackPeriodMs();

}  // namespace tolvex
