// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos messages: the texts of replies, parameter changes and function 7F
// (KARMA control) messages, the function texts of the message naming, the
// timbre MIDI channel and status byte, and the dump requests of the Kronos page.
// Every Kronos message starts F0 42 3n 68 (n = global channel); byte 4 is the function.
#pragma once

#include <cstdint>
#include <string>

#include "core/sysex/sx_naming.h"
#include "core/text/bytes.h"

namespace tolvex {

class Session;
struct KronosDefs;

// The text of a reply's error code (byte 5 of a function 0x24 message).
std::string Kro_reply_text(int cc);

// Three data bytes, most significant first, as a 21-bit two's-complement
// number: 7F 7F 7F gives -1, 40 00 00 gives -1048576. s must hold 3 bytes.
std::int32_t KorgVal21bit(ByteView s);
// The 14-bit number of the first and the third of three data bytes,
// (s0 & 7F) << 7 | (s2 & 7F); the middle byte is not used. s must hold 3 bytes.
std::int32_t KorgVal14bit(ByteView s);

// The text of a parameter change (functions 43, 44, 53-56, 6D, 6E):
// - 14 bytes (F0 42 3n 68 FUNC TYP SOC SUB PID IDX v v v F7): the description
//   of Kro_parm_desc and " %d" of the 21-bit value;
// - 16 bytes (... FUNC TYP SOC SUB 7F PIDH PIDL IDX v v v F7):
//   "Fn %X T %X, S %X, Su %X, P %X, IX %X, v %d";
// both set *short_desc_string (when given) to "Kronos Param Fn:%X Val %d (0x%X)".
// Any other length gives "Unsupported format" and leaves it alone.
std::string KroParamParse(ByteView msg, std::string* short_desc_string, const NamingLog& log, KronosDefs& defs);
// The text of a function 7F message by its kind (byte 5); a kind that is not
// known, or a message too short for its kind's fields (its F7 is no field), gives
// "Karma Control: Unknown(%d)". msg must hold byte 5.
std::string KroFunc7FParse(ByteView msg);

// A Kronos timbre's MIDI channel and status byte (bits 0-4 channel 0-15 or 16
// for the global channel, bits 5-7 status) as text: "Off", "Int", "Ext",
// "Ext2" or "%d?", after "(Gchan) " for the global channel.
std::string mfs_desc(std::uint8_t mfs);
// A Triton timbre status byte as the Kronos one: the channel bits kept, status
// Triton 0 -> 1, 1 -> 0, 3 -> 3, 4 -> 4, any other -> 0.
std::uint8_t mfs_map(std::uint8_t mfid);

// What the message naming appends to "Korg Kronos" (sx[4] must exist). A step
// that needs a byte sx does not have, or whose byte would be the F7 of a
// message cut short, stops there. Parameter texts look in defs.
std::string KronosFunctionText(ByteView sx, std::string* short_desc_string, const NamingLog& log, KronosDefs& defs);

// Kronos request kinds and object types of the Kronos page's requests.
inline constexpr std::uint8_t kKroObjectDumpRequest = 0x72;
inline constexpr std::uint8_t kKroCurrentObjectDumpRequest = 0x74;

// Validates the boxes Channel (0-15), KroBank (0-77 for programs, 0-70 for
// other objects) and KroProg (0-127), builds the request, logs it as
// "Sending: " and its bytes, and sends it. Refusals are shown in a box and
// nothing is sent or logged; without an output the "MIDI Interface Not
// Installed" warning is shown instead.
void Kro_sx_request(Session& s, std::uint8_t reqtype, std::uint8_t reqid);
// The request message itself (no checks).
Bytes KroRequestMessage(int channel, std::uint8_t reqtype, std::uint8_t reqid, int bank, int program);

void Kro_Req_1ProgClick(Session& s);
void Kro_Req_1CombiClick(Session& s);
void Kro_Cur_Prog_req_Click(Session& s);
void Kro_Cur_Combi_req_Click(Session& s);
void Kro_Cur_Setlist_req_Click(Session& s);

// The controls of the "Kronos" page, as the session keys their values and the window names its widgets.
namespace ctl {
inline constexpr char KroProg[] = "KroProg", KroBank[] = "KroBank", BankTextMemo1[] = "BankTextMemo1";
}

}  // namespace tolvex
