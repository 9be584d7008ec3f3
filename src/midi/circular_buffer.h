// SPDX-License-Identifier: GPL-3.0-or-later
// The storage shared by the MIDI driver's thread and the main thread: the
// event queue and the byte ring that holds SysEx data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace tolvex {

// Address space reserved at once but backed by memory only where it is
// written: an anonymous private mapping, zero-filled on first touch. A large
// ceiling therefore costs nothing until traffic needs it. Throws std::bad_alloc.
class ReservedMemory {
public:
    ReservedMemory() = default;
    explicit ReservedMemory(std::size_t bytes);
    ~ReservedMemory();
    ReservedMemory(ReservedMemory&& other) noexcept;
    ReservedMemory& operator=(ReservedMemory&& other) noexcept;

    std::uint8_t* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// One queue slot: a short message, or one SysEx message whose bytes are in the
// byte ring. A SysEx message cut short (a status byte came before its F7) is
// queued with what arrived, so its last byte is not F7.
struct TMidiBufferItem {
    static constexpr std::uint64_t kNoSysex = ~std::uint64_t{0};
    // A SysEx message's doubts (MidiDoubt bits) ride in the top byte of its
    // position, which a ring of this program never reaches.
    static constexpr int kDoubtShift = 56;
    static constexpr std::uint64_t kPosition = (std::uint64_t{1} << kDoubtShift) - 1;

    std::uint64_t sysex = kNoSysex;  // ring position of the message's F0, and its doubts above
    std::uint32_t timestamp = 0;     // ms since the input was started
    std::uint32_t data = 0;          // short message: status in the low byte, then data 1, then data 2;
                                     // SysEx: its length in bytes
};
static_assert(sizeof(TMidiBufferItem) == 16);

// A fixed-capacity FIFO for exactly one producer thread and one consumer
// thread, reserved once; Put never allocates, locks or waits. The event count
// is the only field both sides change; its release/acquire order publishes a
// slot's contents to the other side, so no slot is read before it is written
// or overwritten before it is read. Capacity 0 gives a queue that is always full.
// Record must be trivially copyable: slots are raw reserved memory.
template <class Record>
class TCircularBuffer {
public:
    explicit TCircularBuffer(std::uint32_t capacity)
        : memory_(std::size_t{capacity} * sizeof(Record)),
          slots_(reinterpret_cast<Record*>(memory_.data())),
          capacity_(capacity)
    {
    }
    TCircularBuffer(const TCircularBuffer&) = delete;
    TCircularBuffer& operator=(const TCircularBuffer&) = delete;

    // Producer side.
    bool Put(const Record& record) noexcept
    {
        if (EventCount() >= capacity_) return false;
        std::memcpy(static_cast<void*>(slots_ + nextPut_), &record, sizeof(Record));
        nextPut_ = nextPut_ + 1 == capacity_ ? 0 : nextPut_ + 1;
        eventCount_.fetch_add(1, std::memory_order_release);
        return true;
    }
    // Only grows between two Puts, so the producer may check room for several records first.
    std::uint32_t FreeSlots() const noexcept { return capacity_ - EventCount(); }

    // Consumer side: Read copies the oldest record, Remove then frees its slot.
    bool Read(Record& out) const noexcept
    {
        if (EventCount() == 0) return false;
        std::memcpy(static_cast<void*>(&out), slots_ + nextGet_, sizeof(Record));
        return true;
    }
    bool Remove() noexcept
    {
        if (EventCount() == 0) return false;
        nextGet_ = nextGet_ + 1 == capacity_ ? 0 : nextGet_ + 1;
        eventCount_.fetch_sub(1, std::memory_order_release);
        return true;
    }

    std::uint32_t EventCount() const noexcept { return eventCount_.load(std::memory_order_acquire); }
    std::uint32_t Capacity() const noexcept { return capacity_; }

private:
    ReservedMemory memory_;
    Record* slots_;
    std::uint32_t capacity_;
    std::uint32_t nextPut_ = 0;  // producer only
    std::uint32_t nextGet_ = 0;  // consumer only
    std::atomic<std::uint32_t> eventCount_{0};
};

// A byte FIFO for one producer thread and one consumer thread, holding at most
// `ceiling` unread bytes. Positions count every byte ever written, so a
// position names a byte until the consumer frees it. The producer writes
// ahead of what it has published and may take back unpublished bytes (a
// message that turned out not to fit); the consumer frees bytes in order.
class ByteRing {
public:
    explicit ByteRing(std::size_t ceiling) : memory_(ceiling), ceiling_(ceiling) {}
    ByteRing(const ByteRing&) = delete;
    ByteRing& operator=(const ByteRing&) = delete;

    std::size_t Ceiling() const noexcept { return ceiling_; }

    // Producer side: `head` is the producer's own write position.
    std::uint64_t Head() const noexcept { return head_; }
    std::size_t Room() const noexcept
    {
        return ceiling_ - static_cast<std::size_t>(head_ - tail_.load(std::memory_order_acquire));
    }
    // Appends the bytes when they fit whole; false (nothing written) otherwise.
    bool Write(const std::uint8_t* bytes, std::size_t n) noexcept
    {
        if (n == 0) return true;
        if (n > Room()) return false;
        copyIn(head_, bytes, n);
        head_ += n;
        return true;
    }
    // Takes back the bytes written since `position` (not yet published to the consumer).
    void Rewind(std::uint64_t position) noexcept { head_ = position; }
    // Makes everything written so far visible to Published(), for a consumer
    // that is not told positions through a queue of its own.
    void Publish() noexcept { published_.store(head_, std::memory_order_release); }

    // Consumer side.
    std::uint64_t Published() const noexcept { return published_.load(std::memory_order_acquire); }
    void Read(std::uint64_t position, std::uint8_t* out, std::size_t n) const noexcept
    {
        if (n == 0) return;
        const std::size_t at = static_cast<std::size_t>(position % ceiling_);
        const std::size_t first = n < ceiling_ - at ? n : ceiling_ - at;
        std::memcpy(out, memory_.data() + at, first);
        std::memcpy(out + first, memory_.data(), n - first);
    }
    // Every byte before `position` has been read.
    void Free(std::uint64_t position) noexcept { tail_.store(position, std::memory_order_release); }

private:
    void copyIn(std::uint64_t position, const std::uint8_t* bytes, std::size_t n) noexcept
    {
        const std::size_t at = static_cast<std::size_t>(position % ceiling_);
        const std::size_t first = n < ceiling_ - at ? n : ceiling_ - at;
        std::memcpy(memory_.data() + at, bytes, first);
        std::memcpy(memory_.data(), bytes + first, n - first);
    }

    ReservedMemory memory_;
    std::size_t ceiling_;
    std::uint64_t head_ = 0;                   // producer only
    std::atomic<std::uint64_t> published_{0};  // written by the producer
    std::atomic<std::uint64_t> tail_{0};       // written by the consumer
};

}  // namespace tolvex
