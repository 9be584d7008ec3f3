// SPDX-License-Identifier: GPL-3.0-or-later
// Name lists of the Triton page: an all-banks Program or Combination dump
// turned into a text list of its 1,536 names, and, when the user wants it, into
// the name lists the Triton to Kronos conversion reads.
#pragma once

#include <array>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// The twelve banks of the all-banks dumps, in dump order (at most 5 characters).
inline constexpr std::array<const char*, 12> tri_prog_banknames{"INT-A", "INT-B", "INT-C", "INT-D", "INT-E", "EXB-A",
                                                                "EXB-B", "EXB-C", "EXB-D", "EXB-E", "EXB-F", "EXB-G"};
inline constexpr const std::array<const char*, 12>& tri_combi_banknames = tri_prog_banknames;

// The name of a record: the characters of its first 16 bytes (fewer when
// `record` is shorter) up to, not including, the first NUL.
std::string TriRecordName(ByteView record);

// Whether sx starts as an all-banks dump of `header` (7 bytes) does once the
// channel (low nibble of byte 2) and the bank (low nibble of byte 6) are
// ignored. Fewer than 7 bytes never match.
bool TriDumpHeaderMatches(ByteView sx, ByteView header);

// "AllProgText" / "AllCombiText": the first selected entry, which must be an
// all-banks Program dump (`F0 42 3n 50 4C 02 3b`) or Combination dump
// (`F0 42 3n 50 4D 00 3b`) holding its whole packed data and an end byte, is
// unpacked into the session's Triton records and its names written to
// "TriProgNamesList.txt" / "TriCombiNamesList.txt" in the current folder, one
// line a record, "Bank: INT-A, Prog:   0 <name>" (control characters of a name
// as '?', lines ended CR LF). Then the user is asked whether the names should
// feed the conversion; Yes writes them, trailing blanks removed, to
// "TriProgNameList.txt" / "TriCombiNameList.txt" in the settings folder, where
// they are read before the lists beside the program. An All Data dump gives
// its 512 Combinations (INT-A..D) or 640 Programs (INT-A..E) the same way; one
// of another length is refused with the reason. Refusals are "Warning"
// boxes, given before anything is unpacked or written.
void Tri_AllProgText(Session& s);
void Tri_AllCombiText(Session& s);

inline constexpr char kTriProgNamesReport[] = "TriProgNamesList.txt";
inline constexpr char kTriCombiNamesReport[] = "TriCombiNamesList.txt";
inline constexpr char kTriProgNameList[] = "TriProgNameList.txt";
inline constexpr char kTriCombiNameList[] = "TriCombiNameList.txt";

}  // namespace tolvex
