// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/jack_backend.h"

#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "midi/circular_buffer.h"
#include "midi/midi_system.h"
#include "midi/out_ring.h"

namespace tolvex {

namespace {

// A server that runs no period for this long is not carrying data.
constexpr auto kStall = std::chrono::seconds(1);
// A client the server has not run this long after activation is opened afresh, at most this often.
constexpr auto kFirstRun = std::chrono::milliseconds(500);
constexpr int kRunAttempts = 3;
// Periods after its last events in which a late run of the output may still have cost a receiver them.
constexpr std::uint64_t kRecentPeriods = 8;
// Messages wait here for the process callback; a longer one streams through.
// Reserved, so only what a send fills costs memory: room for the largest dumps at once.
constexpr std::size_t kOutRing = 64u << 20;

void ignoreJackText(const char*) {}

// ThreadSanitizer does not see how the server orders the clients' periods and
// hands port buffers from one client to the next through shared memory: under
// it, each period of our clients is marked as following the one before.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
char periodOrder;
struct PeriodOrder {
    PeriodOrder() { __tsan_acquire(&periodOrder); }
    ~PeriodOrder() { __tsan_release(&periodOrder); }
    PeriodOrder(const PeriodOrder&) = delete;
    PeriodOrder& operator=(const PeriodOrder&) = delete;
};
#else
struct PeriodOrder {};
#endif

std::atomic<std::uint64_t> clientsOpened{0};

// A client whose server has gone is set aside instead of closed: closing it
// would cancel libjack's own threads, and this libjack can end the program
// while one of them unwinds. Such a client does nothing any more.
// `state` is what its callbacks still reach; it stays with the client.
void setAside(jack_client_t* client, const void* state)
{
    // Never destroyed: the clients outlive every static destructor too.
    static std::mutex lock;
    static auto* clients = new std::vector<std::pair<jack_client_t*, const void*>>;
    const std::lock_guard<std::mutex> guard(lock);
    clients->emplace_back(client, state);
}

}  // namespace

class JackLister {
public:
    JackLister(std::string name, jack_client_t* client) : name_(std::move(name)) { adopt(client); }
    ~JackLister()
    {
        if (client_ == nullptr) return;
        if (gone_->load()) {
            setAside(client_, gone_);
        } else {
            jack_client_close(client_);
            delete gone_;
        }
    }

    // The server's MIDI ports with these flags; nothing without a server.
    std::vector<std::string> ports(unsigned long flags)
    {
        std::vector<std::string> names;
        if (!ready()) return names;
        if (const char** list = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
            for (const char** p = list; *p != nullptr; ++p) names.emplace_back(*p);
            jack_free(list);
        }
        return names;
    }

    // A period carries at most one MIDI port buffer; 0 without a server.
    double bytesPerSecond()
    {
        if (!ready()) return 0;
        const double bytes = static_cast<double>(jack_port_type_get_buffer_size(client_, JACK_DEFAULT_MIDI_TYPE));
        return bytes * jack_get_sample_rate(client_) / jack_get_buffer_size(client_);
    }

    double periodMs()
    {
        if (!ready()) return 0;
        const double rate = jack_get_sample_rate(client_);
        return rate > 0 ? 1000.0 * jack_get_buffer_size(client_) / rate : 0;
    }

private:
    void adopt(jack_client_t* client)
    {
        client_ = client;
        // Allocated apart from the lister: a client set aside may still report through it.
        gone_ = new std::atomic<bool>(false);
        jack_on_info_shutdown(
            client_, [](jack_status_t, const char*, void* arg) { static_cast<std::atomic<bool>*>(arg)->store(true); },
            gone_);
    }

    // A server that stopped and started again gets a new client.
    bool ready()
    {
        if (client_ != nullptr && !gone_->load()) return true;
        jack_client_t* fresh = openQuietJackClient(name_);
        if (fresh == nullptr) return false;
        if (client_ != nullptr) setAside(client_, gone_);
        adopt(fresh);
        return true;
    }

