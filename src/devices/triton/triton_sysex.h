// SPDX-License-Identifier: GPL-3.0-or-later
// The Triton page's requests and the text of a Triton timbre's MIDI byte.
// Every Triton message starts F0 42 3n 50 (42 Korg, n the global channel 0-15,
// 50 Triton); byte 4 is the function. No request waits for its answer: the
// dump arrives as any incoming message does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// Request functions and kinds (the kind goes into bits 5-4 of the bank byte).
inline constexpr std::uint8_t kTriProgramDumpRequest = 0x1C;
inline constexpr std::uint8_t kTriCombiDumpRequest = 0x1D;
inline constexpr std::uint8_t kTriCurrentProgramDumpRequest = 0x10;
inline constexpr std::uint8_t kTriCurrentCombiDumpRequest = 0x19;
inline constexpr std::uint8_t kTriOneBank = 1;
inline constexpr std::uint8_t kTriOneRecord = 2;
inline constexpr std::uint8_t kTriAllBanks = 3;

// Checks the boxes Channel (0-15), TriBank (0-11) and, for one record, TriProg
// (0-127); builds `F0 42 3c 50 reqtype (bank | kind << 4) program 00 F7`
// (program 0 unless kind 2), logs "Sending: " and its bytes and sends it. A
// refusal is shown in a box and nothing is logged or sent; without an output
// the warning of requireOutput is shown instead.
void Tri_sx_request(Session& s, std::uint8_t reqtype, std::uint8_t reqid);

void Tri_Req_1ProgClick(Session& s);         // "Req 1 Prog"
void Tri_Req_1ProgbankClick(Session& s);     // "Req 1 Prog Bank"
void Tri_ReqAllProgBanksClick(Session& s);   // "All Prog"
void Tri_Req_1CombiClick(Session& s);        // "Req 1 Combi"
void Tri_Req_1CombiBankClick(Session& s);    // "Req 1 Combi Bank"
void Tri_ReqAllCombiBanksClick(Session& s);  // "All Combi"
// The current-object requests `F0 42 3c 50 10 00 F7` and `... 19 00 F7`; the
// channel is checked as for the other requests.
void Tri_ReqCurProgClick(Session& s);   // "ReqCurProg"
void Tri_ReqCurCombiClick(Session& s);  // "ReqCurCombi"
inline constexpr char kTriParseEfxTask[] = "TriParseEfx";
// "ParsEfx": checks the channel, then the PID box, sends the current-Combi
// request and arms the post-process "TriParseEfx" with the PID: `parse` reads
// the answer when it arrives.
void Tri_ParsEfxClick(Session& s, const std::function<void(Session&, std::int32_t)>& parse);

// The status and channel of a Triton timbre's MIDI byte (bits 7-5 status,
// bit 4 global, bits 3-0 channel - 1): "INT-", "Off-", "EXT-", "EX2-" or
// "?st?", the channel as "%2d", then "g" for the global channel or a blank.
// 00 gives "INT- 1 ", 10 "INT- 1g", 2F "Off-16 ".
std::string mfs(std::uint8_t mfid);

// The controls of the "Triton" page, as the session keys their values and the window names its widgets.
namespace ctl {
inline constexpr char TriProg[] = "TriProg", TriBank[] = "TriBank", TriEfxPIDtxt[] = "TriEfxPIDtxt",
                      Tri_Gchan[] = "Tri_Gchan";
}

}  // namespace tolvex
