// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI input device: receives on a back-end's port, queues events without
// locks for the main thread, and hands them out one by one.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/shell.h"
#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"
#include "midi/circular_buffer.h"
#include "midi/midi_backend.h"
#include "midi/port_selection.h"

namespace tolvex {

class EMidiInputError : public TolvexError {
public:
    using TolvexError::TolvexError;
};

enum TMidiInputState { misOpen = 0, misClosed = 1, misCreating = 2, misDestroying = 3 };

class TMidiInput : public PortChoice<TMidiInput, EMidiInputError, MidiInBackend, std::uint16_t> {
public:
    // `shell` carries the notifications to the main thread and must outlive the device.
    TMidiInput(Shell& shell, std::unique_ptr<MidiInBackend> backend);
    ~TMidiInput();
    TMidiInput(const TMidiInput&) = delete;
    TMidiInput& operator=(const TMidiInput&) = delete;

    // Device selection (SetDeviceID, SetProductName, DeviceNames, Numdevs,
    // Error) comes from PortChoice: only while closed.
    // The most bytes a second the port can deliver (the back-end's figure).
    double PortBytesPerSecond() { return backend_->fastestBytesPerSecond(); }

    // Queue size in messages; takes effect at the next Open.
    void SetCapacity(std::uint32_t capacity) { FCapacity = capacity; }
    std::uint32_t Capacity() const { return FCapacity; }
    // Only while closed. SysEx bytes wait for the main thread in one ring of
    // SysexCeiling bytes, reserved at Open and backed by memory only as
    // traffic fills it. A SysEx message is queued whole or not at all, so
    // messages up to the ceiling arrive whole and the ceiling is what a burst
    // may hold before messages are dropped. GetMidiEvent hands a message out in
    // events of at most SysexBufferSize bytes, which the assembler joins.
    // Either set to 0 drops every SysEx message.
    void SetSysexBufferSize(std::uint16_t size);
    std::uint16_t SysexBufferSize() const { return FSysexBufferSize; }
    void SetSysexCeiling(std::size_t bytes);
    std::size_t SysexCeiling() const { return FSysexCeiling; }
    // Drops short messages; may change while open (it may take effect one message late).
    void SetSysexOnly(bool sysexOnly);
    bool SysexOnly() const { return FSysexOnly; }

    // Reserves the queue and the ring and opens the selected port. False leaves
    // the device closed; OpenError() then has the back-end's text for the user.
    bool Open();
    // Lets input flow; time stamps count from here.
    void Start();
    // Open and Start in one, input flowing before the port is connected: a
    // sender that starts the moment the connection is made (JACK) loses nothing.
    bool OpenStarted();
    // Pending notifications do nothing once this has begun; queued events are discarded.
    void Close();

    TMidiInputState State() const { return FState; }
    // Queued messages (a long SysEx message may still give several events).
    std::uint32_t GetEventCount() const;
    std::uint32_t MessageCount() const { return GetEventCount(); }
    // The oldest queued event, or nothing (also while closed): a short message,
    // or the next piece of the oldest SysEx message.
    std::optional<TMyMidiEvent> GetMidiEvent();
    // Messages dropped since creation because the queue or the ring was full;
    // a SysEx message counts once, however long.
    std::uint64_t DroppedEvents() const { return ctl_.dropped.load(std::memory_order_relaxed); }
    // Events the MIDI service says it dropped before they reached the port,
    // and SysEx messages discarded because data went missing inside them for
    // certain (a connection of the port went away), since creation.
    std::uint64_t LostEvents() const { return ctl_.lostEvents.load(std::memory_order_relaxed); }
    std::uint64_t GapDiscards() const { return ctl_.gapDiscards.load(std::memory_order_relaxed); }
    // Whether several senders fed the port while a SysEx message was in
    // progress, and how many messages a new F0 from another sender cut.
    bool SeveralSenders() const { return ctl_.several.load(std::memory_order_relaxed); }
    std::uint64_t MixedMessages() const { return ctl_.mixed.load(std::memory_order_relaxed); }
    // Periods the service ran the input late in while MIDI was arriving, since
    // creation. A SysEx message arriving then, or while the service dropped
    // events, is kept and handed out with its doubts (TMyMidiEvent::Doubt).
    std::uint64_t MissedPeriods() const { return ctl_.missedPeriods.load(std::memory_order_relaxed); }
    // Times the service threw away everything queued for the port (its queue
    // overflowed), since creation.
    std::uint64_t Overruns() const { return ctl_.overruns.load(std::memory_order_relaxed); }
    // Bytes the port has delivered since creation (activity, even inside a long message).
    std::uint64_t BytesReceived() const { return ctl_.bytes.load(std::memory_order_relaxed); }
    // The SysEx bytes among them (F0 to F7, also of a message dropped or cut):
    // what counts as activity while waiting for a dump, when notes, a clock or
    // Active Sensing may go on meanwhile.
    std::uint64_t SysexBytesReceived() const { return ctl_.sysexBytes.load(std::memory_order_relaxed); }
    // Bytes of the SysEx message still unfinished when the device last closed.
    std::size_t UnfinishedBytes() const { return FUnfinished; }