    std::string name_;
    jack_client_t* client_ = nullptr;
    std::atomic<bool>* gone_ = nullptr;  // owned unless set aside with the client
};

namespace {

// One client with one MIDI port, connected to the port the user chose and
// watched for the loss of the server or of that connection.
class JackPort {
protected:
    JackPort(std::shared_ptr<JackLister> lister, std::string clientName, bool input)
        : lister_(std::move(lister)), clientName_(std::move(clientName)), input_(input)
    {
    }
    ~JackPort() { closePort(); }

    const char* virtualName() const { return input_ ? kVirtualInName : kVirtualOutName; }

    std::vector<std::string> names()
    {
        auto list = lister_->ports(input_ ? JackPortIsOutput : JackPortIsInput);
        list.emplace_back(virtualName());
        return list;
    }

    void openPort(const std::string& name, MidiPortWatcher& watcher, JackProcessCallback process)
    {
        closePort();
        const bool chosen = name != virtualName();
        if (chosen) {
            const auto list = names();
            if (std::find(list.begin(), list.end() - 1, name) == list.end() - 1)
                throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI port " + name + " not found");
        }
        watcher_ = &watcher;
        peer_ = chosen ? name : std::string();
        connectionLost_ = "The connection to " + name + " was lost";
        // A client the server activates while other clients come and go may
        // never be run (seen with JACK 1.9.21: it stays "Triggered" and the
        // server reports an xrun each period): one that has not run within
        // kFirstRun is closed and opened afresh.
        for (int attempt = 1;; ++attempt) {
            activate(process);
            if (waitForFirstRun()) break;
            closePort();
            if (attempt == kRunAttempts)
                throw MidiBackendError(MidiErrorCode::Driver, "The JACK server does not run the MIDI client");
        }
        jack_port_t* port = jack_port_register(client_, virtualName(), JACK_DEFAULT_MIDI_TYPE,
                                               input_ ? JackPortIsInput : JackPortIsOutput, 0);
        if (port == nullptr) {
            closePort();
            throw MidiBackendError(MidiErrorCode::Driver, "JACK refused the MIDI port " + std::string(virtualName()));
        }
        port_.store(port, std::memory_order_release);
        if (!chosen) return;
        const char* ours = jack_port_name(port_);
        const int result =
            input_ ? jack_connect(client_, name.c_str(), ours) : jack_connect(client_, ours, name.c_str());
        if (result != 0 && result != EEXIST) {
            closePort();
            throw MidiBackendError(MidiErrorCode::Driver, "JACK could not connect to " + name);
        }
        watching_.store(true);
        checkConnected();  // it may have gone already
    }

    // Opens and activates this port's client, running before its port exists:
    // a sender that finds the port finds it read from the first period on.
    void activate(JackProcessCallback process)
    {
        client_ = openQuietJackClient(clientName_ + (input_ ? " In" : " Out"));
        if (client_ == nullptr) throw MidiBackendError(MidiErrorCode::Driver, "The JACK server is not running");
        closing_.store(false);
        lost_.store(false);
        watching_.store(false);
        viewShowedConnection_.store(false);
        havePeriod_ = false;
        regraph_.store(false);
        connections_.store(0);
        periods_.store(0);
        gate_ = new Gate{{}, this};
        jack_set_process_callback(client_, process, this);
        jack_on_info_shutdown(client_, &JackPort::onShutdown, gate_);
        jack_set_port_connect_callback(client_, &JackPort::onConnect, gate_);
        jack_set_port_registration_callback(client_, &JackPort::onPortRegistration, gate_);
        if (jack_activate(client_) != 0) {
            closePort();
            throw MidiBackendError(MidiErrorCode::Driver, "The JACK server refused to activate the MIDI client");
        }
    }

