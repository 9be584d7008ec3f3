// SPDX-License-Identifier: GPL-3.0-or-later
// Small text routines shared by the whole program: monitor lines, hex dumps,
// note names, hexadecimal conversion, field splitting and file-name cleaning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/sysex/midi_event.h"
#include "core/text/bytes.h"

namespace tolvex {

// The one-line log text of a received event (time, status, data, event name).
std::string MonitorMessageText(const TMyMidiEvent& ThisEvent);

// "%2.2X " for each of the first 24 bytes; longer input adds "... " and the last byte.
std::string BinaryToHexList(ByteView bin);
// The same with up to 25 bytes before the "... ".
std::string SxStringToHexList(ByteView sx);

// "C-1" for 0, "C4" for 60, "G9" for 127.
std::string MidiNoteTxt(int mnote);

// Exactly 2*nbytes upper-case digits of Number; nbytes is 0..4, anything else throws.
std::string Hex(std::uint32_t Number, int nbytes);
char HexNib(std::uint32_t Number);
std::string HexB(std::uint8_t B);

// Value of a string of hex digits; "" gives 0. Throws TolvexError naming the
// word when a character is not a hex digit, when it has more than 8 digits or
// when the value is above 7FFFFFFF.
std::int32_t HexStringToInt(const std::string& hexnum);

std::uint32_t Endian_Reverse_Longword(std::uint32_t v);

// s without its leading characters of code 0x20 or less.
std::string TrimLeadL(const std::string& s);

// Takes the first field off the front of s into item. With a blank as
// delimiter a tab ends the field too, but only when a blank follows later.
void parse(std::string& s, std::string& item, char delim);

// Whole-text comparison with letter case ignored (device names, settings keys).
bool equalsIgnoringCase(const std::string& a, const std::string& b);

// s without the characters " * / : < > ? and backslash.
std::string CleanFilenameStrip(const std::string& s);

// A file-dialog filter given as "description|patterns" pairs, patterns split
// by ';' ("Sysex files (*.syx)|*.SYX|All files (*.*)|*.*"), as the name
// filters a dialog offers: {"Sysex files (*.syx *.SYX)", "All files (*)"}.
// An extension is offered in lower and upper case, so .syx and .SYX files both
// show where names are case-sensitive; "*.*" stands for every file.
std::vector<std::string> dialogNameFilters(const std::string& filter);

}  // namespace tolvex
