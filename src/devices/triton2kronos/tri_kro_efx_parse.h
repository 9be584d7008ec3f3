// SPDX-License-Identifier: GPL-3.0-or-later
// The effect parse of the Triton page ("ParsEfx"): how one parameter of the
// second insert effect of the Triton's current Combination maps onto the
// Kronos, step by step in the log. A diagnostic of the effect map.
#pragma once

#include <cstdint>

namespace tolvex {

class Session;
struct KronosDefs;
struct TriKroTables;

inline constexpr char kTriEfxDebugFile[] = "TriEfxDebug.bin";

// Parses the last entry of the message list, which must be a current
// Combination dump (`F0 42 3n 50 49 00` + 448 packed bytes + F7); anything else
// logs "Combi Data Not Correct Format" (after a box for a Combination dump of
// another kind). Writes the 24 bytes of insert effect 2 to "TriEfxDebug.bin"
// in the current folder, then logs the effect, the map entry `PID` of its row
// in tri.efxMap, the Triton value read from the effect's parameter bytes and,
// when the entry names a value map, the Kronos position and the mapped value.
// An effect or PID outside the tables ends the parse where it is needed. Only
// a file that cannot be written throws (TolvexError); the message list is
// never changed.
void TriParseEfx(Session& s, std::int32_t PID, const TriKroTables& tri, const KronosDefs& kro);
// The same with the program's tables.
void TriParseEfx(Session& s, std::int32_t PID);
// The post-process "TriParseEfx" the Triton page's "ParsEfx" arms: the parse
// above, run from the input handler, where a file that cannot be written is
// shown in an Error box.
void TriParseEfxPostProcess(Session& s, std::int32_t PID);

}  // namespace tolvex
