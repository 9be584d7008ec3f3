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

#include "core/bytes.h"
#include "core/midi_event.h"
#include "core/shell.h"
#include "midi/circular_buffer.h"
#include "midi/midi_backend.h"

namespace tolvex {

class EMidiInputError : public TolvexError {
public:
    using TolvexError::TolvexError;
};

enum TMidiInputState { misOpen = 0, misClosed = 1, misCreating = 2, misDestroying = 3 };

// One SysEx buffer: `BytesRecorded` of `data` are filled. Allocated before the
// port opens; owned by the device while free, by the queue record that names it
// while queued.
struct TMyMidiHdr {
    explicit TMyMidiHdr(std::size_t size) : data(size) {}
    Bytes data;
    std::uint16_t BytesRecorded = 0;
};

class TMidiInput {
public:
    // `shell` carries the notifications to the main thread and must outlive the device.
    TMidiInput(Shell& shell, std::unique_ptr<MidiInBackend> backend);
    ~TMidiInput();
    TMidiInput(const TMidiInput&) = delete;
    TMidiInput& operator=(const TMidiInput&) = delete;

    // Device selection, only while closed. Numdevs is counted at creation;
    // DeviceNames() asks the back-end again.
    void SetDeviceID(std::uint16_t id);
    std::uint16_t DeviceID() const { return FDeviceID; }
    void SetProductName(const std::string& name);
    const std::string& ProductName() const { return FProductName; }
    std::uint16_t Numdevs() const { return FNumdevs; }
    std::vector<std::string> DeviceNames();

    // Queue size in records; takes effect at the next Open.
    void SetCapacity(std::uint16_t capacity) { FCapacity = capacity; }
    std::uint16_t Capacity() const { return FCapacity; }
    // SysEx buffers, only while closed. A SysEx message is queued whole or not
    // at all, so the longest message taken is SysexBufferCount x SysexBufferSize bytes.
    void SetSysexBufferSize(std::uint16_t size);
    std::uint16_t SysexBufferSize() const { return FSysexBufferSize; }
    void SetSysexBufferCount(std::uint16_t count);
    std::uint16_t SysexBufferCount() const { return FSysexBufferCount; }
    // Drops short messages; may change while open (it may take effect one message late).
    void SetSysexOnly(bool sysexOnly);
    bool SysexOnly() const { return FSysexOnly; }

    // Allocates the queue and buffers and opens the selected port. False leaves
    // the device closed; OpenError() then has the back-end's text for the user.
    bool Open();
    const std::string& OpenError() const { return FOpenError; }
    // Lets input flow; time stamps count from here.
    void Start();
    // Pending notifications do nothing once this has begun; queued events are discarded.
    void Close();

    TMidiInputState State() const { return FState; }
    std::uint32_t MIDIHandle() const { return FMIDIHandle; }
    MidiErrorCode Error() const { return FError; }
    std::uint16_t GetEventCount() const;
    std::uint16_t MessageCount() const { return GetEventCount(); }
    // The oldest queued event, or nothing (also while closed). Gives its SysEx buffer back.
    std::optional<TMyMidiEvent> GetMidiEvent();
    // Events dropped since creation because the queue or the SysEx buffers were full;
    // a SysEx message counts one per buffer it needed.
    std::uint64_t DroppedEvents() const { return ctl_.dropped.load(std::memory_order_relaxed); }

    // Run on the main thread: OnMidiInput when events wait (the handler drains
    // them all; later notifications may find the queue empty), OnOverflow after drops.
    std::function<void(TMidiInput&)> OnMidiInput;
    std::function<void(TMidiInput&)> OnOverflow;

private:
    // The driver callback's instance data: all it touches, nothing it allocates.
    struct TMidiCtlInfo final : MidiReceiver {
        void receive(ByteView message) noexcept override;
        void drop(std::size_t events) noexcept;

        Shell* shell = nullptr;
        int inputWake = -1;
        int overflowWake = -1;
        TCircularBuffer<TMidiBufferItem>* PBuffer = nullptr;
        TCircularBuffer<std::uint16_t>* freeBuffers = nullptr;  // indexes into hdrs, filled by the main thread
        TMyMidiHdr* hdrs = nullptr;
        std::size_t hdrSize = 0;
        std::atomic<bool> SysexOnly{false};
        std::atomic<bool> running{false};
        std::chrono::steady_clock::time_point started;  // written before `running` is set
        std::atomic<std::uint64_t> dropped{0};
    };

    void inputNotification();
    void overflowNotification();
    void freeBuffers();
    std::vector<std::string> names();

    Shell& shell_;
    std::unique_ptr<MidiInBackend> backend_;
    TMidiInputState FState = misCreating;
    std::uint16_t FDeviceID = 0;
    std::string FProductName;
    std::uint16_t FNumdevs = 0;
    std::uint32_t FMIDIHandle = 0;
    MidiErrorCode FError = MidiErrorCode::None;
    std::string FOpenError;
    bool FSysexOnly = false;
    std::uint16_t FCapacity = 1024;
    std::uint16_t FSysexBufferSize = 4096;
    std::uint16_t FSysexBufferCount = 16;
    std::unique_ptr<TCircularBuffer<TMidiBufferItem>> PBuffer;
    std::unique_ptr<TCircularBuffer<std::uint16_t>> freeList_;
    std::vector<TMyMidiHdr> MidiHdrs;
    TMidiCtlInfo ctl_;
};

}  // namespace tolvex
