// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos Combi and Global dumps: recognising and unpacking them, the Combi as
// text, as a raw file and its tempo, the Global category names as text, and
// the commands of the Special menu and the Kronos page that do this on the
// first selected entry.
#pragma once

#include <cstdint>
#include <string>

#include "core/sysex/sx_naming.h"
#include "core/text/bytes.h"
#include "devices/kronos/kronos_layouts.h"

namespace tolvex {

class Session;
struct KronosDefs;

// The Kronos family's working records, kept in the session (s.families.records<>()).
struct KronosCombiRecords {
    kronos::TKro_Combi Kro_Combi{};             // the Combi of the last Parse2Text / SaveCombi2Bin / "?"
    kronos::TKro_Combi Kro_Combi_CopyBuffer{};  // the timbre-copy window's source
    kronos::TKro_Combi Kro_Combi_EditBuffer{};  // the timbre-copy window's destination
    kronos::TKro_Global Kro_Global{};
};

// Where the packed data of each dump starts.
inline constexpr std::size_t kKroCombiDumpOffset = 10;    // F0 42 3n 68 73 01 bank idxH idxL ver
inline constexpr std::size_t kKroCurrentCombiOffset = 7;  // F0 42 3n 68 75 01 ver
inline constexpr std::size_t kKroGlobalDumpOffset = 10;   // F0 42 3n 68 73 03 + 4 bytes

// The function code (0x70-0x7F, 0x73 or 0x75 for a Combi dump) of a message
// whose first six bytes are F0 42 3n 68 7x 01; 0 for any other message, also
// one shorter than six bytes.
std::uint8_t Verify_Kro_Combi(ByteView sxd);
// True for F0 42 3n 68 73 03 (a Global dump), false also for a shorter message.
bool isKroGlobalDump(ByteView sxd);

// Bytes a message needs to hold dlen packed values from offset, its F7 included.
std::size_t KroNeededLength(std::size_t offset, std::size_t dlen);
// Unpacks dlen values from offset into out (out.size() == dlen). A message
// shorter than KroNeededLength throws TolvexError
// "Message too short: %d bytes, %d needed" and out is left as it was.
void KroUnpack(ByteView sx, std::size_t offset, std::span<std::uint8_t> out);
// A Combi message (function 0x73 or 0x75, see Verify_Kro_Combi) into combi.
void KroUnpackCombi(ByteView sx, std::uint8_t function, kronos::TKro_Combi& combi);

// The name up to its first NUL, at most 24 characters.
std::string KroCombiName(const kronos::TKro_Combi& combi);
// The tempo as "%3.2f" BPM (bytes 1304-1305, hundredths, low byte first).
std::string KroCombiTempoText(const kronos::TKro_Combi& combi);
// The current-Combi dump F0 42 30 68 75 01 03 + packed combi + F7.
Bytes KroCurrentCombiMessage(const kronos::TKro_Combi& combi);

// The text of "combiparse.txt" (lines end CR LF). Effect names and parameter
// positions come from defs; an effect name not found is logged through log.
std::string KroCombiParseText(const kronos::TKro_Combi& combi, const KronosDefs& defs, const NamingLog& log);
// The text of "Kronos-Global-Cat-Parse.txt": one line per Program and per
// Combi category and sub-category (lines end CR LF).
std::string KroGlobalCatText(const kronos::TKro_Global& global);

inline constexpr char kCombiParseFile[] = "combiparse.txt";
inline constexpr char kGlobalCatParseFile[] = "Kronos-Global-Cat-Parse.txt";
inline constexpr char kCmbTempoButton[] = "CmbTempoButton";

// The commands. Each works on the first selected entry; with none selected
// it warns "No Messages Were Selected - nothing to do". A message of another
// kind, or one too short for its data, is refused with a "Warning" box and
// nothing is written.
void Kro_ParseToText(Session& s);    // Special, "Parse2Text": combiparse.txt in the current folder
void Kro_SaveCombiBin(Session& s);   // Special, "SaveCombi2Bin": the 7,810 bytes to a chosen file
void Kro_GetCombiTempo(Session& s);  // Kronos page, "?": the tempo as the button's caption (and logged)
void Kro_Global2Txt(Session& s);     // Special, "Global2Text": Kronos-Global-Cat-Parse.txt

}  // namespace tolvex
