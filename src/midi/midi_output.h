// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI output device: short and long messages to a back-end's port, with
// the busy state the bulk sender waits on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/midi_port.h"
#include "core/app/shell.h"
#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"
#include "midi/midi_backend.h"
#include "midi/port_selection.h"

namespace tolvex {

class EmidioutputError : public TolvexError {
public:
    using TolvexError::TolvexError;
};

enum TMidiOutputState { mosOpen = 0, mosClosed = 1 };
enum TOutPortTech { opt_None = 0, opt_MidiPort = 1, opt_Synth = 2, opt_SQSynth = 3, opt_FMSynth = 4, opt_Mapper = 5 };

// Bytes of a short message with this status byte (0 for a byte that is not a
// status or starts a SysEx message).
int shortMessageLength(std::uint8_t status);

class TMidiOutput : public MidiOutPort, public PortChoice<TMidiOutput, EmidioutputError, MidiOutBackend, std::int32_t> {
public:
    // `shell` carries the done notifications to the main thread and must outlive the device.
    TMidiOutput(Shell& shell, std::unique_ptr<MidiOutBackend> backend);
    ~TMidiOutput() override;
    TMidiOutput(const TMidiOutput&) = delete;
    TMidiOutput& operator=(const TMidiOutput&) = delete;

    // Device selection (SetDeviceID, SetProductName, DeviceNames, Numdevs,
    // Error) comes from PortChoice: only while closed. Device -1 (the Windows
    // MIDI mapper) has no counterpart among the ports.
    // Every port a back-end offers is a MIDI port; the other kinds name Windows synths.
    TOutPortTech Technology() const { return FNumdevs > 0 ? opt_MidiPort : opt_None; }

    // False leaves the device closed; OpenError() then has the back-end's text for the user.
    bool Open();
    // The back-end delivers what was sent before closing. False when it was not open.
    bool Close();

    TMidiOutputState State() const { return FState; }

    // Sends status and the data bytes that status takes (C3 05 for a program
    // change, whatever Data2 says). Throws EmidioutputError.
    void PutShort(std::uint8_t MidiMessage, std::uint8_t Data1, std::uint8_t Data2) override;
    // Sends one long message; busy until the done notification reaches the
    // main thread. An empty message sends nothing. Throws EmidioutputError.
    void PutLong(ByteView data) override;
    void PutMidiEvent(const TMyMidiEvent& theEvent);
    void CancelLong() override;
    std::uint64_t QueuedBytes() const override;
    // While open, since it opened; once closed, those of the last open (as it drained, too).
    std::uint64_t LatePeriods() const override;
    bool MidiOutBusy() const override { return FMidiOutBusy; }
    // Long messages that have left the port since creation (counted on the
    // back-end's thread, so it may run ahead of the busy state).
    // The open port has stopped working; OnLost follows on the main thread.
    bool PortLost() const { return done_.lost.isLost(); }
    std::uint64_t LongMessagesOut() const { return done_.finished.load(std::memory_order_relaxed); }

    // Run on the main thread after a long message is done, and once when the
    // open port stopped working (the device is closed by then; the text says why).
    // A failed send counts as a lost port.
    std::function<void(TMidiOutput&)> OnMidiOutput;
    std::function<void(TMidiOutput&, const std::string& reason)> OnLost;

private:
    struct DoneNotifier final : MidiSendDone {
        void sendDone() noexcept override
        {
            finished.fetch_add(1, std::memory_order_relaxed);
            shell->wake(wake);
        }
        void portLost(const char* reason) noexcept override;
        Shell* shell = nullptr;
        int wake = -1;
        int lostWake = -1;
        std::atomic<std::uint64_t> finished{0};  // long messages out
        PortLostNotice lost;
    };

    void doneNotification();
    void lostNotification();
    void send(ByteView message, bool notifyDone);

    friend PortChoice;
    bool portOpen() const { return FState == mosOpen; }

    Shell& shell_;
    TMidiOutputState FState = mosClosed;
    bool FMidiOutBusy = false;
    std::uint64_t FLateAtClose = 0;
    DoneNotifier done_;
};

}  // namespace tolvex
