// The event queue between the MIDI driver's thread and the main thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvex {

// One queue slot: a short message, or one filled SysEx buffer.
struct TMidiBufferItem {
    static constexpr std::int32_t kNoSysex = -1;

    std::uint32_t timestamp = 0;    // ms since the input was started
    std::uint32_t data = 0;         // short message: status in the low byte, then data 1, then data 2
    std::int32_t sysex = kNoSysex;  // index of the filled SysEx buffer
};
static_assert(sizeof(TMidiBufferItem) == 12);

// A fixed-capacity FIFO for exactly one producer thread and one consumer
// thread, allocated once; Put never allocates, locks or waits. The event count
// is the only field both sides change; its release/acquire order publishes a
// slot's contents to the other side, so no slot is read before it is written
// or overwritten before it is read. Capacity 0 gives a queue that is always full.
template <class Record>
class TCircularBuffer {
public:
    explicit TCircularBuffer(std::uint16_t capacity) : slots_(capacity) {}
    TCircularBuffer(const TCircularBuffer&) = delete;
    TCircularBuffer& operator=(const TCircularBuffer&) = delete;

    // Producer side.
    bool Put(const Record& record) noexcept
    {
        if (EventCount() >= slots_.size()) return false;
        slots_[nextPut_] = record;
        nextPut_ = nextPut_ + 1 == slots_.size() ? 0 : nextPut_ + 1;
        eventCount_.fetch_add(1, std::memory_order_release);
        return true;
    }
    // Only grows between two Puts, so the producer may check room for several records first.
    std::size_t FreeSlots() const noexcept { return slots_.size() - EventCount(); }

    // Consumer side: Read copies the oldest record, Remove then frees its slot.
    bool Read(Record& out) const noexcept
    {
        if (EventCount() == 0) return false;
        out = slots_[nextGet_];
        return true;
    }
    bool Remove() noexcept
    {
        if (EventCount() == 0) return false;
        nextGet_ = nextGet_ + 1 == slots_.size() ? 0 : nextGet_ + 1;
        eventCount_.fetch_sub(1, std::memory_order_release);
        return true;
    }

    std::uint16_t EventCount() const noexcept { return eventCount_.load(std::memory_order_acquire); }
    std::uint16_t Capacity() const noexcept { return static_cast<std::uint16_t>(slots_.size()); }

private:
    std::vector<Record> slots_;
    std::size_t nextPut_ = 0;  // producer only
    std::size_t nextGet_ = 0;  // consumer only
    std::atomic<std::uint16_t> eventCount_{0};
};

}  // namespace tolvex