    // Whether the server has run the process callback since activation.
    bool waitForFirstRun()
    {
        const auto until = std::chrono::steady_clock::now() + kFirstRun;
        while (periods_.load(std::memory_order_acquire) == 0) {
            if (std::chrono::steady_clock::now() >= until || serverGone_.load()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    void closePort()
    {
        // Once this returns, libjack calls none of the callbacks again.
        if (client_ != nullptr) {
            // A client set aside is never closed: its process callback may be
            // under way, and must be done before what it reads is freed.
            closing_.store(true);
            while (inProcess_.load() > 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
            if (serverGone_.load()) {
                // Its notification thread may still call in: the gate turns
                // those calls away, and both stay allocated with the client.
                {
                    const std::lock_guard<std::mutex> guard(gate_->mutex);
                    gate_->port = nullptr;
                }
                setAside(client_, gate_);
            } else {
                jack_client_close(client_);
                delete gate_;
            }
        } else {
            delete gate_;
        }
        gate_ = nullptr;
        serverGone_.store(false);
        client_ = nullptr;
        port_ = nullptr;
        watching_.store(false);
    }

    void lose(const char* reason) noexcept
    {
        if (!lost_.exchange(true)) watcher_->portLost(reason);
    }

    std::shared_ptr<JackLister> lister_;
    jack_client_t* client_ = nullptr;
    // Set once the client runs; the process callback does nothing before.
    std::atomic<jack_port_t*> port_{nullptr};
    std::atomic<bool> lost_{false};
    std::atomic<bool> serverGone_{false};  // the server shut down under this client
    // The process callback runs only between open and close: it counts itself
    // in, and closing waits until it is out.
    std::atomic<bool> closing_{false};
    std::atomic<int> inProcess_{0};
    std::atomic<std::uint64_t> periods_{0};  // process callbacks since activation
    class InProcess {
    public:
        explicit InProcess(JackPort& port) : port_(port)
        {
            port_.inProcess_.fetch_add(1);
            port_.periods_.fetch_add(1, std::memory_order_release);
            running_ = !port_.closing_.load();
        }
        ~InProcess() { port_.inProcess_.fetch_sub(1); }
        InProcess(const InProcess&) = delete;
        InProcess& operator=(const InProcess&) = delete;
        bool running() const { return running_; }

    private:
        JackPort& port_;
        bool running_;
    };
    // Whether this client ran late: each period's frame time follows the one
    // before by exactly one period, unless the server ran this client after
    // the next period had begun. It then sees a jump (told here, once per late
    // run), and the same frame time again in the period after (the same late
    // run, not told twice). The server's own small xruns, where every client
    // still runs each period in turn, leave it regular. Process thread only.
    bool periodLate(jack_nframes_t frames) noexcept
    {
        const jack_nframes_t start = jack_last_frame_time(client_);
        const bool late = havePeriod_ && start != lastPeriod_ && start - lastPeriod_ != frames;
        lastPeriod_ = start;
        havePeriod_ = true;
        return late;
    }
    // Set by the notification threads, taken by the process thread.
    std::atomic<bool> regraph_{false};  // our port's connections changed
    std::atomic<int> connections_{0};   // of our port, as last seen

private:
    // What libjack's notification threads reach the port through; `port` is
    // cleared under the lock when the port closes without closing its client.
    struct Gate {
        std::mutex mutex;
        JackPort* port = nullptr;
    };

    // Called on libjack's notification threads (never the process thread):
    // the gate, atomics and the watcher only.
    static void onShutdown(jack_status_t, const char*, void* arg)
    {
        auto* gate = static_cast<Gate*>(arg);
        const std::lock_guard<std::mutex> guard(gate->mutex);
        if (gate->port == nullptr) return;
        gate->port->serverGone_.store(true);
        gate->port->lose("The JACK server has stopped");
    }
    static void onConnect(jack_port_id_t a, jack_port_id_t b, int connect, void* arg)
    {
        auto* gate = static_cast<Gate*>(arg);
        const std::lock_guard<std::mutex> guard(gate->mutex);
        JackPort* self = gate->port;
        if (self == nullptr || self->client_ == nullptr) return;
        jack_port_t* ours = self->port_.load();
        if (ours == nullptr) return;
        // Only a connection of our own port going away can cut a message
        // (one being made only starts a sender).
        if (jack_port_by_id(self->client_, a) == ours || jack_port_by_id(self->client_, b) == ours) {
            self->connections_.store(jack_port_connected(ours));
            if (connect == 0) self->regraph_.store(true);
        }
        self->checkConnected();
    }
    static void onPortRegistration(jack_port_id_t, int registered, void* arg)
    {
        auto* gate = static_cast<Gate*>(arg);
        const std::lock_guard<std::mutex> guard(gate->mutex);
        if (registered == 0 && gate->port != nullptr) gate->port->checkConnected();
    }
    // The chosen connection is gone when the peer's port is, or when this
    // client's view of the graph, having shown the connection, no longer does.
    // A view that does not show a fresh connection yet is no loss.
    void checkConnected() noexcept
    {
        if (!watching_.load()) return;
        if (jack_port_by_name(client_, peer_.c_str()) == nullptr) {
            lose(connectionLost_.c_str());
        } else if (jack_port_connected_to(port_, peer_.c_str()) != 0) {
            viewShowedConnection_.store(true);
        } else if (viewShowedConnection_.load()) {
            lose(connectionLost_.c_str());
        }
    }

    std::string clientName_;
    bool input_;
    // The process thread's own (reset before the client runs).
    jack_nframes_t lastPeriod_ = 0;
    bool havePeriod_ = false;
    MidiPortWatcher* watcher_ = nullptr;
    std::atomic<bool> watching_{false};              // the chosen connection has been made
    std::atomic<bool> viewShowedConnection_{false};  // and this client's graph has shown it
    std::string peer_;                               // the chosen port; empty for the virtual one
    std::string connectionLost_;                     // written before the client is activated
    Gate* gate_ = nullptr;                           // owned; set aside with a client whose server has gone
};

// One direction's back-end over a JackPort, which lists its ports.
template <class Backend>
class JackEnd : public Backend, protected JackPort {
public:
    JackEnd(std::shared_ptr<JackLister> lister, std::string clientName)
        : JackPort(std::move(lister), std::move(clientName), std::is_same_v<Backend, MidiInBackend>)
    {
    }

    std::vector<std::string> portNames() override { return names(); }
};

class JackInBackend final : public JackEnd<MidiInBackend> {
public:
    using JackEnd::JackEnd;
    ~JackInBackend() override { closePort(); }

    void open(const std::string& name, MidiReceiver& receiver) override
    {
        receiver_ = &receiver;
        flowing_ = false;
        openPort(name, receiver, &JackInBackend::process);
    }

    void close() override { closePort(); }

    // A period carries at most one MIDI port buffer.
    double fastestBytesPerSecond() override
    {
        const double rate = lister_->bytesPerSecond();
        return rate > 0 ? rate : MidiInBackend::fastestBytesPerSecond();
    }

private:
    // The real-time thread: hands every event to the receiver, which copies
    // it. What the server says of the period comes first: a connection of
    // ours that went away cuts the message in progress; events the server
    // dropped while mixing several senders, and a period this client ran late
    // in, mark it as possibly damaged.
    static int process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<JackInBackend*>(static_cast<JackPort*>(arg));
        [[maybe_unused]] const PeriodOrder order;
        const InProcess in(*self);
        jack_port_t* port = self->port_.load(std::memory_order_acquire);
        if (port == nullptr || !in.running()) return 0;
        void* buffer = jack_port_get_buffer(port, frames);
        const bool late = self->periodLate(frames);
        const bool regraph = self->regraph_.exchange(false);
        if (regraph) self->receiver_->dataLost();
        const bool several = self->connections_.load(std::memory_order_relaxed) > 1;
        if (several) self->receiver_->severalSenders();
        // With one sender the buffer is the sender's own, and its count is of
        // the writes the server refused that sender, which it was told of and
        // may have made again: only a mix of several is the server's loss.
        const std::uint32_t lost = jack_midi_get_lost_event_count(buffer);
        if (lost > 0 && several) self->receiver_->eventsDropped(lost);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        // Lateness in silence costs nothing.
        if (late && (count > 0 || self->flowing_)) self->receiver_->periodMissed();
        self->flowing_ = count > 0;
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0)
                self->receiver_->receive(ByteView(event.buffer, event.size));
        }
        return 0;
    }

    MidiReceiver* receiver_ = nullptr;
    bool flowing_ = false;  // the last period carried MIDI (the process callback's own)
};

// Messages go through a reserved ring to the process callback, which writes
// each period as much as the port buffer takes. A SysEx message longer than
// that leaves as several events (F0 and data, data, ..., data and F7), as
// JACK receivers that join SysEx expect; a short message is never split.
class JackOutBackend final : public JackEnd<MidiOutBackend> {
public:
    using JackEnd::JackEnd;
    ~JackOutBackend() override { close(); }

