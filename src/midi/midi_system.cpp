// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_system.h"

#include <cstdlib>

#include "midi/jack_backend.h"

namespace tolvex {

namespace {

// No MIDI service: no ports, and opening one says so.
template <class Backend, class Watcher>
class NoMidi : public Backend {
public:
    std::vector<std::string> portNames() override { return {}; }
    void open(const std::string&, Watcher&) override
    {
        throw MidiBackendError(MidiErrorCode::NoSuchPort, "No MIDI system");
    }
    void close() override {}
};

using NoMidiIn = NoMidi<MidiInBackend, MidiReceiver>;

class NoMidiOut final : public NoMidi<MidiOutBackend, MidiSendDone> {
public:
    void send(ByteView, bool) override { throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI output not open"); }
};

MidiSystem openAlsa(const std::string& clientName)
{
    auto seq = openAlsaSeq(clientName);
    if (!seq) return {};
    return {MidiApi::Alsa, makeAlsaBackends(std::move(seq))};
}

MidiSystem openJack(const std::string& clientName)
{
    auto lister = openJackLister(clientName);
    if (!lister) return {};
    return {MidiApi::Jack, makeJackBackends(std::move(lister), clientName)};
}

}  // namespace

std::string_view midiApiName(MidiApi api)
{
    switch (api) {
    case MidiApi::Alsa: return "alsa";
    case MidiApi::Jack: return "jack";
    case MidiApi::None: break;
    }
    return "none";
}

MidiSystem openMidiSystem(std::string_view requested, const std::string& clientName)
{
    MidiSystem system;
    if (requested != "none" && requested != "jack") system = openAlsa(clientName);
    if (system.api == MidiApi::None && requested != "none" && requested != "alsa") system = openJack(clientName);
    if (system.api == MidiApi::None) system.backends = {std::make_unique<NoMidiIn>(), std::make_unique<NoMidiOut>()};
    return system;
}

MidiSystem openMidiSystemFromEnvironment(std::string_view setting, const std::string& clientName)
{
    const char* env = std::getenv("TOLVEX_MIDI_API");
    return openMidiSystem(env != nullptr && *env != '\0' ? std::string_view(env) : setting, clientName);
}

bool jackServerRunning()
{
    jack_client_t* client = openQuietJackClient("Tolvex probe");
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

double jackPeriodMs()
{
    jack_client_t* client = openQuietJackClient("Tolvex probe");
    if (client == nullptr) return 0;
    const double rate = jack_get_sample_rate(client);
    const double ms = rate > 0 ? 1000.0 * jack_get_buffer_size(client) / rate : 0;
    jack_client_close(client);
    return ms;
}

}  // namespace tolvex
