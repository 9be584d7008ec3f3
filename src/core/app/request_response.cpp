// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/app/request_response.h"

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/sysex_out.h"
#include "core/text/text_utils.h"

namespace tolvex {

namespace {

bool devicesPresent(const Session& s)
{
    return s.midi.MIDI_In_Present && s.midi.MIDI_Out_Present;
}

void sendRequest(Session& s, ByteView request)
{
    MidiSysex_bulk_out(s, request);
    s.log.debuglog("Sending Request: [" + SxStringToHexList(request) + "]");
}

void logNonMatching(Session& s, std::size_t from, std::size_t patternLength)
{
    for (std::size_t i = from; i < s.messages.count(); ++i) {
        const Bytes& m = s.messages.at(i).storage->sxdata;
        s.log.debuglog("Non Matching Response: [" +
                       SxStringToHexList(ByteView(m).first(std::min(patternLength, m.size()))) + "]");
    }
}

}  // namespace

bool CheckForSysexReceived(const Session& s, ByteView resp, std::size_t base, std::int32_t& index)
{
    index = 0;
    for (std::size_t x = base; x < s.messages.count(); ++x) {
        const Bytes& m = s.messages.at(x).storage->sxdata;
        bool match = true;
        for (std::size_t i = 0; i < resp.size() && match; ++i)
            match = resp[i] == 0xFF || (i < m.size() && m[i] == resp[i]);
        if (match) {
            index = static_cast<std::int32_t>(x);
            return true;
        }
    }
    return false;
}

std::int32_t ReqResponseSysex(Session& s, ByteView request, ByteView expected)
{
    if (!devicesPresent(s)) return -1;
    const std::size_t existing = s.messages.count();
    s.shell.setBusyCursor(true);
    sendRequest(s, request);
    SetMidiInBusy(s, 10000);
    StartTimeout(s, 5000, 1);
    std::int32_t idx = -1;
    for (;;) {
        if (s.operation.Timed_Out) break;
        if (CheckForSysexReceived(s, expected, existing, idx)) break;
        s.shell.ProcessMessages();
    }
    std::int32_t result = -1;
    if (!s.operation.Timed_Out || CheckForSysexReceived(s, expected, existing, idx)) {
        result = idx;
    } else {
        s.log.debuglog("Timed out waiting for  [" + SxStringToHexList(expected) + "]");
        logNonMatching(s, existing, expected.size());
    }
    StopTimeout(s);
    s.shell.setBusyCursor(false);
    return result;
}

bool Alt_ReqResponseSysex(Session& s, ByteView request, ByteView expected, std::int32_t& idx, bool showtimeout,
                          std::int32_t xtimeout)
{
    idx = -1;
    if (!devicesPresent(s)) return false;
    const std::size_t existing = s.messages.count();
    s.shell.setBusyCursor(true);
    sendRequest(s, request);
    StartTimeout(s, 1000, xtimeout);
    while (!s.operation.Timed_Out && s.messages.count() <= existing) {
        if (showtimeout) s.controls.text.set(ctl::TimeoutLabel, std::to_string(s.operation.LongTimeOut));
        s.shell.ProcessMessages();
    }
    bool result = true;
    if (s.operation.Timed_Out && s.messages.count() <= existing) {
        idx = -1;
        result = false;
    }
    s.controls.text.set(ctl::TimeoutLabel, "");
    if (s.messages.count() > existing) {
        std::int32_t found = -1;
        if (CheckForSysexReceived(s, expected, existing, found)) {
            idx = found;
        } else {
            s.log.debuglog("Did not receive expctd [" + SxStringToHexList(expected) + "]");
            logNonMatching(s, existing, expected.size());
            idx = -1;
        }
    }
    StopTimeout(s);
    s.shell.setBusyCursor(false);
    return result;
}

bool SX_extract_bulk(Session& s, NibbleOrder sty, std::int32_t& offset, std::int32_t Nbytes, ByteView sx,
                     Bytes& return_array)
{
    const std::int64_t extbytes = static_cast<std::int64_t>(offset) + 2 * static_cast<std::int64_t>(Nbytes);
    // A position before the first byte is as much an overflow as one past the end.
    if (extbytes > static_cast<std::int64_t>(sx.size()) || offset < 1) {
        s.shell.messageBox("Error",
                           format("Bulk Extract Overflow: offset: %d, nbytes: %d. SX length is %d, needed %lld", offset,
                                  Nbytes, static_cast<int>(sx.size()), static_cast<long long>(extbytes)),
                           MsgIcon::Warning);
        return false;
    }
    if (Nbytes < 1) {
        s.shell.messageBox("Error", "Request to extract 0 bytes", MsgIcon::Warning);
        return false;
    }
    return_array = joinNibbles(sx.subspan(static_cast<std::size_t>(offset - 1), 2 * static_cast<std::size_t>(Nbytes)),
                               sty == NibbleOrder::HighFirst);
    offset += 2 * Nbytes;
    return true;
}

}  // namespace tolvex