    // Run on the main thread: OnMidiInput when events wait (the handler drains
    // them all; later notifications may find the queue empty), OnOverflow after
    // drops, OnLost once when the open port stopped working (the device is
    // closed by then; the text says why).
    std::function<void(TMidiInput&)> OnMidiInput;
    std::function<void(TMidiInput&)> OnOverflow;
    // Run on the main thread after the service lost data (see LostEvents).
    std::function<void(TMidiInput&)> OnDataLost;
    std::function<void(TMidiInput&, const std::string& reason)> OnLost;

private:
    // The driver callback's instance data: all it touches, nothing it allocates.
    struct TMidiCtlInfo final : MidiReceiver {
        void receive(ByteView data) noexcept override;
        void portLost(const char* reason) noexcept override;
        void dataLost() noexcept override;
        void severalSenders() noexcept override;
        void periodMissed() noexcept override;
        void eventsDropped(std::uint32_t events) noexcept override;
        void inputOverrun() noexcept override;
        bool cutSysex() noexcept;
        void drop() noexcept;
        void shortMessage(const std::uint8_t* data, std::size_t n) noexcept;
        void beginSysex() noexcept;
        void appendSysex(const std::uint8_t* data, std::size_t n) noexcept;
        void endSysex() noexcept;
        std::uint32_t now() const noexcept;

        Shell* shell = nullptr;
        int inputWake = -1;
        int overflowWake = -1;
        int lostWake = -1;
        int dataLostWake = -1;
        TCircularBuffer<TMidiBufferItem>* PBuffer = nullptr;
        ByteRing* ring = nullptr;  // nullptr: SysEx is dropped
        std::atomic<bool> SysexOnly{false};
        std::atomic<bool> running{false};
        std::chrono::steady_clock::time_point started;  // written before `running` is set
        std::atomic<std::uint64_t> dropped{0};
        std::atomic<std::uint64_t> bytes{0};
        std::atomic<std::uint64_t> sysexBytes{0};
        std::atomic<std::uint64_t> lostEvents{0};
        std::atomic<std::uint64_t> gapDiscards{0};
        std::atomic<std::uint64_t> mixed{0};
        std::atomic<std::uint64_t> missedPeriods{0};
        std::atomic<std::uint64_t> overruns{0};
        std::atomic<bool> several{false};
        // The SysEx message being received (driver thread only).
        bool inSysex = false;
        bool dropping = false;   // it did not fit: its remaining bytes are skipped
        std::uint8_t doubt = 0;  // MidiDoubt bits gathered while it arrives
        std::uint64_t sysexStart = 0;
        std::uint32_t sysexTime = 0;
        PortLostNotice lost;
    };

    bool open(bool started);
    void inputNotification();
    void overflowNotification();
    void dataLostNotification();
    void lostNotification();
    void freeBuffers();

    friend PortChoice;
    bool portOpen() const { return FState == misOpen; }

    Shell& shell_;
    TMidiInputState FState = misCreating;
    bool FSysexOnly = false;
    std::uint32_t FCapacity = 1024;
    std::uint16_t FSysexBufferSize = 4096;
    std::size_t FSysexCeiling = 64 * 1024;
    std::unique_ptr<TCircularBuffer<TMidiBufferItem>> PBuffer;
    std::unique_ptr<ByteRing> ring_;
    std::size_t FUnfinished = 0;
    std::size_t handedOut_ = 0;  // bytes of the oldest SysEx message already given out
    TMidiCtlInfo ctl_;
};

}  // namespace tolvex
