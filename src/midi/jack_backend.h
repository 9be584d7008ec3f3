// MIDI ports on a JACK server, straight over libjack: messages of any length
// in both directions, and a port that stops working (server gone, the chosen
// connection gone) is told to its device.
#pragma once

#include <jack/jack.h>

#include <memory>
#include <string>

#include "midi/midi_backend.h"

namespace tolvex {

// Opens a client without starting a server and without libjack printing
// anything; nullptr when no server runs.
jack_client_t* openQuietJackClient(const std::string& name);

// `clientName` + " In" / " Out" names the client; its port is the program's
// own virtual port ("Tolvex In" / "Tolvex Out"), connected to the chosen port
// unless that virtual port itself was chosen.
std::unique_ptr<MidiInBackend> makeJackIn(const std::string& clientName);
std::unique_ptr<MidiOutBackend> makeJackOut(const std::string& clientName);

}  // namespace tolvex
