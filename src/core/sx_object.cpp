#include "core/sx_object.h"

#include <cstring>
#include <new>

#include "core/midi_port.h"
#include "core/session.h"

namespace tolvex {

bool TSXobject::Addsysex(const TMyMidiEvent& thisevent)
{
    const Bytes& buf = thisevent.Sysex;
    if (buf.empty()) return false;  // an empty buffer carries nothing to join

    LogList& log = owner_.log;
    if (partial && buf.front() == 0xF0) {
        // A data byte is never F0, so the partial message can never be completed.
        log.LogString(format("Incomplete SysEx message discarded (%d bytes)", static_cast<int>(sxdata.size())));
        partial = false;
        partials = 0;
        sxdata.clear();
    }

    ++partials;
    const int len = static_cast<int>(buf.size());
    bool complete;
    if (buf.back() != 0xF7) {
        if (!partial) {
            partial_idx = log.LogString("First Partial Sysex buffer");
            sxdata.clear();
        } else {
            // Rewritten for every buffer of a long dump, so built without printf.
            log.replace(partial_idx, "Partial Sysex buffer " + std::to_string(partials) +
                                         ", total bytes: " + std::to_string(sxdata.size()));
        }
        partial = true;
        complete = false;
        sxdata.insert(sxdata.end(), buf.begin(), buf.end());
    } else {
        if (partial) {
            sxdata.insert(sxdata.end(), buf.begin(), buf.end());
            log.replace(partial_idx, format("Final buffer %d bytes (%d events),total bytes: %d", len, partials,
                                            static_cast<int>(sxdata.size())));
        } else {
            log.LogString(format("Complete SysEx message %d", len));
            sxdata.assign(buf.begin(), buf.end());
        }
        partial = false;
        partials = 0;
        complete = true;
    }
    return complete;
}

bool TSXobject::MidiSysex_bulk_out(ByteView data)
{
    MidiOutPort* out = owner_.midiOutput;
    if (!owner_.MIDI_Out_Present || out == nullptr || data.empty()) return false;

    Shell& shell = owner_.shell;
    if (out->MidiOutBusy()) {
        const std::int64_t start = shell.nowMs();
        while (out->MidiOutBusy() && shell.nowMs() - start < kBusyWaitMs) shell.ProcessMessages();
        if (out->MidiOutBusy()) {
            shell.messageBox("MIDI Out Error", "MIDI output busy - message not sent", MsgIcon::Warning);
            return false;
        }
    }

    Bytes buffer;
    try {
        buffer.assign(data.begin(), data.end());
    } catch (const std::bad_alloc&) {
        shell.messageBox("MIDI Out Error", "Could not allocate memory", MsgIcon::Warning);
        return false;
    }
    try {
        out->PutLong(buffer);
    } catch (const TolvexError& e) {
        shell.messageBox("MIDI Out Error", e.what(), MsgIcon::Error);
        return false;
    }
    return true;
}

}  // namespace tolvex
