// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/alsa_backend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

#include "midi/circular_buffer.h"
#include "midi/midi_output.h"
#include "midi/midi_system.h"
#include "midi/out_ring.h"

namespace tolvex {

namespace {

// Messages wait here for the writer thread; reserved, so only what a send
// fills costs memory: room for the largest dumps at once.
constexpr std::size_t kOutRing = 64u << 20;
// A sequencer that takes no event for this long is not carrying data.
constexpr auto kStall = std::chrono::seconds(5);
// Output after a pause may run ahead of the pace by this much: a quarter of a
// second of cable time fits a USB interface's buffer (4 KiB) with room to spare.
constexpr double kBurstSeconds = 0.25;
// Cells of a receiving program's input pool left for others' events
// (announcements, a second sender), and how often a full one is asked again.
constexpr int kRoomMargin = 64;
constexpr std::int64_t kRoomPollNs = 1'000'000;

// A pointer one thread sets and clears while another calls through it: the
// caller never locks or waits, and clear() returns only once no call through
// the old value runs.
template <class T>
class CallSlot {
public:
    void set(T* target) { target_.store(target); }
    void clear()
    {
        target_.store(nullptr);
        while (users_.load() != 0) std::this_thread::yield();
    }
    template <class F>
    void call(F&& f) noexcept
    {
        users_.fetch_add(1);
        if (T* t = target_.load()) f(*t);
        users_.fetch_sub(1);
    }
    bool empty() const { return target_.load() == nullptr; }

private:
    std::atomic<T*> target_{nullptr};
    std::atomic<int> users_{0};
};

std::string portLabel(const SeqPortInfo& p)
{
    return p.clientName + ":" + p.portName;
}

}  // namespace

// The sequencer client both back-ends share: its handle, the port list, and
// the reader thread, which delivers input and watches the announcements.
class AlsaClient {
public:
    explicit AlsaClient(std::unique_ptr<AlsaSeq> seq) : seq_(std::move(seq))
    {
        const int port = seq_->createPort("Tolvex announcements", true, false);
        announcing_ = port >= 0 && seq_->watchAnnouncements(port) == 0;
        reader_ = std::thread([this] { readLoop(); });
    }
    ~AlsaClient()
    {
        stop_.store(true);
        seq_->wake();
        reader_.join();
    }

    AlsaSeq& seq() { return *seq_; }

    // The port listed as `name`, asking the sequencer again when the list does
    // not have it. Main thread.
    std::optional<SeqPortInfo> find(const std::string& name, bool readable)
    {
        for (const bool fresh : {false, true})
            for (const auto& e : list(readable, fresh))
                if (e.first == name) return e.second;
        return std::nullopt;
    }

    // The listed names of sources (`readable`) or destinations with their
    // addresses, asked again after an announcement, when `fresh` (a name not
    // in the list may belong to a port whose announcement the reader thread
    // has not handled yet), or every time when the announcements cannot be
    // heard. Main thread.
    std::vector<std::pair<std::string, SeqPortInfo>> list(bool readable, bool fresh = false)
    {
        if (fresh || !announcing_ || stale_.exchange(false)) ports_ = seq_->ports();
        std::vector<std::pair<std::string, SeqPortInfo>> listed;
        std::map<std::string, int> seen;
        for (const SeqPortInfo& p : ports_) {
            // The system's timer and announcement ports, and our own ports.
            if (p.addr.client == 0 || p.addr.client == seq_->clientId()) continue;
            if (readable ? !p.readable : !p.writable) continue;
            listed.emplace_back(portLabel(p), p);
            ++seen[portLabel(p)];
        }
        // Two alike interfaces: their addresses tell them apart.
        for (auto& [name, p] : listed)
            if (seen[name] > 1)
                name.append(" ").append(std::to_string(p.addr.client)).append(":").append(std::to_string(p.addr.port));
        return listed;
    }

    // What the reader thread watches for one direction: the port of ours, the
    // chosen peer (client -1: the virtual port was chosen) and who to tell.
    struct Watch {
        std::atomic<int> port{-1};
        std::atomic<int> peerClient{-1};
        std::atomic<int> peerPort{-1};
        CallSlot<MidiPortWatcher> watcher;
        std::atomic<bool> lost{false};
        char reason[256] = {};  // written before `watcher` is set
    };
    Watch in;
    Watch out;
    CallSlot<MidiReceiver> receiver;