    void open(const std::string& name, MidiSendDone& done) override
    {
        close();
        ring_ = std::make_unique<ByteRing>(kOutRing);
        readPos_ = 0;
        remaining_ = 0;
        done_ = &done;
        late_.store(0);
        sinceWrite_ = kRecentPeriods + 1;
        openPort(name, done, &JackOutBackend::process);
    }

    void close() override
    {
        if (client_ != nullptr && !lost_.load()) waitUntil([this] { return ring_->Room() == ring_->Ceiling(); });
        closePort();
        ring_.reset();
    }

    void send(ByteView message, bool notifyDone) override
    {
        if (client_ == nullptr) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI output not open");
        queueMessage(message, notifyDone, [this](ByteView bytes) { write(bytes); });
    }

    // The ring holds each message's header too: at most 8 bytes more per message.
    std::uint64_t queuedBytes() override { return ring_ ? ring_->Ceiling() - ring_->Room() : 0; }

    std::uint64_t latePeriods() override { return late_.load(std::memory_order_relaxed); }

    void cancel() override
    {
        if (client_ == nullptr) return;
        cancel_.store(true);
        waitUntil([this] { return !cancel_.load(); });
        cancel_.store(false);
    }

private:
    // Waits (on the main thread) for room, streaming what does not fit at once.
    void write(ByteView bytes)
    {
        streamInto(
            *ring_, bytes, [this] { ring_->Publish(); },
            [this] { return waitUntil([this] { return ring_->Room() > 0; }); },
            [this] { throwStalled(lost_.load(), "The JACK server is not processing - message not sent"); });
    }

