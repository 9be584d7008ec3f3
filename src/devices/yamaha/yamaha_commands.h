// The commands of the DX/TX page: banks and performances to files beside the
// dump, the voice map, and the checksum check.
#pragma once

namespace tolvex {

class CommandTable;
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

// "Check": logs the checksum verdict of every selected entry; the button's
// text turns green or red with the last one. Needs a MIDI output.
void CheckSumCheckClick(Session& s);

// Gives the DX/TX controls their commands.
void registerYamaha(CommandTable& table);

}  // namespace tolvex