    static void lose(Watch& w) noexcept
    {
        if (w.lost.exchange(true)) return;
        w.watcher.call([&](MidiPortWatcher& t) { t.portLost(w.reason); });
    }
    static void lose(Watch& w, const char* reason) noexcept
    {
        if (w.lost.exchange(true)) return;
        w.watcher.call([&](MidiPortWatcher& t) { t.portLost(reason); });
    }

private:
    static bool peerIs(const Watch& w, SeqAddr a)
    {
        return w.peerClient.load() >= 0 && a.client == w.peerClient.load() &&
               (a.port < 0 || a.port == w.peerPort.load());
    }

    // The reader thread: reads only into the library's buffer and hands bytes on.
    void readLoop()
    {
        SeqEvent ev;
        while (!stop_.load()) {
            if (!seq_->waitInput(200)) continue;
            for (;;) {
                const int r = seq_->input(ev);
                if (r == 0) break;
                if (r == -ENOSPC) {
                    // Our input pool overflowed: the sequencer threw away all we had queued.
                    receiver.call([](MidiReceiver& t) { t.inputOverrun(); });
                    continue;
                }
                if (r < 0) {
                    lose(in, "The ALSA sequencer stopped delivering MIDI");
                    lose(out, "The ALSA sequencer stopped delivering MIDI");
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    break;
                }
                handle(ev);
            }
        }
    }

    void handle(const SeqEvent& ev)
    {
        switch (ev.kind) {
        case SeqEventKind::Data:
            if (ev.dest.port == in.port.load() && !ev.bytes.empty())
                receiver.call([&](MidiReceiver& t) { t.receive(ev.bytes); });
            break;
        case SeqEventKind::PortStart:
        case SeqEventKind::ClientStart: stale_.store(true); break;
        case SeqEventKind::PortExit:
        case SeqEventKind::ClientExit:
            stale_.store(true);
            for (Watch* w : {&in, &out})
                if (peerIs(*w, ev.source)) lose(*w);
            break;
        case SeqEventKind::Unsubscribed: {
            const int self = seq_->clientId();
            // Our own connection, removed by someone else (or by the peer leaving).
            if (ev.dest.client == self && ev.dest.port == in.port.load() && peerIs(in, ev.source)) lose(in);
            if (ev.source.client == self && ev.source.port == out.port.load() && peerIs(out, ev.dest)) lose(out);
            break;
        }
        case SeqEventKind::Other: break;
        }
    }

    std::unique_ptr<AlsaSeq> seq_;
    bool announcing_ = false;
    std::atomic<bool> stale_{true};
    std::vector<SeqPortInfo> ports_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

namespace {

// Opens our port for one direction, connected to the chosen peer unless the
// virtual port itself was chosen. Main thread.
void openWatch(AlsaClient& client, AlsaClient::Watch& w, const std::string& name, bool input, MidiPortWatcher& watcher)
{
    const char* virtualName = input ? kVirtualInName : kVirtualOutName;
    SeqAddr peer;
    if (name != virtualName) {
        const auto info = client.find(name, input);
        if (!info) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI port " + name + " not found");
        peer = info->addr;
    }
    const int port = client.seq().createPort(virtualName, input, true);
    if (port < 0)
        throw MidiBackendError(MidiErrorCode::Driver,
                               "The ALSA sequencer refused the MIDI port " + std::string(virtualName));
    std::snprintf(w.reason, sizeof w.reason, "The connection to %s was lost", name.c_str());
    w.lost.store(false);
    w.port.store(port);
    w.peerClient.store(peer.client);
    w.peerPort.store(peer.port);
    w.watcher.set(&watcher);
    if (peer.client < 0) return;
    const SeqAddr ours{client.seq().clientId(), port};
    const int result = input ? client.seq().connect(peer, ours) : client.seq().connect(ours, peer);
    if (result < 0 && result != -EBUSY) {
        w.watcher.clear();
        w.peerClient.store(-1);
        w.port.store(-1);
        client.seq().deletePort(port);
        throw MidiBackendError(MidiErrorCode::Driver, "The ALSA sequencer could not connect to " + name);
    }
}

void closeWatch(AlsaClient& client, AlsaClient::Watch& w, bool input)
{
    w.watcher.clear();
    const int port = w.port.exchange(-1);
    const SeqAddr peer{w.peerClient.exchange(-1), w.peerPort.exchange(-1)};
    if (port < 0) return;
    const SeqAddr ours{client.seq().clientId(), port};
    if (peer.client >= 0) input ? client.seq().disconnect(peer, ours) : client.seq().disconnect(ours, peer);
    client.seq().deletePort(port);
}

// The ports of one direction, then this program's own virtual port.
std::vector<std::string> portList(AlsaClient& client, bool input, const char* virtualName, bool fresh)
{
    std::vector<std::string> names;
    for (const auto& e : client.list(input, fresh)) names.push_back(e.first);
    names.emplace_back(virtualName);
    return names;
}

// One direction's back-end on the shared client.
template <class Backend>
class AlsaEnd : public Backend {
public:
    explicit AlsaEnd(std::shared_ptr<AlsaClient> client) : client_(std::move(client)) {}

