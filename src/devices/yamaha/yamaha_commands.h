// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the DX/TX page: banks and performances to files beside the
// dump, the voice map, and the checksum check.
#pragma once

#include <optional>

namespace tolvex {

class Session;

// Each works on the first selected entry ("Nothing Selected" when there is
// none) and stops with the unpacker's box when the entry is not its format.
// Files go beside the entry's file ("untitled" in the current folder when it
// has none), its extension replaced: .bin, .txt, .csv, .lst, .map.
void Yam_Conv_VMEM(Session& s);    // "DX VMEM>file"
void Yam_Map1_32(Session& s);      // "DX Map1-32": voice names 1-32 of the map
void Yam_Map32_64(Session& s);     // "DX Map32-64": voice names 33-64 of the map
void Yam_ConvDX7p(Session& s);     // "DX7perf>file"
void Yam_ConvDX7peb(Session& s);   // "DX7peb>file"
void Yam_ConvTX802pb(Session& s);  // "TX802pb>file"
void Yam_ConvTX802p(Session& s);   // "TX802p>file"

// "DX7pb>TX802pb": asks which half of the TX802 bank ("1-32", "33-64",
// "Cancel") takes the 32 DX7II performances, converts them into TX802PMEM
// (the other half keeps what it held) and appends the whole TX802 bank.
void Yam_DX7pb_to_TX802pb(Session& s);
// "DX7p>TX802p": one DX7II performance edit buffer as a TX802 PCED message.
void Yam_DX7p_to_TX802p(Session& s);

// The Channel box as the DX/TX page reads it: "Chan" counts as 0 (the box
// then reads "0"); otherwise a decimal number 0..highest. Anything else shows
// "You must specify a valid number for the Channel." and gives nothing.
std::optional<int> dxChannel(Session& s, int highest);

// "Check": logs the checksum verdict of every selected entry; the button's
// text turns green or red with the last one. Needs a MIDI output.
void CheckSumCheckClick(Session& s);

// "Fix": for every selected entry, logs "Fixing: " + its text + ": " and what
// was done: the checksums replaced ("block 3: 72 -> 4B, ..."), "Checksum
// already correct", or "Not fixed: " + why (not a Yamaha bulk dump, cut). A
// repaired copy is appended as "Fixed: " + its text; the entry itself stays as
// it was. With nothing selected, the "Nothing Selected" warning.
void CheckSumFixClick(Session& s);

}  // namespace tolvex
