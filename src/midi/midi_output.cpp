// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_output.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "midi/port_selection.h"

namespace tolvex {

namespace {

std::uint32_t nextHandle()
{
    static std::atomic<std::uint32_t> handles{0};
    return ++handles;
}

}  // namespace

int shortMessageLength(std::uint8_t status)
{
    if (status < 0x80) return 0;
    if (status < 0xC0) return 3;  // note off/on, key pressure, control change
    if (status < 0xE0) return 2;  // program change, channel pressure
    if (status < 0xF0) return 3;  // pitch bend
    switch (status) {
    case 0xF0 /* SysEx start */:
    case 0xF7 /* SysEx end */: return 0;
    case 0xF1 /* MTC quarter frame */:
    case 0xF3 /* song select */: return 2;
    case 0xF2 /* song position */: return 3;
    default: return 1;
    }
}

TMidiOutput::TMidiOutput(Shell& shell, std::unique_ptr<MidiOutBackend> backend)
    : shell_(shell), backend_(std::move(backend))
{
    done_.shell = &shell_;
    done_.wake = shell_.registerWakeup([this] { doneNotification(); });
    done_.lostWake = shell_.registerWakeup([this] { lostNotification(); });
    if (done_.wake < 0 || done_.lostWake < 0) {
        shell_.unregisterWakeup(done_.wake);
        shell_.unregisterWakeup(done_.lostWake);
        throw EmidioutputError("No main-thread notification left for the MIDI output");
    }
    std::vector<std::string> list;
    try {
        list = backend_->portNames();
    } catch (const MidiBackendError&) {
        // A broken MIDI service leaves the program working on files.
    }
    FNumdevs = portCount(list);
    if (FNumdevs > 0) {
        try {
            SetDeviceID(0);
        } catch (const EmidioutputError&) {
            // The service failed between the two reads: no device is chosen yet.
        }
    }
}

TMidiOutput::~TMidiOutput()
{
    if (FState == mosOpen) backend_->close();
    shell_.unregisterWakeup(done_.wake);
    shell_.unregisterWakeup(done_.lostWake);
}

std::vector<std::string> TMidiOutput::DeviceNames()
{
    return portNamesOf<EmidioutputError>(*backend_, FError);
}

void TMidiOutput::SetDeviceID(std::int32_t id)
{
    if (FState == mosOpen) throw EmidioutputError("Change to DeviceID while device was open");
    // -1 (the Windows MIDI mapper) has no counterpart among the ports.
    FProductName = portAt<EmidioutputError>(DeviceNames(), id, FNumdevs);
    FDeviceID = id;
}

void TMidiOutput::SetProductName(const std::string& name)
{
    if (FState == mosOpen) throw EmidioutputError("Change to ProductName while device was open");
    const auto list = DeviceNames();
    const std::size_t at = portIndexOf<EmidioutputError>(list, name, "MIDI output Device " + name + " not installed");
    // Ports come and go: the count SetDeviceID checks against is the one just read.
    FNumdevs = portCount(list);
    SetDeviceID(static_cast<std::int32_t>(at));
    if (FProductName != name) throw EmidioutputError("MIDI output Device " + name + " not installed");
}

bool TMidiOutput::Open()
{
    if (FState == mosOpen) return true;
    FOpenError.clear();
    if (FNumdevs == 0 || FProductName.empty()) {
        FOpenError = "Invalid device ID";
        return false;
    }
    done_.lost.store(false);
    done_.lostClaimed.store(false);
    try {
        backend_->open(FProductName, done_);
    } catch (const MidiBackendError& e) {
        FError = e.code;
        FOpenError = e.what();
        return false;
    }
    FMIDIHandle = nextHandle();
    FState = mosOpen;
    FMidiOutBusy = false;
    return true;
}

bool TMidiOutput::Close()
{
    if (FState != mosOpen) return false;
    // The back-end waits for what it still carries, so no fixed pause is needed
    // here and no event loop is re-entered while closing.
    backend_->close();
    FMIDIHandle = 0;
    FState = mosClosed;
    FMidiOutBusy = false;
    return true;
}

void TMidiOutput::send(ByteView message, bool notifyDone)
{
    if (FState != mosOpen) throw EmidioutputError("MIDI Output device not open");
    try {
        backend_->send(message, notifyDone);
    } catch (const MidiBackendError& e) {
        FError = e.code;
        // A message the port cannot take says nothing about the port; any other failure loses it.
        if (e.code != MidiErrorCode::TooLong && e.code != MidiErrorCode::InvalidData) done_.portLost(e.what());
        throw EmidioutputError(e.what());
    }
}

void TMidiOutput::PutShort(std::uint8_t MidiMessage, std::uint8_t Data1, std::uint8_t Data2)
{
    const int length = shortMessageLength(MidiMessage);
    if (length == 0) {
        FError = MidiErrorCode::InvalidData;
        throw EmidioutputError(format("Not a MIDI short message status byte: %02X", MidiMessage));
    }
    const std::uint8_t bytes[3] = {MidiMessage, Data1, Data2};
    send(ByteView(bytes, static_cast<std::size_t>(length)), false);
}

void TMidiOutput::PutLong(ByteView data)
{
    if (data.empty()) return;
    send(data, true);
    FMidiOutBusy = true;
}

void TMidiOutput::PutMidiEvent(const TMyMidiEvent& theEvent)
{
    if (FState != mosOpen) throw EmidioutputError("MIDI Output device not open");
    if (theEvent.Sysex.empty()) {
        PutShort(theEvent.MidiMessage, theEvent.Data1, theEvent.Data2);
    } else {
        PutLong(theEvent.Sysex);
    }
}

void TMidiOutput::CancelLong()
{
    if (FState == mosOpen) backend_->cancel();
}

std::uint64_t TMidiOutput::QueuedBytes() const
{
    return FState == mosOpen ? backend_->queuedBytes() : 0;
}

void TMidiOutput::DoneNotifier::portLost(const char* reason) noexcept
{
    if (lostClaimed.exchange(true)) return;
    std::strncpy(lostReason, reason, sizeof lostReason - 1);
    lostReason[sizeof lostReason - 1] = '\0';
    lost.store(true, std::memory_order_release);
    shell->wake(lostWake);
}

void TMidiOutput::lostNotification()
{
    if (FState != mosOpen || !done_.lost.load(std::memory_order_acquire)) return;
    const std::string reason = done_.lostReason;
    Close();
    FError = MidiErrorCode::Lost;
    if (OnLost) OnLost(*this, reason);
}

void TMidiOutput::doneNotification()
{
    if (FState != mosOpen) return;
    FMidiOutBusy = false;
    if (OnMidiOutput) OnMidiOutput(*this);
}

}  // namespace tolvex