    // False when the port was lost or the server ran no period for kStall.
    template <class Done>
    bool waitUntil(Done done)
    {
        return waitWhileProgressing(
            periods_, kStall, [this] { return lost_.load(); }, done);
    }

    // The real-time thread: reads the ring, writes events, never waits.
    static int process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<JackOutBackend*>(static_cast<JackPort*>(arg));
        [[maybe_unused]] const PeriodOrder order;
        const InProcess in(*self);
        jack_port_t* port = self->port_.load(std::memory_order_acquire);
        if (port == nullptr) return 0;
        void* buffer = jack_port_get_buffer(port, frames);
        // Cleared in every period, also once closing has begun: receivers
        // read a buffer left as it was again, and would get its events twice.
        jack_midi_clear_buffer(buffer);
        if (!in.running()) return 0;
        const bool late = self->periodLate(frames);
        const std::uint64_t before = self->readPos_;
        self->fill(buffer);
        self->sinceWrite_ = self->readPos_ != before ? 0 : self->sinceWrite_ + 1;
        // Late in this period (it began late, or this callback ran past its
        // end) while sending: a receiver may have been handed this client's
        // recent events again, or not at all. While sending means events
        // written in the last few periods or waiting in the ring.
        const bool overran = jack_frames_since_cycle_start(self->client_) >= frames;
        const bool sending = self->sinceWrite_ <= kRecentPeriods || self->ring_->Published() != self->readPos_;
        if ((late || overran) && sending) self->late_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }

