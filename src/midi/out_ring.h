// SPDX-License-Identifier: GPL-3.0-or-later
// How the back-ends queue outgoing messages: each goes into a byte ring after
// a header, and streams in pieces when the ring has less room than it needs.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "core/text/bytes.h"
#include "midi/midi_backend.h"

namespace tolvex {

// Each message in an output ring: its length, then whether to tell when it is out.
struct OutHeader {
    std::uint32_t length;
    std::uint32_t notify;
};
static_assert(sizeof(OutHeader) == 8);

// Hands a message and its header to `write`; an empty message is no message.
template <class Write>
void queueMessage(ByteView message, bool notifyDone, Write&& write)
{
    if (message.empty()) return;
    if (message.size() > 0xFFFFFFFFu) throw MidiBackendError(MidiErrorCode::TooLong, "MIDI message too long");
    const OutHeader header{static_cast<std::uint32_t>(message.size()), notifyDone ? 1u : 0u};
    std::uint8_t bytes[sizeof header];
    std::memcpy(bytes, &header, sizeof header);
    write(ByteView(bytes, sizeof bytes));
    write(message);
}

// Writes bytes into the ring on the main thread: what fits goes in and is
// published at once; then it waits for room. waitForRoom returns false when
// none comes, and stalled() throws the back-end's error for that.
template <class Ring, class Publish, class WaitForRoom, class Stalled>
void streamInto(Ring& ring, ByteView bytes, Publish&& publish, WaitForRoom&& waitForRoom, Stalled&& stalled)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t n = std::min(bytes.size() - pos, ring.Room());
        if (n > 0) {
            ring.Write(bytes.data() + pos, n);
            publish();
            pos += n;
            continue;
        }
        if (!waitForRoom()) stalled();
    }
}

// The error of a send that found no room: the port was lost, or the service
// stopped taking bytes (`stalledText`).
[[noreturn]] inline void throwStalled(bool lost, const char* stalledText)
{
    if (lost) throw MidiBackendError(MidiErrorCode::Lost, "The MIDI output port was lost");
    throw MidiBackendError(MidiErrorCode::Driver, stalledText);
}

// Waits on the main thread until done(). False when lost() or when
// `progress`, a count the sending side advances, stood still for `stall`.
template <class Lost, class Done>
bool waitWhileProgressing(const std::atomic<std::uint64_t>& progress, std::chrono::steady_clock::duration stall,
                          Lost&& lost, Done&& done)
{
    using Clock = std::chrono::steady_clock;
    std::uint64_t seen = progress.load();
    auto last = Clock::now();
    while (!done()) {
        if (lost()) return false;
        const std::uint64_t now = progress.load();
        if (now != seen) {
            seen = now;
            last = Clock::now();
        } else if (Clock::now() - last >= stall) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    return true;
}

}  // namespace tolvex
