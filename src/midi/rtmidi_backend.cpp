#include "midi/rtmidi_backend.h"

#include <fcntl.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "midi/jack_backend.h"

namespace tolvex {

namespace {

bool probeJack()
{
    jack_client_t* client = openQuietJackClient("Tolvex probe");
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

RtMidi::Api rtApi(MidiApi api)
{
    return api == MidiApi::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

bool compiledIn(MidiApi api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), rtApi(api)) != apis.end();
}

// RtMidi reports through a callback once one is set (and prints or throws
// otherwise). Texts reported during a call become that call's error; a failure
// reported from RtMidi's own thread while a port is open loses the port.
class ErrorCapture {
public:
    static void callback(RtMidiError::Type type, const std::string& text, void* user)
    {
        if (type == RtMidiError::DEBUG_WARNING) return;
        auto* self = static_cast<ErrorCapture*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (self->inCall_) {
            if (self->text_.empty()) self->text_ = text;
            return;
        }
        // A warning from the input thread is a bad event, not a broken sequencer,
        // unless reading itself failed.
        const bool failure = type != RtMidiError::WARNING || text.find("unknown MIDI input error") != std::string::npos;
        if (failure && self->watcher_ != nullptr) self->watcher_->portLost(("ALSA sequencer error: " + text).c_str());
    }

    template <class F>
    void run(F&& f)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            text_.clear();
            inCall_ = true;
        }
        try {
            f();
        } catch (const RtMidiError& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            inCall_ = false;
            throw MidiBackendError(MidiErrorCode::Driver, e.getMessage());
        }
        std::lock_guard<std::mutex> lock(mutex_);
        inCall_ = false;
        if (!text_.empty()) throw MidiBackendError(MidiErrorCode::Driver, text_);
    }

    // Told of failures between calls; nullptr while no port is open.
    void watch(MidiPortWatcher* watcher)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        watcher_ = watcher;
    }

private:
    std::mutex mutex_;  // RtMidi may also report from its own thread
    std::string text_;
    bool inCall_ = false;
    MidiPortWatcher* watcher_ = nullptr;
};

bool serviceUp(MidiApi api)
{
    switch (api) {
    case MidiApi::Alsa: return alsaSequencerAvailable();
    case MidiApi::Jack: return jackServerRunning();
    case MidiApi::None: break;
    }
    return false;
}

// RtMidi's constructors print (and ALSA's throws) when the service is down,
// before an error callback can be set, so the service is asked first.
template <class Port>
std::unique_ptr<Port> makePort(MidiApi api, const std::string& clientName, ErrorCapture& errors)
{
    if (!serviceUp(api))
        throw MidiBackendError(MidiErrorCode::Driver, api == MidiApi::Jack ? "The JACK server is not running"
                                                                           : "The ALSA sequencer cannot be opened");
    std::unique_ptr<Port> port;
    try {
        port = std::make_unique<Port>(rtApi(api), clientName);
    } catch (const RtMidiError& e) {
        throw MidiBackendError(MidiErrorCode::Driver, e.getMessage());
    }
    port->setErrorCallback(&ErrorCapture::callback, &errors);
    return port;
}

template <class Port>
std::vector<std::string> listPorts(Port& port, ErrorCapture& errors, const char* virtualName)
{
    std::vector<std::string> names;
    errors.run([&] {
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count; ++i) names.push_back(port.getPortName(i));
    });
    names.emplace_back(virtualName);  // ALSA and JACK both offer virtual ports
    return names;
}

// Opens `name` on `port`: the program's own virtual port, or a listed one.
template <class Port>
void openByName(Port& port, ErrorCapture& errors, const std::string& name, const char* virtualName)
{
    if (name == virtualName) {
        errors.run([&] { port.openVirtualPort(virtualName); });
        return;
    }
    const auto names = listPorts(port, errors, virtualName);
    const auto it = std::find(names.begin(), names.end() - 1, name);
    if (it == names.end() - 1) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI port " + name + " not found");
    errors.run([&] { port.openPort(static_cast<unsigned>(it - names.begin()), virtualName); });
}

class RtMidiInBackend final : public MidiInBackend {
public:
    RtMidiInBackend(MidiApi api, std::string clientName) : api_(api), clientName_(std::move(clientName)) {}
    ~RtMidiInBackend() override { close(); }

    std::vector<std::string> portNames() override
    {
        if (api_ == MidiApi::None || !serviceUp(api_)) return {};  // no MIDI system: no devices, no error
        // A client only for the listing: kept, it would run in every JACK period.
        ErrorCapture errors;
        auto lister = makePort<RtMidiIn>(api_, clientName_ + " list", errors);
        return listPorts(*lister, errors, kVirtualInName);
    }

