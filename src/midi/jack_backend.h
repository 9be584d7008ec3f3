// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI ports on a JACK server, straight over libjack: messages of any length
// in both directions, losses inside the server counted, and a port that
// stops working (server gone, the chosen connection gone) told to its device.
#pragma once

#include <jack/jack.h>

#include <cstdint>
#include <memory>
#include <string>

#include "midi/alsa_backend.h"
#include "midi/midi_backend.h"

namespace tolvex {

// Opens a client without starting a server and without libjack printing
// anything; nullptr when no server runs.
jack_client_t* openQuietJackClient(const std::string& name);
// How many clients openQuietJackClient has opened in this process.
std::uint64_t jackClientsOpened();

// One long-lived client, never activated (so it costs the server's periods
// nothing), through which both back-ends list ports and read the server's
// figures; after the server restarts it is replaced on the next use.
class JackLister;
// nullptr when no server runs.
std::shared_ptr<JackLister> openJackLister(const std::string& clientName);

// `clientName` + " In" / " Out" names the client of each open port; its port
// is the program's own virtual port ("Tolvex In" / "Tolvex Out"), connected
// to the chosen port unless that virtual port itself was chosen.
MidiBackendPair makeJackBackends(std::shared_ptr<JackLister> lister, const std::string& clientName);

}  // namespace tolvex
