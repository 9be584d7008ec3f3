#include "midi/rtmidi_backend.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace tolvex {

namespace {

using Clock = std::chrono::steady_clock;

// RtMidi's JACK output passes each message through a 16 KiB ring buffer (with
// a 4-byte length) and drops a longer one without a word. The limit is kept a
// little lower so that two of the largest messages fit one port buffer (below).
constexpr std::size_t kJackMaxMessage = 16000;
// A JACK period carries one 32 KiB port buffer, and RtMidi drops (with only a
// line on stderr) what does not fit. Its process callback drains the ring
// buffer while the sender may still be filling it, so one period can take what
// was sent in two "windows". Sends are paced so that a window holds at most
// this many bytes, counting each event's header (two windows and the port
// buffer's own header fit 32 KiB), and a new window starts only once a whole
// period has run after the one in which the previous window began.
constexpr std::size_t kJackWindowBytes = 15 * 1024;
constexpr std::size_t kJackEventOverhead = 16;
// A server that runs no period for this long is not carrying data.
constexpr auto kJackStall = std::chrono::seconds(1);

void ignoreJackText(const char*) {}

void silenceJack()
{
    // libjack writes every failed connection attempt to stderr; on a machine
    // without a server that is noise on each start.
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
    });
}

jack_client_t* openJackClient(const std::string& name)
{
    silenceJack();
    jack_status_t status{};
    return jack_client_open(name.c_str(), JackNoStartServer, &status);
}

bool probeJack()
{
    jack_client_t* client = openJackClient("Tolvex probe");
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
// otherwise). Texts reported during a call become that call's error.
class ErrorCapture {
public:
    static void callback(RtMidiError::Type type, const std::string& text, void* user)
    {
        if (type == RtMidiError::DEBUG_WARNING) return;
        auto* self = static_cast<ErrorCapture*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (self->text_.empty()) self->text_ = text;
    }

    template <class F>
    void run(F&& f)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            text_.clear();
        }
        try {
            f();
        } catch (const RtMidiError& e) {
            throw MidiBackendError(MidiErrorCode::Driver, e.getMessage());
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (!text_.empty()) throw MidiBackendError(MidiErrorCode::Driver, text_);
    }

private:
    std::mutex mutex_;  // RtMidi may also report from its own thread
    std::string text_;
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
    }

    void close() override
    {
        // Destroying the client stops its thread, so no callback outlives this.
        port_.reset();
        receiver_ = nullptr;
    }

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
        if (api_ == MidiApi::Jack) {
            // A client without ports, only to watch the server's periods go by.
            clock_ = openJackClient(clientName_ + " clock");
            if (clock_ == nullptr) throw MidiBackendError(MidiErrorCode::Driver, "The JACK server is not running");
        }
        port_ = std::move(port);
        done_ = &done;
        windowCost_ = 0;
    }

    void close() override
    {
        if (port_) {
            if (clock_ != nullptr && windowCost_ > 0) waitForWindow();  // what RtMidi still holds goes out first
            port_.reset();
        }
        if (clock_ != nullptr) jack_client_close(clock_);
        clock_ = nullptr;
        done_ = nullptr;
    }

    void send(ByteView message, bool notifyDone) override
    {
        if (!port_) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI output not open");
        if (clock_ != nullptr) {
            if (message.size() > kJackMaxMessage)
                throw MidiBackendError(MidiErrorCode::TooLong,
                                       format("MIDI message of %zu bytes is too long for JACK (at most %zu)",
                                              message.size(), kJackMaxMessage));
            pace(message.size());
        }
        errors_.run([&] { port_->sendMessage(message.data(), message.size()); });
        if (notifyDone) done_->sendDone();
    }

private:
    void pace(std::size_t bytes)
    {
        const std::size_t cost = bytes + kJackEventOverhead;
        if (windowCost_ > 0 && windowDrained()) windowCost_ = 0;
        if (windowCost_ > 0 && windowCost_ + cost > kJackWindowBytes) {
            if (!waitForWindow())
                throw MidiBackendError(MidiErrorCode::Driver, "The JACK server is not processing - message not sent");
        }
        if (windowCost_ == 0) windowFrame_ = jack_last_frame_time(clock_);
        windowCost_ += cost;
    }

    // True once the period after the one in which the window began has run:
    // that period has drained the window.
    bool windowDrained() const
    {
        const jack_nframes_t elapsed = jack_last_frame_time(clock_) - windowFrame_;  // wraps safely
        return elapsed >= 2 * jack_get_buffer_size(clock_);
    }

    // False when the server stalls.
    bool waitForWindow()
    {
        const auto deadline = Clock::now() + kJackStall;
        while (!windowDrained()) {
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        windowCost_ = 0;
        return true;
    }

    MidiApi api_;
    std::string clientName_;
    ErrorCapture errors_;
    std::unique_ptr<RtMidiOut> port_;
    MidiSendDone* done_ = nullptr;
    jack_client_t* clock_ = nullptr;  // open with a JACK port
    jack_nframes_t windowFrame_ = 0;  // start of the period in which the window began
    std::size_t windowCost_ = 0;
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
    return compiledIn(MidiApi::Jack) && probeJack();
}

double jackPeriodMs()
{
    jack_client_t* client = openJackClient("Tolvex probe");
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
    return std::make_unique<RtMidiInBackend>(api, clientName);
}

std::unique_ptr<MidiOutBackend> makeRtMidiOut(MidiApi api, const std::string& clientName)
{
    return std::make_unique<RtMidiOutBackend>(api, clientName);
}

}  // namespace tolvex
