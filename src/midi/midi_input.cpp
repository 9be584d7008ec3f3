#include "midi/midi_input.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tolvex {

namespace {

constexpr std::uint8_t kSysex = 0xF0;
constexpr std::uint8_t kTimingClock = 0xF8;
constexpr std::uint8_t kActiveSensing = 0xFE;

std::uint32_t nextHandle()
{
    static std::atomic<std::uint32_t> handles{0};
    return ++handles;
}

}  // namespace

TMidiInput::TMidiInput(Shell& shell, std::unique_ptr<MidiInBackend> backend)
    : shell_(shell), backend_(std::move(backend))
{
    ctl_.shell = &shell_;
    ctl_.inputWake = shell_.registerWakeup([this] { inputNotification(); });
    ctl_.overflowWake = shell_.registerWakeup([this] { overflowNotification(); });
    if (ctl_.inputWake < 0 || ctl_.overflowWake < 0) {
        shell_.unregisterWakeup(ctl_.inputWake);
        shell_.unregisterWakeup(ctl_.overflowWake);
        throw EMidiInputError("No main-thread notification left for the MIDI input");
    }
    std::vector<std::string> list;
    try {
        list = backend_->portNames();
    } catch (const MidiBackendError&) {
        // A broken MIDI service leaves the program working on files.
    }
    FNumdevs = static_cast<std::uint16_t>(std::min<std::size_t>(list.size(), 0xFFFF));
    if (FNumdevs > 0) FProductName = list.front();
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
}

std::vector<std::string> TMidiInput::names()
{
    try {
        return backend_->portNames();
    } catch (const MidiBackendError& e) {
        FError = e.code;
        throw EMidiInputError(e.what());
    }
}

std::vector<std::string> TMidiInput::DeviceNames()
{
    return names();
}

void TMidiInput::SetDeviceID(std::uint16_t id)
{
    if (FState == misOpen) throw EMidiInputError("Change to DeviceID while device was open");
    if (id >= FNumdevs) throw EMidiInputError("Invalid device ID");
    const auto list = names();
    if (id >= list.size()) throw EMidiInputError("Invalid device ID");
    FDeviceID = id;
    FProductName = list[id];
}

void TMidiInput::SetProductName(const std::string& name)
{
    if (FState == misOpen) throw EMidiInputError("Change to ProductName while device was open");
    const auto list = names();
    const auto it = std::find(list.begin(), list.end(), name);
    if (it == list.end()) throw EMidiInputError("MIDI Input Device " + name + " not installed ");
    FDeviceID = static_cast<std::uint16_t>(it - list.begin());
    FProductName = name;
}

void TMidiInput::SetSysexBufferSize(std::uint16_t size)
{
    if (FState == misOpen) throw EMidiInputError("Change to SysexBufferSize while device was open");
    FSysexBufferSize = size;
}

void TMidiInput::SetSysexBufferCount(std::uint16_t count)
{
    if (FState == misOpen) throw EMidiInputError("Change to SysexBuffercount while device was open");
    FSysexBufferCount = count;
}

void TMidiInput::SetSysexOnly(bool sysexOnly)
{
    FSysexOnly = sysexOnly;
    ctl_.SysexOnly.store(sysexOnly, std::memory_order_relaxed);
}

bool TMidiInput::Open()
{
    if (FState == misOpen) return true;
    FOpenError.clear();
    try {
        if (FNumdevs == 0 || FProductName.empty()) throw EMidiInputError("Invalid device ID");
        PBuffer = std::make_unique<TCircularBuffer<TMidiBufferItem>>(FCapacity);
        const bool buffers = FSysexBufferCount > 0 && FSysexBufferSize > 0;
        freeList_ = std::make_unique<TCircularBuffer<std::uint16_t>>(buffers ? FSysexBufferCount : 0);
        if (buffers) {
            MidiHdrs.assign(FSysexBufferCount, TMyMidiHdr(FSysexBufferSize));
            for (std::uint16_t i = 0; i < FSysexBufferCount; ++i) freeList_->Put(i);
        }
        ctl_.PBuffer = PBuffer.get();
        ctl_.freeBuffers = freeList_.get();
        ctl_.hdrs = MidiHdrs.data();
        ctl_.hdrSize = buffers ? FSysexBufferSize : 0;
        ctl_.SysexOnly.store(FSysexOnly);
        ctl_.running.store(false);
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
    FMIDIHandle = 0;
    freeBuffers();
}

void TMidiInput::freeBuffers()
{
    ctl_.PBuffer = nullptr;
    ctl_.freeBuffers = nullptr;
    ctl_.hdrs = nullptr;
    ctl_.hdrSize = 0;
    PBuffer.reset();
    freeList_.reset();
    MidiHdrs.clear();
    MidiHdrs.shrink_to_fit();
}

std::uint16_t TMidiInput::GetEventCount() const
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
    } else {
        const TMyMidiHdr& hdr = MidiHdrs.at(static_cast<std::size_t>(item.sysex));
        event.MidiMessage = kSysex;
        event.Sysex.assign(hdr.data.begin(), hdr.data.begin() + hdr.BytesRecorded);
        freeList_->Put(static_cast<std::uint16_t>(item.sysex));  // never full: it holds every buffer at most once
    }
    PBuffer->Remove();
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

void TMidiInput::TMidiCtlInfo::drop(std::size_t events) noexcept
{
    dropped.fetch_add(events, std::memory_order_relaxed);
    shell->wake(overflowWake);
}

// Runs on the driver's thread: checks, copies into pre-allocated buffers,
// queues and wakes. No allocation, no lock, no wait.
void TMidiInput::TMidiCtlInfo::receive(ByteView message) noexcept
{
    if (message.empty() || !running.load(std::memory_order_acquire) || PBuffer == nullptr) return;
    const auto elapsed = std::chrono::steady_clock::now() - started;
    TMidiBufferItem item;
    item.timestamp = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());

    const std::uint8_t status = message[0];
    if (status != kSysex) {
        if (message.size() == 1 && (status == kActiveSensing || status == kTimingClock)) return;
        if (SysexOnly.load(std::memory_order_relaxed)) return;
        item.data = status;
        if (message.size() > 1) item.data |= static_cast<std::uint32_t>(message[1]) << 8;
        if (message.size() > 2) item.data |= static_cast<std::uint32_t>(message[2]) << 16;
        if (PBuffer->Put(item)) {
            shell->wake(inputWake);
        } else {
            drop(1);
        }
        return;
    }

    // All of a message or none of it: a message with a hole would be joined
    // into a wrong dump. Room only grows while this thread waits, so checking first is enough.
    if (hdrSize == 0) {
        drop(1);
        return;
    }
    const std::size_t needed = (message.size() + hdrSize - 1) / hdrSize;
    if (needed > freeBuffers->EventCount() || needed > PBuffer->FreeSlots()) {
        drop(needed);
        return;
    }
    for (std::size_t pos = 0; pos < message.size(); pos += hdrSize) {
        std::uint16_t index = 0;
        freeBuffers->Read(index);
        freeBuffers->Remove();
        TMyMidiHdr& hdr = hdrs[index];
        const std::size_t n = std::min(hdrSize, message.size() - pos);
        std::memcpy(hdr.data.data(), message.data() + pos, n);
        hdr.BytesRecorded = static_cast<std::uint16_t>(n);
        item.sysex = index;
        PBuffer->Put(item);
    }
    shell->wake(inputWake);
}

}  // namespace tolvex