    std::vector<std::string> portNames() override
    {
        return portList(*client_, kInput, kInput ? kVirtualInName : kVirtualOutName, false);
    }
    std::vector<std::string> freshPortNames() override
    {
        return portList(*client_, kInput, kInput ? kVirtualInName : kVirtualOutName, true);
    }

protected:
    static constexpr bool kInput = std::is_same_v<Backend, MidiInBackend>;
    std::shared_ptr<AlsaClient> client_;
};

class AlsaInBackend final : public AlsaEnd<MidiInBackend> {
public:
    using AlsaEnd::AlsaEnd;
    ~AlsaInBackend() override { close(); }

    void open(const std::string& name, MidiReceiver& receiver) override
    {
        close();
        client_->receiver.set(&receiver);
        try {
            openWatch(*client_, client_->in, name, true, receiver);
        } catch (...) {
            client_->receiver.clear();
            throw;
        }
    }

    void close() override
    {
        client_->receiver.clear();
        closeWatch(*client_, client_->in, true);
    }

    // The sequencer moves events between programs far faster than a MIDI cable.
    double fastestBytesPerSecond() override { return kAlsaProgramBytesPerSecond; }
};

// Messages go through a reserved ring to the writer thread, which hands them
// to the sequencer: SysEx in pieces of kAlsaSysexPiece bytes, each short
// message as one event, paced for the receiving port, waiting while the
// output pool is full.
class AlsaOutBackend final : public AlsaEnd<MidiOutBackend> {
public:
    using AlsaEnd::AlsaEnd;
    ~AlsaOutBackend() override { close(); }

    void open(const std::string& name, MidiSendDone& done) override
    {
        close();
        rate_ = alsaProgramPace();
        if (name != kVirtualOutName)
            if (const auto info = client_->find(name, false); info && info->hardware) rate_ = kAlsaCableBytesPerSecond;
        name_ = name;
        room_ = 0;
        ring_ = std::make_unique<ByteRing>(kOutRing);
        done_ = &done;
        readPos_ = 0;
        progress_.store(0);
        openWatch(*client_, client_->out, name, false, done);
        stop_.store(false);
        writer_ = std::thread([this] { writeLoop(); });
    }

    void close() override
    {
        if (!writer_.joinable()) return;
        // What was sent before closing still goes out, unless the port is gone.
        waitUntil([this] { return ring_->Room() == ring_->Ceiling() && !writing_.load(); });
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_.store(true);
        }
        wakeWriter_.notify_one();
        writer_.join();
        closeWatch(*client_, client_->out, false);
        ring_.reset();
    }

    void send(ByteView message, bool notifyDone) override
    {
        if (!writer_.joinable()) throw MidiBackendError(MidiErrorCode::NoSuchPort, "MIDI output not open");
        queueMessage(message, notifyDone, [this](ByteView bytes) { write(bytes); });
    }

    // The ring holds each message's header too: at most 8 bytes more per message.
    std::uint64_t queuedBytes() override { return ring_ ? ring_->Ceiling() - ring_->Room() : 0; }

    void cancel() override
    {
        if (!writer_.joinable()) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            cancel_.store(true);
        }
        wakeWriter_.notify_one();
        waitUntil([this] { return !cancel_.load(); });
    }

private:
    // Waits (on the main thread) for room, streaming what does not fit at once.
    void write(ByteView bytes)
    {
        const auto publish = [this] {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                ring_->Publish();
            }
            wakeWriter_.notify_one();
        };
        streamInto(
            *ring_, bytes, publish, [this] { return waitUntil([this] { return ring_->Room() > 0; }); },
            [this] { throwStalled(client_->out.lost.load(), "The ALSA sequencer takes no MIDI - message not sent"); });
    }

