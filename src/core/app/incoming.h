// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window does with incoming MIDI: joining, naming and storing
// SysEx, the busy lamp, the time-out countdown and the Cancel request.
#pragma once

#include <cstdint>

#include "core/app/session.h"
#include "core/sysex/sx_naming.h"

namespace tolvex {

// Drains every waiting event of the input device (the device's notification).
void MIDIInput1MidiInput(Session& s);
// The device dropped events: tell the user how many, so a damaged dump is noticed.
void MIDIInput1Overflow(Session& s);
// Logs "MIDI data lost: N events dropped by the audio server" for the events
// not yet logged: at most once a second, or at once with `now` (when input stops).
void LogMidiDataLost(Session& s, bool now);
// The input has stopped (closed or lost): a message left unfinished, in the
// device or in the assembler, is logged as "Incomplete SysEx message
// discarded (N bytes)", and losses not yet logged are.
void InputStopped(Session& s);
// An open device stopped working: logs "MIDI device lost: " + reason, shows it
// once in a box titled "MIDI" (the same loss of both devices within
// kLostBoxRepeatMs shows one box), and treats a closed output as absent, so
// sends warn as with no device until the user chooses a port again.
void MidiDeviceLost(Session& s, const std::string& reason);
inline constexpr std::int64_t kLostBoxRepeatMs = 2000;
// How the session names messages: the "Filter Function 7F msgs" check box,
// and what the naming notices goes to the session's log.
NamingOptions namingOptions(Session& s);
// The session's family naming steps alone: no box read, nothing logged.
NamingOptions namingOf(const Session& s);
// The output commands can send on: present and open.
bool MidiOutputReady(const Session& s);

// Lights the busy lamp for the time `length` bytes take at MIDI speed, plus 10 ms.
void SetMidiInBusy(Session& s, std::int32_t length);
void ClearMidiInBusy(Session& s);

// The time-out countdown: `ticks` ticks of `intervalMs` each.
void StartTimeout(Session& s, int intervalMs, std::int32_t ticks);
void StopTimeout(Session& s);
void TimeoutTimer(Session& s);

void CancelClick(Session& s);
// Takes a pending Cancel request.
bool CancelButton(Session& s);
// Shows or hides the Cancel button for an operation that offers it.
void OfferCancel(Session& s, bool offered);

// The start of a stored message as hex pairs, "..." when longer than 24 bytes.
std::string shortSysexText(ByteView sx);
void ViewShortSysex(Session& s, const TSXstorage& m);
void MidEventCountLabelClick(Session& s);

// Names a complete message and appends it as the current, only selected entry.
// Returns false when naming says to ignore it. `doubt` (MidiDoubt bits) says
// why it may be damaged: the entry keeps it and the log says so, unless the
// message proves itself whole (a checksum that holds, the exact length of its kind).
bool StoreReceivedMessage(Session& s, const Bytes& sxdata, std::uint8_t doubt = 0);

// Why a message with these MidiDoubt bits may be damaged: "arrived while the
// audio server skipped a period" (and/or "dropped events"); empty for none.
std::string doubtText(std::uint8_t doubt);
// The log line of a stored message that may be damaged: "Message N (NAME) " +
// doubtText + "; " + verdict. N counts from 1.
std::string doubtLine(std::size_t number, const std::string& name, std::uint8_t doubt,
                      const char* verdict = "it may be damaged");

inline constexpr char kBusyTimer[] = "Timer1";
inline constexpr char kTimeoutTimer[] = "Timeout";
inline constexpr char kDataLostTimer[] = "DataLost";

}  // namespace tolvex
