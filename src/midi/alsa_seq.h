// SPDX-License-Identifier: GPL-3.0-or-later
// The few ALSA sequencer operations the ALSA back-end needs, behind an
// interface so that tests drive the back-end with a fake where no sequencer
// exists. One object is one sequencer client (one handle); the back-end's
// reader thread calls waitInput/input, its writer thread output/drain/
// waitOutput/destinationRoom/nowNs/sleepNs, the main thread the rest. The real one (openAlsaSeq) is a thin
// layer over alsa-lib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

struct SeqAddr {
    int client = -1;
    int port = -1;
    bool operator==(const SeqAddr&) const = default;
};

struct SeqPortInfo {
    SeqAddr addr;
    std::string clientName;
    std::string portName;
    bool readable = false;  // other clients may subscribe to what it sends (a MIDI source)
    bool writable = false;  // other clients may subscribe it to what they send (a MIDI destination)
    bool hardware = false;  // a kernel client: a port that ends in a MIDI cable
};

enum class SeqEventKind {
    Data,          // MIDI bytes for one of our ports: a SysEx piece or one short message
    PortStart,     // announce: `source` appeared
    PortExit,      // announce: `source` went away
    ClientStart,   // announce: client `source.client` appeared
    ClientExit,    // announce: client `source.client` went away
    Unsubscribed,  // announce: the connection `source` -> `dest` was removed
    Other,
};

// One event read from the sequencer. `bytes` stays valid until the next input().
struct SeqEvent {
    SeqEventKind kind = SeqEventKind::Other;
    SeqAddr source;
    SeqAddr dest;
    ByteView bytes;
};

class AlsaSeq {
public:
    virtual ~AlsaSeq() = default;

    virtual int clientId() const = 0;
    // Every port of every client, ours included.
    virtual std::vector<SeqPortInfo> ports() = 0;
    // Creates a port of ours named `name`; `exported` lets others list and
    // connect it. Returns its number, or a negative errno.
    virtual int createPort(const std::string& name, bool input, bool exported) = 0;
    virtual void deletePort(int port) = 0;
    // Returns 0 or a negative errno (-EBUSY when already connected).
    virtual int connect(SeqAddr sender, SeqAddr dest) = 0;
    virtual void disconnect(SeqAddr sender, SeqAddr dest) = 0;
    // Subscribes `port` of ours to the sequencer's announcements.
    virtual int watchAnnouncements(int port) = 0;

    // Writer side. Queues one event (a SysEx piece when `sysex`, else one short
    // message) from `port` to its subscribers for immediate delivery. 0, or
    // -EAGAIN when the output pool is full (nothing queued), or another errno.
    virtual int output(int port, ByteView bytes, bool sysex) = 0;
    // Hands queued events to the sequencer: 0 when all went, -EAGAIN when the
    // pool is full, or another errno.
    virtual int drain() = 0;
    // Waits up to `timeoutMs` for room in the output pool.
    virtual void waitOutput(int timeoutMs) = 0;
    // The fewest free cells in the input pool of any program subscribed to
    // our `port`, or -1 when no program is (a kernel client passes events on
    // to its cable and has no such pool). An event that finds no room there
    // is refused, and the sequencer then throws away everything the receiver
    // had queued: a sender waits for room instead.
    virtual int destinationRoom(int port) = 0;

    // Reader side. Waits up to `timeoutMs` (or until wake()) for input; true
    // when an event may be there.
    virtual bool waitInput(int timeoutMs) = 0;
    // 1 with an event, 0 with none waiting, -ENOSPC when the sequencer dropped
    // events meant for us, another negative errno on failure.
    virtual int input(SeqEvent& event) = 0;
    // Any thread: makes a running or the next waitInput return at once.
    virtual void wake() = 0;

    // The writer's clock, for pacing output to a MIDI cable.
    virtual std::int64_t nowNs() = 0;
    virtual void sleepNs(std::int64_t ns) = 0;
};

// The pool cells one event takes: a SysEx piece of `n` bytes one for the
// event and one for every 28 bytes of data, a short message one.
constexpr int seqCells(std::size_t n, bool sysex)
{
    return sysex ? 1 + static_cast<int>((n + 27) / 28) : 1;
}
// The largest input pool the kernel gives a client (SNDRV_SEQ_MAX_CLIENT_EVENTS).
inline constexpr int kSeqPoolCells = 2000;

// A client named `clientName` on the system's sequencer, with its pools sized
// for streaming; nullptr when the sequencer cannot be opened (nothing printed).
std::unique_ptr<AlsaSeq> openAlsaSeq(const std::string& clientName);

}  // namespace tolvex
