// SPDX-License-Identifier: GPL-3.0-or-later
// Small text routines shared by the whole program: hex dumps,
// note names, hexadecimal conversion, field splitting and file-name cleaning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/bytes.h"

namespace tolvex {

// "%2.2X " for each of the first 24 bytes; longer input adds "... " and the last byte.
std::string BinaryToHexList(ByteView bin);
// The same with up to 25 bytes before the "... ".
std::string SxStringToHexList(ByteView sx);

// "%2.2X " for every byte: the hex line the log shows of a message.
std::string hexLine(ByteView bytes);

// One byte for each pair of bytes of `pairs`, made of their low four bits; the
// first of a pair is the high half when highFirst, the low half otherwise.
// An odd last byte is left out.
Bytes joinNibbles(ByteView pairs, bool highFirst);

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

// Blank and tab, the characters trimmed by default.
inline constexpr std::string_view kBlanks = " \t";
// Every character of code 0x20 or less: blanks, tabs, line ends and other controls.
inline constexpr std::string_view kBlanksAndControls{
    "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x20",
    33};
// s without the characters of `chars` at both ends.
std::string trimmed(std::string_view s, std::string_view chars = kBlanks);

// s with its ASCII letters in lower case.
std::string lowerCase(std::string s);

// Takes the first field off the front of s into item. With a blank as
// delimiter a tab ends the field too, but only when a blank follows later.
void parse(std::string& s, std::string& item, char delim);

// Whole-text comparison with letter case ignored (device names, settings keys).
bool equalsIgnoringCase(const std::string& a, const std::string& b);

// s without the characters " * / : < > ? and backslash.
std::string CleanFilenameStrip(const std::string& s);

// `text` with each byte below 0x20, 0x7F and backslash written \xHH (two
// upper-case hex digits), and with `highBytes` every byte of 0x80 and above
// too (for what may be binary rather than UTF-8): nothing of it reaches a
// terminal raw, and a line feed or tab cannot break or shift a line.
std::string escapedBytes(std::string_view text, bool highBytes = false);

// A file-dialog filter given as "description|patterns" pairs, patterns split
// by ';' ("Sysex files (*.syx)|*.SYX|All files (*.*)|*.*"), as the name
// filters a dialog offers: {"Sysex files (*.syx *.SYX)", "All files (*)"}.
// An extension is offered in lower and upper case, so .syx and .SYX files both
// show where names are case-sensitive; "*.*" stands for every file.
std::vector<std::string> dialogNameFilters(const std::string& filter);

}  // namespace tolvex
