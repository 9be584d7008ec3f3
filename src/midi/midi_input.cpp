// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_input.h"

#include "midi/midi_output.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tolvex {

namespace {

constexpr std::uint8_t kSysex = 0xF0;
constexpr std::uint8_t kSysexEnd = 0xF7;
constexpr std::uint8_t kTimingClock = 0xF8;
constexpr std::uint8_t kActiveSensing = 0xFE;

}  // namespace

TMidiInput::TMidiInput(Shell& shell, std::unique_ptr<MidiInBackend> backend)
    : PortChoice(std::move(backend), "MIDI Input Device ", " not installed "), shell_(shell)
{
    ctl_.shell = &shell_;
    ctl_.inputWake = shell_.registerWakeup([this] { inputNotification(); });
    ctl_.overflowWake = shell_.registerWakeup([this] { overflowNotification(); });
    ctl_.lostWake = shell_.registerWakeup([this] { lostNotification(); });
    ctl_.dataLostWake = shell_.registerWakeup([this] { dataLostNotification(); });
    if (ctl_.inputWake < 0 || ctl_.overflowWake < 0 || ctl_.lostWake < 0 || ctl_.dataLostWake < 0) {
        shell_.unregisterWakeup(ctl_.inputWake);
        shell_.unregisterWakeup(ctl_.overflowWake);
        shell_.unregisterWakeup(ctl_.lostWake);
        shell_.unregisterWakeup(ctl_.dataLostWake);
        throw EMidiInputError("No main-thread notification left for the MIDI input");
    }
    chooseFirstPort();
    FState = misClosed;
}

TMidiInput::~TMidiInput()
{
    FState = misDestroying;
    if (FMIDIHandle != 0) {
        ctl_.running.store(false);
        backend_->close();
        freeBuffers();
    }
    shell_.unregisterWakeup(ctl_.inputWake);
    shell_.unregisterWakeup(ctl_.overflowWake);
    shell_.unregisterWakeup(ctl_.lostWake);
    shell_.unregisterWakeup(ctl_.dataLostWake);
}

void TMidiInput::SetSysexBufferSize(std::uint16_t size)
{
    if (FState == misOpen) throw EMidiInputError("Change to SysexBufferSize while device was open");
    FSysexBufferSize = size;
}

void TMidiInput::SetSysexCeiling(std::size_t bytes)
{
    if (FState == misOpen) throw EMidiInputError("Change to SysexCeiling while device was open");
    FSysexCeiling = bytes;
}

void TMidiInput::SetSysexOnly(bool sysexOnly)
{
    FSysexOnly = sysexOnly;
    ctl_.SysexOnly.store(sysexOnly, std::memory_order_relaxed);
}

bool TMidiInput::Open()
{
    return open(false);
}

bool TMidiInput::OpenStarted()
{
    return open(true);
}

bool TMidiInput::open(bool started)
{
    if (FState == misOpen) {
        if (started) Start();
        return true;
    }
    FOpenError.clear();
    FUnfinished = 0;
    try {
        if (FNumdevs == 0 || FProductName.empty()) throw EMidiInputError("Invalid device ID");
        PBuffer = std::make_unique<TCircularBuffer<TMidiBufferItem>>(FCapacity);
        // A message's length travels in 32 bits.
        const std::size_t ceiling = std::min<std::size_t>(FSysexCeiling, 0xFFFFFFFFu);
        if (FSysexBufferSize > 0 && ceiling > 0) ring_ = std::make_unique<ByteRing>(ceiling);
        handedOut_ = 0;
        ctl_.PBuffer = PBuffer.get();
        ctl_.ring = ring_.get();
        ctl_.SysexOnly.store(FSysexOnly);
        ctl_.running.store(false);
        ctl_.inSysex = false;
        ctl_.dropping = false;
        ctl_.lost.reset();
        if (started) {
            ctl_.started = std::chrono::steady_clock::now();
            ctl_.running.store(true, std::memory_order_release);
        }
        backend_->open(FProductName, ctl_);
    } catch (const MidiBackendError& e) {
        FError = e.code;
        FOpenError = e.what();
    } catch (const TolvexError& e) {
        FOpenError = e.what();
    } catch (const std::bad_alloc&) {
        FOpenError = "Could not allocate memory";
    }
    if (!FOpenError.empty()) {
        ctl_.running.store(false);
        freeBuffers();
        return false;
    }
    FMIDIHandle = nextHandle();
    FState = misOpen;
    return true;
}

void TMidiInput::Start()
{
    if (FState != misOpen) return;
    ctl_.started = std::chrono::steady_clock::now();
    ctl_.running.store(true, std::memory_order_release);
}