    // False when the port was lost or the writer made no progress for kStall.
    template <class Done>
    bool waitUntil(Done done)
    {
        return waitWhileProgressing(
            progress_, kStall, [this] { return client_->out.lost.load(); }, done);
    }

    // The writer thread: streams each message as its bytes are published.
    void writeLoop()
    {
        AlsaSeq& seq = client_->seq();
        std::int64_t paced = seq.nowNs();  // when the bytes handed over so far are out at the pace
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wakeWriter_.wait(lock,
                                 [&] { return stop_.load() || cancel_.load() || ring_->Published() != readPos_; });
                if (stop_.load() && ring_->Published() == readPos_) return;
                writing_.store(true);
            }
            while (!client_->out.lost.load() && available() >= sizeof(OutHeader) && !cancel_.load()) {
                OutHeader header;
                std::uint8_t bytes[sizeof header];
                ring_->Read(readPos_, bytes, sizeof bytes);
                std::memcpy(&header, bytes, sizeof header);
                readPos_ += sizeof header;
                ring_->Free(readPos_);
                if (!writeMessage(header, paced)) break;
                progress_.fetch_add(1);
            }
            if (cancel_.load()) dropQueued();
            if (client_->out.lost.load()) {
                // Nothing goes anywhere any more: what waits is dropped.
                readPos_ = ring_->Published();
                ring_->Free(readPos_);
            }
            writing_.store(false);
        }
    }

    std::uint64_t available() const { return ring_->Published() - readPos_; }

    // Cancel: every message published (all whole: the main thread is not
    // writing while it cancels) is dropped, its done still told.
    void dropQueued()
    {
        while (available() >= sizeof(OutHeader)) {
            OutHeader header;
            std::uint8_t bytes[sizeof header];
            ring_->Read(readPos_, bytes, sizeof bytes);
            std::memcpy(&header, bytes, sizeof header);
            readPos_ += sizeof header + header.length;
            if (header.notify != 0) done_->sendDone();
        }
        ring_->Free(readPos_);
        progress_.fetch_add(1);
        cancel_.store(false);
    }

    // Waits until `n` more bytes are published; false when the port was lost
    // or the output is closing.
    bool await(std::size_t n)
    {
        while (available() < n) {
            if (client_->out.lost.load() || stop_.load()) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return true;
    }

    // False when the message could not be finished (the port was lost).
    bool writeMessage(const OutHeader& header, std::int64_t& paced)
    {
        AlsaSeq& seq = client_->seq();
        const double nsPerByte = 1e9 / rate_;
        const auto burst = static_cast<std::int64_t>(kBurstSeconds * 1e9);
        std::uint8_t piece[kAlsaSysexPiece];
        bool sysex = false;
        for (std::size_t at = 0; at < header.length;) {
            if (cancel_.load()) {
                // The rest of this message is published: dropped with the queue.
                readPos_ += header.length - at;
                if (header.notify != 0) done_->sendDone();
                return false;
            }
            std::size_t n = std::min<std::size_t>(kAlsaSysexPiece, header.length - at);
            if (!await(at == 0 ? 1 : n)) return false;
            if (at == 0) {
                ring_->Read(readPos_, piece, 1);
                sysex = piece[0] == 0xF0;
            }
            if (!sysex) {
                // Short messages travel one event each; a stray data byte is no message.
                ring_->Read(readPos_, piece, 1);
                const int length = shortMessageLength(piece[0]);
                n = std::min<std::size_t>(length > 0 ? static_cast<std::size_t>(length) : 1, header.length - at);
            }
            if (!await(n)) return false;
            ring_->Read(readPos_, piece, n);
            const bool send = sysex || shortMessageLength(piece[0]) > 0;
            if (send && !awaitRoom(seq, seqCells(n, sysex), at, header.length)) {
                if (cancel_.load()) continue;  // dropped above, with the rest of the message
                return false;
            }
            // Idle time earns at most a burst of cable time.
            const std::int64_t now = seq.nowNs();
            paced = std::max<std::int64_t>(paced, now - burst);
            paced += static_cast<std::int64_t>(static_cast<double>(n) * nsPerByte);
            if (paced > now + burst) seq.sleepNs(paced - now - burst);
            if (send && !hand(seq, ByteView(piece, n), sysex, at, header.length)) return false;
            readPos_ += n;
            at += n;
            ring_->Free(readPos_);
            progress_.fetch_add(1);
        }
        if (header.notify != 0) done_->sendDone();
        return true;
    }

    // Waits until every program that receives from our port has room in its
    // input pool for `cells` more (one question answers for many pieces while
    // the receiver keeps up). False when the port was lost, the send was
    // cancelled or the receiver took nothing for kStall: the port is then lost
    // with the bytes of the message (`at` of `length`) that went.
    bool awaitRoom(AlsaSeq& seq, int cells, std::size_t at, std::size_t length)
    {
        const std::int64_t since = seq.nowNs();
        while (room_ < cells) {
            const int room = seq.destinationRoom(client_->out.port.load());
            // No program to wait for: ask again after a poolful.
            room_ = room < 0 ? kSeqPoolCells : room - kRoomMargin;
            if (room_ >= cells) break;
            if (client_->out.lost.load() || cancel_.load()) return false;
            if (!waitedTooLong(seq, since, at, length)) return false;
            seq.sleepNs(kRoomPollNs);
        }
        room_ -= cells;
        return true;
    }

    // True while a wait that began at `since` is under kStall; else loses the port.
    bool waitedTooLong(AlsaSeq& seq, std::int64_t since, std::size_t at, std::size_t length)
    {
        if (seq.nowNs() - since < std::chrono::nanoseconds(kStall).count()) return true;
        char reason[sizeof client_->out.reason];
        std::snprintf(reason, sizeof reason, "The receiver at %s is not reading: %zu of %zu bytes sent", name_.c_str(),
                      at, length);
        AlsaClient::lose(client_->out, reason);
        return false;
    }

    // Queues and drains one event, waiting while the pool is full. False when
    // the sequencer refused it: the port is then lost.
    bool hand(AlsaSeq& seq, ByteView bytes, bool sysex, std::size_t at, std::size_t length)
    {
        int result;
        const std::int64_t since = seq.nowNs();
        // -EAGAIN: our output pool is full, or a receiver's input pool (another
        // sender filled it): wait a little rather than spin.
        const auto wait = [&] {
            if (client_->out.lost.load() || !waitedTooLong(seq, since, at, length)) return false;
            seq.waitOutput(10);
            seq.sleepNs(kRoomPollNs);
            return true;
        };
        while ((result = seq.output(client_->out.port.load(), bytes, sysex)) == -EAGAIN)
            if (seq.drain() == -EAGAIN ? !wait() : client_->out.lost.load()) return false;
        if (result == 0) {
            while ((result = seq.drain()) == -EAGAIN)
                if (!wait()) return false;
        }
        if (result >= 0) return true;
        char reason[160];
        std::snprintf(reason, sizeof reason, "The ALSA sequencer refused a MIDI event (%s)", std::strerror(-result));
        AlsaClient::lose(client_->out, reason);
        return false;
    }

    std::unique_ptr<ByteRing> ring_;
    MidiSendDone* done_ = nullptr;
    double rate_ = kAlsaProgramBytesPerSecond;
    std::string name_;  // the chosen port, for the user
    int room_ = 0;      // cells the receivers surely have free (writer thread)
    std::thread writer_;
    std::mutex mutex_;  // the writer's sleep, and what it checks before sleeping
    std::condition_variable wakeWriter_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> writing_{false};
    std::atomic<bool> cancel_{false};         // set by the main thread, cleared by the writer once done
    std::atomic<std::uint64_t> progress_{0};  // events handed over and messages finished
    std::uint64_t readPos_ = 0;               // writer thread only
};

}  // namespace

namespace {
std::atomic<double> programPace{kAlsaProgramBytesPerSecond};
}  // namespace

double alsaProgramPace()
{
    double pace = programPace.load();
    if (const char* env = std::getenv("TOLVEX_ALSA_PROGRAM_PACE"); env != nullptr && *env != '\0') {
        char* end = nullptr;
        const double v = std::strtod(env, &end);
        if (end != env && *end == '\0' && v > 0) pace = v;
    }
    return std::max(pace, kAlsaCableBytesPerSecond);
}

void setAlsaProgramPace(double bytesPerSecond)
{
    programPace.store(bytesPerSecond > 0 ? bytesPerSecond : kAlsaProgramBytesPerSecond);
}

MidiBackendPair makeAlsaBackends(std::unique_ptr<AlsaSeq> seq)
{
    auto client = std::make_shared<AlsaClient>(std::move(seq));
    return {std::make_unique<AlsaInBackend>(client), std::make_unique<AlsaOutBackend>(client)};
}

}  // namespace tolvex
