// SPDX-License-Identifier: GPL-3.0-or-later
// Voice and performance names read from the instrument by remote control: the
// reader steps a DX7II through its cartridge, or a TX802 through its ROM, by
// program changes, asks for the edit buffer after each and writes one line
// "number=name" per program (CR LF) to a text file in the current folder.
// Lines of that form under [DXCart] and [TX802rom] in the settings name the
// voice map's entries at start-up.
#pragma once

#include "core/app/session.h"

namespace tolvex {

class IniFile;

inline constexpr char kCartProgsFile[] = "cartprogs.txt";
inline constexpr char kTX802RomProgsFile[] = "TX802RomProgs.txt";

// The 32 cartridge performances (programs 32-63, each line ending in a blank),
// then, after three empty lines, the 64 cartridge voices (64-127). The
// performances also become one DX7II bank message appended to the list.
// Program changes and dump requests both go on chan AND 0F (the device number
// of a request), and the answers are expected on that device number.
void ReadDX7Cart(Session& s, int chan);
// The 64 ROM voices: program changes 0-63, lines numbered 192-255.
void ReadTX802ROM(Session& s, int chan);

// Both need a MIDI input and output (the warning of requirePorts). The
// file is created when the first name arrives, so a device that never answers
// leaves an earlier file as it was; a request unanswered for 5 s ends the read
// with "Timeout waiting for requested sysex message %d" (the program), keeping
// the lines read so far.

// "Rd DX7 CRT" and "Rd TX802 ROM": the Channel box (0-255), then the reader.
void RdDX7CRTClick(Session& s);
void RdTX802ROMClick(Session& s);

// Start-up: the values of keys "32"-"63" of [DXCart] and "128"-"255" of
// [TX802rom], cut to 10 characters, name those entries of the voice map
// (entry 40 is internal voice 41 in the DX7II map).
void YamReadSettings(Session& s, const IniFile& ini);

}  // namespace tolvex
