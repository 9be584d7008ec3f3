// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/incoming.h"

#include "core/app/controls.h"
#include "core/app/device_family.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/midi_devices.h"
#include "core/sysex/sx_naming.h"
#include "core/text/text_utils.h"

namespace tolvex {

std::string shortSysexText(ByteView sx)
{
    return sx.size() > 24 ? hexLine(sx.first(24)) + "..." : hexLine(sx);
}

void ViewShortSysex(Session& s, const TSXstorage& m)
{
    s.controls.text.set(ctl::SXrecvString, shortSysexText(m.sxdata));
}

void MidEventCountLabelClick(Session& s)
{
    s.midi.NumMIDIevents = 0;
    s.controls.text.set(ctl::MidEventCountLabel, format("%2.2d ", 0));
}

NamingOptions namingOptions(Session& s)
{
    NamingOptions opts;
    opts.Filter7F = s.controls.checked.get(ctl::Filter7F);
    opts.families = &s.families.namers;
    opts.log = [&s](const std::string& line) { s.log.LogString(line); };
    return opts;
}

NamingOptions namingOf(const Session& s)
{
    NamingOptions opts;
    opts.families = &s.families.namers;
    return opts;
}

std::string doubtText(std::uint8_t doubt)
{
    std::string text;
    if ((doubt & kDoubtLatePeriod) != 0) text = "arrived while the audio server skipped a period";
    if ((doubt & kDoubtDropped) != 0)
        text += text.empty() ? "arrived while the audio server dropped events" : " and dropped events";
    return text;
}

std::string doubtLine(std::size_t number, const std::string& name, std::uint8_t doubt, const char* verdict)
{
    return "Message " + std::to_string(number) + " (" + name + ") " + doubtText(doubt) + "; " + verdict;
}

bool StoreReceivedMessage(Session& s, const Bytes& sxdata, std::uint8_t doubt)
{
    std::string sup;
    bool ignore = false;
    std::string shortDesc;
    const std::string name = SxParseName(sxdata, sup, ignore, namingOptions(s), &shortDesc);
    if (ignore) return false;
    s.log.LogString(name);
    // A message that can prove itself whole needs no doubt.
    if (doubt != 0 && messageProvesWhole(s.families, sxdata)) {
        s.log.LogString(doubtLine(s.messages.count() + 1, name, doubt, "its checksum or length proves it whole"));
        doubt = 0;
    }
    std::string text = shortDesc.empty() ? name + " " + sup : shortDesc;
    TSXstorage& stored = s.messages.append(std::move(text), sxdata, CleanFilenameStrip(name));
    stored.unsaved = true;
    stored.doubt = doubt;
    if (doubt != 0) s.log.LogString(doubtLine(s.messages.count(), name, doubt));
    ViewShortSysex(s, stored);
    s.messages.makeCurrent(s.messages.count() - 1);
    if (s.receivedStored) s.receivedStored(stored.sxdata);
    return true;
}

void MIDIInput1MidiInput(Session& s)
{
    if (s.midi.devices == nullptr) return;
    bool stored = false;
    try {
        while (auto event = s.midi.devices->GetMidiEvent()) {
            SetMidiInBusy(s, event->SysexLength());
            if (event->MidiMessage != 0xF0) continue;
            ++s.midi.NumMIDIevents;
            s.controls.text.set(ctl::MidEventCountLabel, format("%2.2d events", s.midi.NumMIDIevents));
            const bool complete = s.midi.SX_Object.Addsysex(*event);
            for (const Bytes& m : s.midi.SX_Object.earlier)
                if (!(s.midi.answerWatch && s.midi.answerWatch(m))) stored = StoreReceivedMessage(s, m) || stored;
            if (!complete) continue;
            if (s.midi.answerWatch && s.midi.answerWatch(s.midi.SX_Object.sxdata)) continue;
            if (!StoreReceivedMessage(s, s.midi.SX_Object.sxdata, s.midi.SX_Object.doubt)) continue;
            stored = true;
            s.controls.text.set(ctl::Label_nbytes,
                                format("%2d bytes in buffer", static_cast<int>(s.midi.SX_Object.sxdata.size())));
            s.controls.text.set(ctl::MidEventCountLabel, "");
        }
    } catch (const std::exception& e) {
        // The event in hand is gone with its pass; the rest wait for the next notification.
        s.log.LogString(std::string("Error while receiving: ") + e.what());
    }
    if (stored && s.operation.PendingPostProcess) DoPostProcess(s);
    s.controls.text.set(ctl::MemLabel, memLabelText());
}

void MIDIInput1Overflow(Session& s)
{
    if (s.midi.devices == nullptr) return;
    const MidiLosses losses = s.midi.devices->takeLosses();
    if (losses.severalSenders)
        s.log.LogString("Several senders are connected to Tolvex In; long SysEx from them can mix");
    if (losses.mixed > 0) s.log.LogString(format("Mixed SysEx from several senders: %u message(s)", losses.mixed));
    if (losses.messages > 0)
        s.log.LogString(format("MIDI data lost: %u SysEx message(s) with missing data discarded", losses.messages));
    // A late period costs nothing for certain: the messages it touched carry their doubt.
    s.midi.midiDataLost += losses.events + losses.messages + losses.mixed + losses.overruns;
    s.midi.lostEventsUnlogged += losses.events;
    s.midi.missedPeriodsUnlogged += losses.periods;
    s.midi.overrunsUnlogged += losses.overruns;
    LogMidiDataLost(s, false);
    const std::uint32_t dropped = s.midi.devices->takeOverflowDrops();
    if (dropped == 0) return;
    s.midi.overflowDrops += dropped;
    s.log.LogString(format("MIDI input overflow: %u event(s) dropped", dropped));
}

void InputStopped(Session& s)
{
    const std::size_t unfinished = s.midi.devices != nullptr ? s.midi.devices->takeUnfinishedInput() : 0;
    if (unfinished > 0)
        s.log.LogString(format("Incomplete SysEx message discarded (%d bytes)", static_cast<int>(unfinished)));
    if (s.midi.SX_Object.partial) {
        s.log.LogString(
            format("Incomplete SysEx message discarded (%d bytes)", static_cast<int>(s.midi.SX_Object.sxdata.size())));
        s.midi.SX_Object.partial = false;
        s.midi.SX_Object.partials = 0;
        s.midi.SX_Object.sxdata.clear();
    }
    LogMidiDataLost(s, true);
}

void LogMidiDataLost(Session& s, bool now)
{
    if (s.midi.lostEventsUnlogged == 0 && s.midi.missedPeriodsUnlogged == 0 && s.midi.overrunsUnlogged == 0) return;
    const std::int64_t since = s.shell.nowMs() - s.midi.lostEventsLoggedAt;
    if (!now && since < 1000) {
        // Said when the second is over, even if nothing else arrives by then.
        s.shell.startTimer(kDataLostTimer, static_cast<int>(1000 - since), [&s] {
            s.shell.stopTimer(kDataLostTimer);
            LogMidiDataLost(s, true);
        });
        return;
    }
    s.shell.stopTimer(kDataLostTimer);
    if (s.midi.lostEventsUnlogged > 0)
        s.log.LogString(format("MIDI data lost: %llu events dropped by the audio server",
                               static_cast<unsigned long long>(s.midi.lostEventsUnlogged)));
    if (s.midi.missedPeriodsUnlogged > 0)
        s.log.LogString(format("MIDI may be damaged: the audio server skipped %llu period(s) while MIDI was arriving",
                               static_cast<unsigned long long>(s.midi.missedPeriodsUnlogged)));
    if (s.midi.overrunsUnlogged > 0)
        s.log.LogString(format("MIDI data lost: the sequencer dropped incoming events %llu time(s)",
                               static_cast<unsigned long long>(s.midi.overrunsUnlogged)));
    s.midi.lostEventsUnlogged = 0;
    s.midi.missedPeriodsUnlogged = 0;
    s.midi.overrunsUnlogged = 0;
    s.midi.lostEventsLoggedAt = s.shell.nowMs();
}

void MidiDeviceLost(Session& s, const std::string& reason)
{
    const std::string line = "MIDI device lost: " + reason;
    s.log.LogString(line);
    if (s.midi.devices && !s.midi.devices->inputOpen()) InputStopped(s);
    if (s.midi.devices && !s.midi.devices->outputOpen()) s.midi.midiOutput = nullptr;
    // A stopped server takes the input and the output at once: one box says it.
    const std::int64_t now = s.shell.nowMs();
    if (line == s.midi.lostBoxText && now - s.midi.lostBoxAt < kLostBoxRepeatMs) return;
    s.midi.lostBoxText = line;
    s.midi.lostBoxAt = now;
    s.shell.messageBox("MIDI", line, MsgIcon::Error);
}

bool MidiOutputReady(const Session& s)
{
    if (!s.midi.MIDI_Out_Present || s.midi.midiOutput == nullptr) return false;
    return s.midi.devices == nullptr || s.midi.devices->outputOpen();
}

void SetMidiInBusy(Session& s, std::int32_t length)
{
    const int interval = static_cast<int>(static_cast<std::int64_t>(length) * 1000 / 3125 + 10);
    if (s.operation.MidiInBusy) {
        // Changing the interval restarts the count, so the lamp stays lit until
        // the interval after the latest event.
        s.operation.busyInterval = interval == s.operation.busyInterval ? interval + 1 : interval;
    } else {
        s.operation.MidiInBusy = true;
        s.operation.busyInterval = interval;
        s.changed(ctl::MidiInBusy);
    }
    s.shell.startTimer(kBusyTimer, s.operation.busyInterval, [&s] { ClearMidiInBusy(s); });
}

void ClearMidiInBusy(Session& s)
{
    s.shell.stopTimer(kBusyTimer);
    s.operation.MidiInBusy = false;
    s.changed(ctl::MidiInBusy);
}

void StartTimeout(Session& s, int intervalMs, std::int32_t ticks)
{
    s.operation.LongTimeOut = ticks;
    s.operation.Timed_Out = false;
    s.shell.startTimer(kTimeoutTimer, intervalMs, [&s] { TimeoutTimer(s); });
}

void StopTimeout(Session& s)
{
    s.shell.stopTimer(kTimeoutTimer);
}

void TimeoutTimer(Session& s)
{
    if (--s.operation.LongTimeOut <= 0) {
        s.operation.Timed_Out = true;
        s.shell.stopTimer(kTimeoutTimer);
    }
}

void CancelClick(Session& s)
{
    s.operation.CancelState = true;
}

bool CancelButton(Session& s)
{
    if (!s.operation.CancelState) return false;
    s.operation.CancelState = false;
    return true;
}

void OfferCancel(Session& s, bool offered)
{
    s.operation.CancelVisible = offered;
    s.changed(ctl::Cancel);
}

}  // namespace tolvex
