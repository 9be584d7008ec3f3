// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/sysex_out.h"

#include <new>

#include "core/app/midi_port.h"
#include "core/app/session.h"

namespace tolvex {

bool MidiSysex_bulk_out(Session& s, ByteView data)
{
    if (!s.midi.MIDI_Out_Present || s.midi.midiOutput == nullptr || data.empty()) return false;
    Shell& shell = s.shell;
    // Copied before any wait: events handled while waiting may free the caller's bytes.
    Bytes buffer;
    try {
        buffer.assign(data.begin(), data.end());
    } catch (const std::bad_alloc&) {
        shell.messageBox("MIDI Out Error", "Could not allocate memory", MsgIcon::Warning);
        return false;
    }
    if (s.midi.midiOutput->MidiOutBusy()) {
        const std::int64_t start = shell.nowMs();
        while (s.midi.midiOutput && s.midi.midiOutput->MidiOutBusy() && shell.nowMs() - start < kBusyWaitMs)
            shell.ProcessMessages();
        if (s.midi.midiOutput == nullptr) return false;  // the device was lost while waiting
        if (s.midi.midiOutput->MidiOutBusy()) {
            shell.messageBox("MIDI Out Error", "MIDI output busy - message not sent", MsgIcon::Warning);
            return false;
        }
    }
    try {
        s.midi.midiOutput->PutLong(buffer);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI Out Error", e.what(), MsgIcon::Error);
        return false;
    }
    return true;
}

std::string lateSendLine(std::uint64_t late)
{
    return "The audio server may have repeated or dropped messages while sending (" + std::to_string(late) +
           " late periods)";
}

}  // namespace tolvex
