// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_output.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace tolvex {

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
    : PortChoice(std::move(backend), "MIDI output Device ", " not installed"), shell_(shell)
{
    done_.shell = &shell_;
    done_.wake = shell_.registerWakeup([this] { doneNotification(); });
    done_.lostWake = shell_.registerWakeup([this] { lostNotification(); });
    if (done_.wake < 0 || done_.lostWake < 0) {
        shell_.unregisterWakeup(done_.wake);
        shell_.unregisterWakeup(done_.lostWake);
        throw EmidioutputError("No main-thread notification left for the MIDI output");
    }
    chooseFirstPort();
}

TMidiOutput::~TMidiOutput()
{
    if (FState == mosOpen) backend_->close();
    shell_.unregisterWakeup(done_.wake);
    shell_.unregisterWakeup(done_.lostWake);
}

bool TMidiOutput::Open()
{
    if (FState == mosOpen) return true;
    FOpenError.clear();
    if (FNumdevs == 0 || FProductName.empty()) {
        FOpenError = "Invalid device ID";
        return false;
    }
    done_.lost.reset();
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
    FLateAtClose = backend_->latePeriods();  // the periods run late while draining count too
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

std::uint64_t TMidiOutput::LatePeriods() const
{
    return FState == mosOpen ? backend_->latePeriods() : FLateAtClose;
}

std::uint64_t TMidiOutput::QueuedBytes() const
{
    return FState == mosOpen ? backend_->queuedBytes() : 0;
}

void TMidiOutput::DoneNotifier::portLost(const char* reason) noexcept
{
    if (lost.claim(reason)) shell->wake(lostWake);
}

void TMidiOutput::lostNotification()
{
    if (FState != mosOpen || !done_.lost.isLost()) return;
    const std::string reason = done_.lost.reason;
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
