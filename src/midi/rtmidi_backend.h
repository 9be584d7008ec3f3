// The platform MIDI service on Linux: ALSA through RtMidi, JACK straight over
// libjack (jack_backend.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "midi/midi_backend.h"

namespace tolvex {

enum class MidiApi { None, Alsa, Jack };

// The names of the program's own ports, listed after the real devices where
// the service lets other programs connect to them.
inline constexpr char kVirtualInName[] = "Tolvex In";
inline constexpr char kVirtualOutName[] = "Tolvex Out";

// "alsa", "jack" or "none"; anything else picks ALSA when its sequencer can be
// opened, else JACK when a server runs, else None. A requested service that is
// not there gives None: the program then works on files without an error.
MidiApi chooseMidiApi(std::string_view requested);
// TOLVEX_MIDI_API when set, else `setting` (the settings file's choice).
MidiApi chooseMidiApiFromEnvironment(std::string_view setting = {});
std::string_view midiApiName(MidiApi api);

bool alsaSequencerAvailable();
// Asks without starting a server, and without libjack printing anything.
bool jackServerRunning();
// The running JACK server's period (its latency floor), 0 without a server.
double jackPeriodMs();

// Back-ends over one service. `clientName` names the program towards the
// service (JACK and ALSA show it beside the port names; its input and output
// clients are "<clientName> In" and "<clientName> Out"). With MidiApi::None
// they list no ports.
std::unique_ptr<MidiInBackend> makeRtMidiIn(MidiApi api, const std::string& clientName = "Tolvex");
std::unique_ptr<MidiOutBackend> makeRtMidiOut(MidiApi api, const std::string& clientName = "Tolvex");

}  // namespace tolvex
