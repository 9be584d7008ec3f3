// SPDX-License-Identifier: GPL-3.0-or-later
// An ALSA sequencer client without a sequencer: other clients' ports, the
// events our ports send, events to deliver to us, a pool that fills, refused
// events and a virtual clock, all set and read by the test.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/alsa_seq.h"

namespace tolvex::testing {

class FakeAlsaSeq final : public AlsaSeq {
public:
    static constexpr int kSelf = 128;

    struct Sent {
        Bytes bytes;
        bool sysex;
        std::int64_t atNs;  // the virtual clock when it was handed over
    };

    // Everything the test sees and sets; guarded by `mutex`.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<SeqPortInfo> others;
        std::vector<std::pair<int, std::string>> ours;  // port number, name
        std::vector<Sent> sent;
        // Output: after every `fullEvery` events, the pool is full for `fullFor` tries.
        int fullEvery = 0;
        int fullFor = 0;
        int fullTries = 0;  // tries answered -EAGAIN so far
        int refuseAt = -1;  // the event with this index (from 0) is refused with -EINVAL
        int holdAt = -1;    // the writer waits before the event with this index until `hold` is cleared
        bool hold = false;
        int holdWhenFree = -1;  // asking for room with this many cells free waits until `hold` is cleared
        std::int64_t nowNs = 0;
        // A program receiving from our ports: the free cells of its input pool
        // (-1: no program receives), of which it reads `readsPerMs` a
        // millisecond of the virtual clock. An event that finds no room is
        // refused and counted, as the sequencer would throw away its queue.
        int receiverFree = -1;
        int readsPerMs = 0;
        int overflows = 0;
        std::deque<std::pair<int, SeqEvent>> input;  // result code and event
        std::deque<Bytes> inputBytes;                // what each queued Data event points into
        bool woken = false;

        // Adds a port of another client; `announce` tells us as the sequencer would.
        void addPort(SeqPortInfo port, bool announce);
        // Removes a port and tells us (port exit).
        void removePort(SeqAddr addr);
        // Queues MIDI bytes from `source` to our port `port`.
        void deliver(SeqAddr source, int port, ByteView bytes);
        // Queues an event as read from the sequencer, or a failure code.
        void queue(SeqEvent event, int code = 1);
    };

    explicit FakeAlsaSeq(std::shared_ptr<State> state) : state_(std::move(state)) {}

    int clientId() const override { return kSelf; }
    std::vector<SeqPortInfo> ports() override;
    int createPort(const std::string& name, bool input, bool exported) override;
    void deletePort(int port) override;
    int connect(SeqAddr sender, SeqAddr dest) override;
    void disconnect(SeqAddr, SeqAddr) override {}
    int watchAnnouncements(int) override { return 0; }
    int output(int port, ByteView bytes, bool sysex) override;
    int drain() override { return 0; }
    void waitOutput(int) override {}
    int destinationRoom(int) override;
    bool waitInput(int timeoutMs) override;
    int input(SeqEvent& event) override;
    void wake() override;
    std::int64_t nowNs() override;
    void sleepNs(std::int64_t ns) override;

private:
    std::shared_ptr<State> state_;
    Bytes current_;  // what the last Data event read points into
    int nextPort_ = 0;
};

}  // namespace tolvex::testing
