// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/device_commands.h"

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/midi_devices.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/text/atomic_file.h"
#include "core/text/text_utils.h"

namespace tolvex {

std::optional<std::size_t> firstSelected(Session& s, const char* noneText)
{
    const auto selected = s.messages.selectedIndexes();
    if (selected.empty()) {
        warn(s, noneText);
        return std::nullopt;
    }
    return selected.front();
}

void warn(Session& s, const std::string& text)
{
    s.shell.messageBox("Warning", text, MsgIcon::Warning);
}

void refuse(Session& s, const std::string& text)
{
    s.shell.messageBox("Error", text, MsgIcon::Warning);
}

std::optional<int> checkedNumber(Session& s, const char* control, int first, int last, const std::string& text)
{
    const std::optional<int> value = s.controls.number(control, first, last);
    if (!value) refuse(s, text);
    return value;
}

std::optional<int> checkedChannel(Session& s, int highest, const std::string& rangeText)
{
    const std::optional<int> channel = s.controls.number(ctl::Channel);
    if (!channel) {
        refuse(s, kChannelText);
        return std::nullopt;
    }
    if (*channel < 0 || *channel > highest) {
        refuse(s, rangeText);
        return std::nullopt;
    }
    return channel;
}

namespace {

// The input answers can arrive on: present and open.
bool MidiInputReady(const Session& s)
{
    return s.midi.MIDI_In_Present && (s.midi.devices == nullptr || s.midi.devices->inputOpen());
}

}  // namespace

std::string missingPortText(const Session& s, bool input)
{
    // The window without any port to offer: there is nothing to choose.
    if (!s.midi.portsByOption && !s.midi.MIDI_In_Present && !s.midi.MIDI_Out_Present) return kNoMidiInterface;
    if (!s.midi.portsByOption) return input ? kChooseInPort : kChooseOutPort;
    return std::string(input ? kChooseInPort : kChooseOutPort) + (input ? " (--in PORT)" : " (--out PORT)");
}

bool requireOutput(Session& s)
{
    if (MidiOutputReady(s)) return true;
    warn(s, missingPortText(s, false));
    return false;
}

bool requirePorts(Session& s)
{
    if (!MidiOutputReady(s)) return requireOutput(s);
    if (MidiInputReady(s)) return true;
    warn(s, missingPortText(s, true));
    return false;
}

bool sendLogged(Session& s, ByteView m)
{
    if (!requireOutput(s)) return false;
    s.log.LogString("Sending: " + hexLine(m));
    MidiSysex_bulk_out(s, m);
    return true;
}

void writeReportFile(Session& s, const std::string& path, ByteView content)
{
    writeFileReplacing(
        path,
        [&](std::ostream& out) {
            out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        },
        "Cannot create file " + path, "Cannot write file " + path);
    s.log.LogString("Wrote " + path);
}

void writeReportFile(Session& s, const std::string& path, const std::string& text)
{
    writeReportFile(s, path, ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

CancelOffer::CancelOffer(Session& s) : s_(s)
{
    s_.operation.CancelState = false;
    OfferCancel(s_, true);
}

CancelOffer::~CancelOffer()
{
    OfferCancel(s_, false);
}

}  // namespace tolvex
