// SPDX-License-Identifier: GPL-3.0-or-later
// The bulk output of one SysEx message on the session's MIDI output.
#pragma once

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// How long a message waits for the one before it to finish going out.
inline constexpr int kBusyWaitMs = 2000;

// Sends one message as a single long message on the session's output. Waits
// up to kBusyWaitMs (handling events) for a previous message to finish;
// never drops a message without telling the user. True when it was sent.
bool MidiSysex_bulk_out(Session& s, ByteView sxdata);

}  // namespace tolvex