void TMidiInput::Close()
{
    if (FState != misOpen) return;
    FState = misClosed;
    ctl_.running.store(false);
    backend_->close();
    // No driver call runs any more: the message it was receiving is left unfinished.
    FUnfinished =
        ctl_.inSysex && !ctl_.dropping && ring_ ? static_cast<std::size_t>(ring_->Head() - ctl_.sysexStart) : 0;
    ctl_.inSysex = false;
    FMIDIHandle = 0;
    freeBuffers();
}

void TMidiInput::freeBuffers()
{
    ctl_.PBuffer = nullptr;
    ctl_.ring = nullptr;
    PBuffer.reset();
    ring_.reset();
    handedOut_ = 0;
}

std::uint32_t TMidiInput::GetEventCount() const
{
    return FState == misOpen && PBuffer ? PBuffer->EventCount() : 0;
}

std::optional<TMyMidiEvent> TMidiInput::GetMidiEvent()
{
    if (FState != misOpen || !PBuffer) return std::nullopt;
    TMidiBufferItem item;
    if (!PBuffer->Read(item)) return std::nullopt;
    TMyMidiEvent event;
    event.Time = item.timestamp;
    if (item.sysex == TMidiBufferItem::kNoSysex) {
        event.MidiMessage = static_cast<std::uint8_t>(item.data & 0xFF);
        event.Data1 = static_cast<std::uint8_t>((item.data >> 8) & 0xFF);
        event.Data2 = static_cast<std::uint8_t>((item.data >> 16) & 0xFF);
        PBuffer->Remove();
        return event;
    }
    const std::uint64_t at = item.sysex & TMidiBufferItem::kPosition;
    const std::size_t n = std::min<std::size_t>(item.data - handedOut_, FSysexBufferSize);
    event.MidiMessage = kSysex;
    event.Doubt = static_cast<std::uint8_t>(item.sysex >> TMidiBufferItem::kDoubtShift);
    event.Sysex.resize(n);
    ring_->Read(at + handedOut_, event.Sysex.data(), n);
    handedOut_ += n;
    if (handedOut_ == item.data) {
        handedOut_ = 0;
        ring_->Free(at + item.data);
        PBuffer->Remove();
    }
    return event;
}

void TMidiInput::inputNotification()
{
    if (OnMidiInput && FState == misOpen && GetEventCount() > 0) OnMidiInput(*this);
}

void TMidiInput::overflowNotification()
{
    if (OnOverflow && FState == misOpen) OnOverflow(*this);
}

void TMidiInput::dataLostNotification()
{
    if (OnDataLost && FState == misOpen) OnDataLost(*this);
}

void TMidiInput::lostNotification()
{
    if (FState != misOpen || !ctl_.lost.isLost()) return;
    // What arrived before the loss is the user's: hand it out before closing
    // (a sender that leaves right after its last message goes with it).
    if (OnMidiInput && GetEventCount() > 0) OnMidiInput(*this);
    if (FState != misOpen) return;
    const std::string reason = ctl_.lost.reason;
    Close();
    FError = MidiErrorCode::Lost;
    if (OnLost) OnLost(*this, reason);
}

void TMidiInput::TMidiCtlInfo::portLost(const char* reason) noexcept
{
    if (lost.claim(reason)) shell->wake(lostWake);
}

// Everything below runs on the driver's thread: checks, copies into reserved
// memory, queues and wakes. No allocation, no lock, no wait.

void TMidiInput::TMidiCtlInfo::drop() noexcept
{
    dropped.fetch_add(1, std::memory_order_relaxed);
    shell->wake(overflowWake);
}