    void fill(void* buffer) noexcept
    {
        ByteRing& ring = *ring_;
        const std::uint64_t published = ring.Published();
        if (cancel_.load()) {
            // All that is published is whole (the main thread waits while it
            // cancels): the message in progress stops here, the rest is dropped.
            if (remaining_ > 0) {
                readPos_ += remaining_;
                remaining_ = 0;
                if (current_.notify != 0) done_->sendDone();
            }
            while (published - readPos_ >= sizeof(OutHeader)) {
                std::uint8_t bytes[sizeof(OutHeader)];
                ring.Read(readPos_, bytes, sizeof bytes);
                std::memcpy(&current_, bytes, sizeof current_);
                readPos_ += sizeof bytes + current_.length;
                if (current_.notify != 0) done_->sendDone();
            }
            ring.Free(readPos_);
            cancel_.store(false);
            return;
        }
        for (;;) {
            if (remaining_ == 0) {
                if (published - readPos_ < sizeof(OutHeader)) return;
                std::uint8_t bytes[sizeof(OutHeader)];
                ring.Read(readPos_, bytes, sizeof bytes);
                std::memcpy(&current_, bytes, sizeof current_);
                readPos_ += sizeof bytes;
                ring.Free(readPos_);
                remaining_ = current_.length;
                first_ = true;
                continue;
            }
            const std::size_t have =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, published - readPos_));
            const std::size_t room = jack_midi_max_event_size(buffer);
            std::size_t n = std::min(have, room);
            if (n == 0) return;
            if (n < remaining_ && first_) {
                std::uint8_t status = 0;
                ring.Read(readPos_, &status, 1);
                if (status != 0xF0) return;  // a short message waits for a period with room for all of it
            }
            jack_midi_data_t* out = jack_midi_event_reserve(buffer, 0, n);
            if (out == nullptr) return;
            ring.Read(readPos_, out, n);
            readPos_ += n;
            remaining_ -= n;
            first_ = false;
            ring.Free(readPos_);
            if (remaining_ == 0 && current_.notify != 0) done_->sendDone();
        }
    }

    std::unique_ptr<ByteRing> ring_;
    MidiSendDone* done_ = nullptr;
    std::atomic<std::uint64_t> late_{0};  // periods run late while sending
    std::atomic<bool> cancel_{false};     // set by the main thread, cleared by the process callback
    // The process callback's own state.
    std::uint64_t readPos_ = 0;
    std::size_t remaining_ = 0;  // bytes of the current message still to go
    OutHeader current_{};
    bool first_ = true;
    std::uint64_t sinceWrite_ = 0;  // periods since the last one that carried events
};

}  // namespace

jack_client_t* openQuietJackClient(const std::string& name)
{
    // libjack writes every failed connection attempt to stderr; on a machine
    // without a server that is noise on each start.
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
    });
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client != nullptr) clientsOpened.fetch_add(1);
    return client;
}

std::uint64_t jackClientsOpened()
{
    return clientsOpened.load();
}

std::shared_ptr<JackLister> openJackLister(const std::string& clientName)
{
    jack_client_t* client = openQuietJackClient(clientName);
    if (client == nullptr) return nullptr;
    return std::make_shared<JackLister>(clientName, client);
}

MidiBackendPair makeJackBackends(std::shared_ptr<JackLister> lister, const std::string& clientName)
{
    return {std::make_unique<JackInBackend>(lister, clientName), std::make_unique<JackOutBackend>(lister, clientName)};
}

}  // namespace tolvex