    void open(const std::string& name, MidiReceiver& receiver) override
    {
        close();
        if (api_ == MidiApi::None) throw MidiBackendError(MidiErrorCode::NoSuchPort, "No MIDI system");
        auto port = makePort<RtMidiIn>(api_, clientName_ + " In", errors_);
        receiver_ = &receiver;
        // Every kind of message reaches the device, which does its own filtering.
        port->ignoreTypes(false, false, false);
        port->setCallback(&RtMidiInBackend::callback, this);
        openByName(*port, errors_, name, kVirtualInName);
        port_ = std::move(port);
        errors_.watch(&receiver);
    }

    void close() override
    {
        // Destroying the client stops its thread, so no callback outlives this.
        errors_.watch(nullptr);
        port_.reset();
        receiver_ = nullptr;
    }

    // The sequencer moves events between programs far faster than a MIDI cable.
    double fastestBytesPerSecond() override { return 1 << 20; }

private:
    static void callback(double, std::vector<unsigned char>* message, void* user)
    {
        auto* self = static_cast<RtMidiInBackend*>(user);
        if (message != nullptr && self->receiver_ != nullptr)
            self->receiver_->receive(ByteView(message->data(), message->size()));
    }

    MidiApi api_;
    std::string clientName_;
    ErrorCapture errors_;
    std::unique_ptr<RtMidiIn> port_;
    MidiReceiver* receiver_ = nullptr;
};

class RtMidiOutBackend final : public MidiOutBackend {
public:
    RtMidiOutBackend(MidiApi api, std::string clientName) : api_(api), clientName_(std::move(clientName)) {}
    ~RtMidiOutBackend() override { close(); }

    std::vector<std::string> portNames() override
    {
        if (api_ == MidiApi::None || !serviceUp(api_)) return {};  // no MIDI system: no devices, no error
        // A client only for the listing: kept, it would run in every JACK period.
        ErrorCapture errors;
        auto lister = makePort<RtMidiOut>(api_, clientName_ + " list", errors);
        return listPorts(*lister, errors, kVirtualOutName);
    }

    void open(const std::string& name, MidiSendDone& done) override
    {
        close();
        if (api_ == MidiApi::None) throw MidiBackendError(MidiErrorCode::NoSuchPort, "No MIDI system");
        auto port = makePort<RtMidiOut>(api_, clientName_ + " Out", errors_);
        openByName(*port, errors_, name, kVirtualOutName);
        port_ = std::move(port);
        done_ = &done;
        errors_.watch(&done);
    }

    void close() override
    {
        errors_.watch(nullptr);
        port_.reset();
        done_ = nullptr;
    }

    // RtMidi hands the message to the sequencer before it returns.
    void send(ByteView message, bool notifyDone) override
    {
        if (!port_) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI output not open");
        errors_.run([&] { port_->sendMessage(message.data(), message.size()); });
        if (notifyDone) done_->sendDone();
    }

private:
    MidiApi api_;
    std::string clientName_;
    ErrorCapture errors_;
    std::unique_ptr<RtMidiOut> port_;
    MidiSendDone* done_ = nullptr;
};

}  // namespace

bool alsaSequencerAvailable()
{
    // Opening the device ourselves keeps alsa-lib from printing its own failure.
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return compiledIn(MidiApi::Alsa);
}

bool jackServerRunning()
{
    return probeJack();
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

MidiApi chooseMidiApi(std::string_view requested)
{
    if (requested == "none") return MidiApi::None;
    if (requested == "alsa") return alsaSequencerAvailable() ? MidiApi::Alsa : MidiApi::None;
    if (requested == "jack") return jackServerRunning() ? MidiApi::Jack : MidiApi::None;
    if (alsaSequencerAvailable()) return MidiApi::Alsa;
    if (jackServerRunning()) return MidiApi::Jack;
    return MidiApi::None;
}

MidiApi chooseMidiApiFromEnvironment(std::string_view setting)
{
    const char* env = std::getenv("TOLVEX_MIDI_API");
    return chooseMidiApi(env != nullptr && *env != '\0' ? std::string_view(env) : setting);
}

std::string_view midiApiName(MidiApi api)
{
    switch (api) {
    case MidiApi::Alsa: return "alsa";
    case MidiApi::Jack: return "jack";
    case MidiApi::None: break;
    }
    return "none";
}

std::unique_ptr<MidiInBackend> makeRtMidiIn(MidiApi api, const std::string& clientName)
{
    if (api == MidiApi::Jack) return makeJackIn(clientName);
    return std::make_unique<RtMidiInBackend>(api, clientName);
}

std::unique_ptr<MidiOutBackend> makeRtMidiOut(MidiApi api, const std::string& clientName)
{
    if (api == MidiApi::Jack) return makeJackOut(clientName);
    return std::make_unique<RtMidiOutBackend>(api, clientName);
}

}  // namespace tolvex