std::uint32_t TMidiInput::TMidiCtlInfo::now() const noexcept
{
    const auto elapsed = std::chrono::steady_clock::now() - started;
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void TMidiInput::TMidiCtlInfo::shortMessage(const std::uint8_t* data, std::size_t n) noexcept
{
    const std::uint8_t status = data[0];
    if (n == 1 && (status == kActiveSensing || status == kTimingClock)) return;
    if (SysexOnly.load(std::memory_order_relaxed)) return;
    TMidiBufferItem item;
    item.timestamp = now();
    item.data = status;
    if (n > 1) item.data |= static_cast<std::uint32_t>(data[1]) << 8;
    if (n > 2) item.data |= static_cast<std::uint32_t>(data[2]) << 16;
    if (PBuffer->Put(item)) {
        shell->wake(inputWake);
    } else {
        drop();
    }
}

void TMidiInput::TMidiCtlInfo::beginSysex() noexcept
{
    inSysex = true;
    doubt = 0;
    sysexTime = now();
    dropping = ring == nullptr;
    if (dropping) drop();
    if (ring != nullptr) sysexStart = ring->Head();
}

// All of a message or none of it: a message with a hole would be joined into a
// wrong dump. Bytes are written ahead of the queue and taken back when the
// message turns out not to fit.
void TMidiInput::TMidiCtlInfo::appendSysex(const std::uint8_t* data, std::size_t n) noexcept
{
    sysexBytes.fetch_add(n, std::memory_order_relaxed);
    if (dropping || ring->Write(data, n)) return;
    ring->Rewind(sysexStart);
    dropping = true;
    drop();
}

void TMidiInput::TMidiCtlInfo::endSysex() noexcept
{
    inSysex = false;
    if (dropping) return;
    TMidiBufferItem item;
    item.sysex = sysexStart | static_cast<std::uint64_t>(doubt) << TMidiBufferItem::kDoubtShift;
    item.timestamp = sysexTime;
    item.data = static_cast<std::uint32_t>(ring->Head() - sysexStart);
    if (PBuffer->Put(item)) {
        shell->wake(inputWake);
    } else {
        ring->Rewind(sysexStart);
        drop();
    }
}

void TMidiInput::TMidiCtlInfo::dataLost() noexcept
{
    if (!running.load(std::memory_order_acquire) || PBuffer == nullptr) return;
    if (cutSysex()) shell->wake(dataLostWake);
}

// What arrives after a hole cannot complete the message in progress.
bool TMidiInput::TMidiCtlInfo::cutSysex() noexcept
{
    if (!inSysex || dropping) return false;
    ring->Rewind(sysexStart);
    dropping = true;
    gapDiscards.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void TMidiInput::TMidiCtlInfo::inputOverrun() noexcept
{
    if (!running.load(std::memory_order_acquire) || PBuffer == nullptr) return;
    overruns.fetch_add(1, std::memory_order_relaxed);
    cutSysex();
    shell->wake(dataLostWake);
}

void TMidiInput::TMidiCtlInfo::periodMissed() noexcept
{
    if (!running.load(std::memory_order_acquire) || PBuffer == nullptr) return;
    missedPeriods.fetch_add(1, std::memory_order_relaxed);
    if (inSysex) doubt |= kDoubtLatePeriod;
    shell->wake(dataLostWake);
}

void TMidiInput::TMidiCtlInfo::eventsDropped(std::uint32_t events) noexcept
{
    if (!running.load(std::memory_order_acquire) || PBuffer == nullptr || events == 0) return;
    lostEvents.fetch_add(events, std::memory_order_relaxed);
    if (inSysex) doubt |= kDoubtDropped;
    shell->wake(dataLostWake);
}

void TMidiInput::TMidiCtlInfo::severalSenders() noexcept
{
    if (!inSysex || several.load(std::memory_order_relaxed)) return;
    several.store(true, std::memory_order_relaxed);
    shell->wake(dataLostWake);
}

void TMidiInput::TMidiCtlInfo::receive(ByteView data) noexcept
{
    if (data.empty() || !running.load(std::memory_order_acquire) || PBuffer == nullptr) return;
    bytes.fetch_add(data.size(), std::memory_order_relaxed);
    const std::uint8_t* p = data.data();
    const std::size_t n = data.size();
    std::size_t i = 0;
    while (i < n) {
        if (inSysex) {
            std::size_t j = i;
            while (j < n && p[j] < 0x80) ++j;
            appendSysex(p + i, j - i);
            if (j == n) return;  // the message goes on in the next piece
            const std::uint8_t status = p[j];
            if (status == kSysexEnd) {
                appendSysex(p + j, 1);
                endSysex();
                i = j + 1;
            } else if (status >= 0xF8) {
                shortMessage(p + j, 1);  // real-time bytes may come in the middle of a message
                i = j + 1;
            } else {
                // Cut short: queued as it is, without F7. A new F0 while
                // several senders feed the port is their pieces mixing.
                if (status == kSysex && several.load(std::memory_order_relaxed)) {
                    mixed.fetch_add(1, std::memory_order_relaxed);
                    shell->wake(dataLostWake);
                }
                endSysex();
                i = j;
            }
            continue;
        }
        const std::uint8_t status = p[i];
        if (status == kSysex) {
            beginSysex();
            appendSysex(p + i, 1);
            ++i;
        } else if (status < 0x80 || status == kSysexEnd) {
            ++i;  // a stray data byte or F7 belongs to no message
        } else {
            std::size_t k = 1;
            const auto length = static_cast<std::size_t>(shortMessageLength(status));
            while (k < length && i + k < n && p[i + k] < 0x80) ++k;
            shortMessage(p + i, k);
            i += k;
        }
    }
}

}  // namespace tolvex
