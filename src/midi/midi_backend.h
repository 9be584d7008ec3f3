// SPDX-License-Identifier: GPL-3.0-or-later
// The port back-end under TMidiInput and TMidiOutput: the platform's MIDI
// service (the ALSA sequencer or JACK) or the in-process loopback. A back-end lists ports, opens
// one by name and moves whole messages; queueing, buffering and the main
// thread's notifications belong to the devices above it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// Kinds of back-end failure, kept in the devices' Error property.
enum class MidiErrorCode : std::uint16_t {
    None = 0,
    NoSuchPort = 1,   // the named port is not (or no longer) there
    PortInUse = 2,    // the port cannot be opened twice
    Driver = 3,       // the MIDI service refused or failed
    TooLong = 4,      // the message cannot travel in one piece on this service
    InvalidData = 5,  // the bytes are not a MIDI message
    Lost = 6,         // an open port stopped working: server gone, connection gone, failed send
};

// The user-facing text of a code; "Specified error number is out of range"
// for a value no code has.
std::string MidiInErrorString(MidiErrorCode code);
std::string midioutErrorString(MidiErrorCode code);

// what() is the back-end's own text, shown to the user as it is.
class MidiBackendError : public TolvexError {
public:
    MidiBackendError(MidiErrorCode code_, const std::string& text) : TolvexError(text), code(code_) {}
    MidiErrorCode code;
};

// Told, on any thread and at most once per open, that the open port stopped
// working. `reason` (for the user) is valid only during the call.
// Implementations must not block or allocate: the caller may be a real-time thread.
class MidiPortWatcher {
public:
    virtual void portLost(const char* reason) noexcept = 0;

protected:
    ~MidiPortWatcher() = default;
};

// Gets every message arriving on an open input port, on the back-end's own
// thread, in order: a short message whole, a SysEx message whole or in pieces
// (the first starts with F0, the one that ends it ends with F7, the ones
// between hold data bytes; a real-time byte may come between two pieces).
// `bytes` is valid only during the call. Implementations must not block or
// allocate: the caller may be a real-time audio thread.
class MidiReceiver : public MidiPortWatcher {
public:
    virtual void receive(ByteView bytes) noexcept = 0;
    // Data meant for this port went missing for certain (a connection of the
    // port went away): a SysEx message in progress has a hole and must not be
    // stored. Same thread and rules as receive().
    virtual void dataLost() noexcept {}
    // The service says it dropped `events` events meant for this port (JACK,
    // when it mixes several senders into it). Which ones is not known: a SysEx
    // message in progress is kept, marked as possibly damaged. Same rules as receive().
    virtual void eventsDropped(std::uint32_t events) noexcept { (void)events; }
    // Several senders now feed the port (only reported while a SysEx message
    // is in progress, where their pieces can mix). Same rules as receive().
    virtual void severalSenders() noexcept {}
    // The service skipped or repeated a period of this port while MIDI was
    // arriving (this client ran late): what was sent then may be missing or
    // doubled. A SysEx message in progress is kept, marked as possibly damaged.
    // Same rules as receive().
    virtual void periodMissed() noexcept {}
    // The service's queue for this port overflowed and it threw away every
    // event waiting there (ALSA's input overrun): how many is not known, a
    // SysEx message in progress has a hole. Same rules as receive().
    virtual void inputOverrun() noexcept {}

protected:
    ~MidiReceiver() = default;
};

// Told, on any thread, that a message sent with notifyDone has left the port.
class MidiSendDone : public MidiPortWatcher {
public:
    virtual void sendDone() noexcept = 0;

protected:
    ~MidiSendDone() = default;
};

// A back-end of one direction: lists the ports, opens one by name for a
// watcher (a MidiReceiver or a MidiSendDone), closes it.
template <class Watcher>
class MidiPortBackend {
public:
    virtual ~MidiPortBackend() = default;
    // Port names in the service's order; the program's own virtual port, when
    // the service has one, comes last. Empty when there is no MIDI service.
    virtual std::vector<std::string> portNames() = 0;
    // The same, asked of the service now where portNames() may answer from
    // a list kept between calls: a port created a moment ago is in it.
    virtual std::vector<std::string> freshPortNames() { return portNames(); }
    // Opens the port with exactly this name; `watcher` must outlive the open
    // port. Throws MidiBackendError.
    virtual void open(const std::string& name, Watcher& watcher) = 0;
    virtual void close() = 0;
};

// From open() until close() returns, the receiver gets every message; when
// close() returns, no call to the receiver is running and none will start.
class MidiInBackend : public MidiPortBackend<MidiReceiver> {
public:
    // The most bytes a second the service can deliver on one port (an estimate
    // where it has no fixed figure); sizes the input's buffers. 3125 is MIDI's wire speed.
    virtual double fastestBytesPerSecond() { return 3125; }
};

// Messages sent before close() are not lost by closing (unless the port was lost).
class MidiOutBackend : public MidiPortBackend<MidiSendDone> {
public:
    // Sends one complete message of any length; the bytes are copied when it
    // returns. With notifyDone, done.sendDone() follows once the message is
    // out. Throws MidiBackendError.
    virtual void send(ByteView message, bool notifyDone) = 0;
    // Drops what is still queued: the message going out stops between two of
    // its pieces (a receiver drops it as unfinished) and those behind it are
    // not sent; a dropped message that asked for done.sendDone() still gets it.
    virtual void cancel() {}
    // Bytes handed to send() that have not left yet (0 where the service does not say).
    virtual std::uint64_t queuedBytes() { return 0; }
    // Periods since open in which this client ran late while it had messages
    // going out: the service may then have handed a receiver the previous
    // period's events again, or none (0 where the service has no periods).
    virtual std::uint64_t latePeriods() { return 0; }
};

}  // namespace tolvex
