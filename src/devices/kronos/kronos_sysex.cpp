// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/kronos/kronos_sysex.h"

#include <algorithm>
#include <utility>

#include "core/app/controls.h"
#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/text/text_utils.h"
#include "devices/kronos/kronos_defs.h"

namespace tolvex {

namespace {

// Negative values show as their 32-bit two's complement in "%X" places.
unsigned hex32(std::int32_t v)
{
    return static_cast<unsigned>(v);
}

std::string shortDesc(int func, std::int32_t v)
{
    return format("Kronos Param Fn:%X Val %d (0x%X)", static_cast<unsigned>(func), v, hex32(v));
}

bool has(ByteView sx, std::size_t i)
{
    return i < sx.size();
}

// The message up to its F7 (from byte 5 on): a message cut short has its F7
// where a field should be, and a field that would be the F7 is a missing byte.
ByteView dataBytes(ByteView sx)
{
    std::size_t end = std::min<std::size_t>(5, sx.size());
    while (end < sx.size() && sx[end] != 0xF7 /* end of SysEx */) ++end;
    return sx.first(end);
}

}  // namespace

std::string Kro_reply_text(int cc)
{
    switch (cc) {
    case 0: return "No error";
    case 1: return "parameter type specified is incorrect for current mode";
    case 2: return "unknown param message type, unknown parameter id or index";
    case 3: return "short or otherwise mangled message";
    case 4: return "target object not found";
    case 5: return "insufficient resources to complete request";
    case 6: return "paramter value is out of range";
    case 7: return "(internal error code)";
    case 64: return "other error";
    case 65: return "target object is protected";
    case 66: return "memory overflow";
    default: return format("Unspecified Error %d", cc);
    }
}

std::int32_t KorgVal21bit(ByteView s)
{
    const std::int32_t v = (s[0] & 0x7F) << 14 | (s[1] & 0x7F) << 7 | (s[2] & 0x7F);
    return (v & 0x100000) ? v - 0x200000 : v;  // bit 20 is the sign
}

std::int32_t KorgVal14bit(ByteView s)
{
    return (s[0] & 0x7F) << 7 | (s[2] & 0x7F);
}

std::string KroParamParse(ByteView msg, std::string* short_desc_string, const NamingLog& log, KronosDefs& defs)
{
    if (msg.size() == 14) {
        const std::int32_t v = KorgVal21bit(msg.subspan(10, 3));
        if (short_desc_string) *short_desc_string = shortDesc(msg[4], v);
        return defs.Kro_parm_desc(msg[4], msg[5], msg[6], msg[7], msg[8], msg[9], log) + format(" %d", v);
    }
    if (msg.size() == 16) {
        // Byte 8 (7F) marks the long form: a 14-bit parameter id in bytes 9-10.
        const int p = (msg[9] & 0x7F) * 128 + (msg[10] & 0x7F);
        const std::int32_t v = KorgVal21bit(msg.subspan(12, 3));
        if (short_desc_string) *short_desc_string = shortDesc(msg[4], v);
        return format("Fn %X T %X, S %X, Su %X, P %X, IX %X, v %d", msg[4], msg[5], msg[6], msg[7],
                      static_cast<unsigned>(p), msg[11], v);
    }
    return "Unsupported format";
}

std::string KroFunc7FParse(ByteView whole)
{
    const int kind = whole[5];
    const ByteView msg = dataBytes(whole);
    switch (kind) {
    case 0:
        if (!has(msg, 11)) break;
        return format("Karma Control: Waveform Sel(%d), MidiCh %d, p %X, ms %X, %X, %X", msg[5], msg[6], msg[7], msg[8],
                      static_cast<unsigned>(msg[10] * 256 + msg[9]), msg[11]);
    case 1:
        if (!has(msg, 6)) break;
        return format("Karma Control: Waveform Reset(%d), MidiCh %d", msg[5], msg[6]);
    case 2:
        if (!has(msg, 7)) break;
        return format("Karma Control: Vector Trigger(%d), MidiCh %d, v %X, ", msg[5], msg[6], msg[7]);
    case 3:
        if (!has(msg, 9)) break;
        return format("Karma Control: Switch Modified State (%d), Mod %d, Sc %X, V %X %X,", msg[5], msg[6], msg[7],
                      msg[8], msg[9]);
    case 4:
        if (!has(msg, 9)) break;
        return format("Karma Control: Slider Modified State(%d), Mod %d, Sc %X, Sli %X, Data %X", msg[5], msg[6],
                      msg[7], msg[8], msg[9]);
    case 5:
        if (!has(msg, 9)) break;
        return format("Karma Control: Module Modified State(%d), Mod %d, Data %X %X %X ...", msg[5], msg[6], msg[7],
                      msg[8], msg[9]);
    default: break;
    }
    return format("Karma Control: Unknown(%d)", kind);
}

std::string mfs_desc(std::uint8_t mfs)
{
    const int status = mfs >> 5;
    std::string text = (mfs & 0x1F) == 16 ? "(Gchan) " : "";
    switch (status) {
    case 0: return text + "Off";
    case 1: return text + "Int";
    case 3: return text + "Ext";
    case 4: return text + "Ext2";
    default: return text + format("%d?", status);
    }
}

std::uint8_t mfs_map(std::uint8_t mfid)
{
    int status = 0;
    switch (mfid >> 5) {
    case 0: status = 1; break;
    case 3: status = 3; break;
    case 4: status = 4; break;
    default: status = 0; break;  // 1 (and anything unknown) is Off
    }
    return static_cast<std::uint8_t>((mfid & 0x1F) | status << 5);
}

// The functions whose text needs no data bytes.
constexpr std::pair<std::uint8_t, const char*> kFixedFunctionTexts[] = {
    {0x12, ": Mode Request"},
    {0x13, ": Song Select"},
    {0x30, ": Current Sample Information Request"},
    {0x31, ": Current Sample Information"},
    {0x32, ": Current Performance Id Request"},
    {0x33, ": Current Performance Id"},
    {0x34, ": Current Piano Types Request"},
    {0x35, ": Current Piano Types"},
    {0x36, ": Notify Piano Types Changed"},
    {0x39, ": Bank Digest Collection Request "},
    {0x3A, ": Bank Digest Collection "},
    {0x41, ": Sequencer Parameter Change"},
    {0x42, ": Mode Data"},
    {0x4E, ": Mode Change"},
    {0x71, ": Set Current Object"},
    {0x78, ": Reset Controller"},
    {0x79, ": SMF Data Dump Request"},
    {0x7A, ": SMF Data Dump"},
    {0x7B, ": Preset Pattern SMF Dump"},
    {0x7C, ": Change Program Bank Type"},
};

std::string KronosFunctionText(ByteView message, std::string* short_desc_string, const NamingLog& log, KronosDefs& defs)
{
    // The parameter changes are told apart by their whole length; every other step reads data bytes only.
    const ByteView sx = dataBytes(message);
    for (const auto& [function, text] : kFixedFunctionTexts)
        if (sx[4] == function) return text;
    switch (sx[4]) {
    case 0x24: return has(sx, 5) ? ": Reply " + Kro_reply_text(sx[5]) : ": Reply ";
    case 0x37: return ": Bank Digest Request " + (has(sx, 6) ? Kro_obj_Text2(sx[5], sx[6]) : std::string());
    case 0x38: return ": Bank Digest " + (has(sx, 6) ? Kro_obj_Text2(sx[5], sx[6]) : std::string());
    case 0x43:
    case 0x44: return ": Parm " + KroParamParse(message, short_desc_string, log, defs);
    case 0x53:
    case 0x54: return ": Drum Kit Parm " + KroParamParse(message, short_desc_string, log, defs);
    case 0x55:
    case 0x56: return ": Wave Seq Parm " + KroParamParse(message, short_desc_string, log, defs);
    case 0x6D: return ": KARMA Parm " + KroParamParse(message, short_desc_string, log, defs);
    case 0x6E: return ": Drum Track Parm " + KroParamParse(message, short_desc_string, log, defs);
    case 0x72:
        return ": Object Dump Request " + (has(sx, 8) ? Kro_obj_Text4(sx[5], sx[6], sx[7], sx[8]) : std::string());
    case 0x73: return ": Dump " + (has(sx, 9) ? Kro_obj_Text5(sx[5], sx[6], sx[7], sx[8], sx[9]) : std::string());
    case 0x74: return ": Current Object Dump Request " + (has(sx, 5) ? Kro_obj_Text1(sx[5]) : std::string());
    case 0x75: return ": Current Object Dump " + Kro_obj_Text6(sx);
    case 0x76: return ": Store Bank Request " + (has(sx, 6) ? Kro_obj_Text2(sx[5], sx[6]) : std::string());
    case 0x77: return ": Dump Bank Request " + (has(sx, 6) ? Kro_obj_Text2(sx[5], sx[6]) : std::string());
    case 0x7D: return ": Query Program Bank Type " + (has(sx, 5) ? Kro_obj_Text_Generic1(sx[5]) : std::string());
    case 0x7E: return ": Query Program Bank Type Reply " + (has(sx, 5) ? Kro_obj_Text_Generic1(sx[5]) : std::string());
    case 0x7F /* KARMA control */: return has(sx, 5) ? ": " + KroFunc7FParse(sx) : std::string();
    default: return {};
    }
}

Bytes KroRequestMessage(int channel, std::uint8_t reqtype, std::uint8_t reqid, int bank, int program)
{
    Bytes m = {0xF0, 0x42 /* Korg */, static_cast<std::uint8_t>(0x30 | (channel & 0x0F)), 0x68 /* Kronos */, reqtype,
               reqid};
    if (reqtype == kKroObjectDumpRequest) {
        // Bank, then the index as two bytes of which the high one is always 0.
        m.push_back(static_cast<std::uint8_t>(bank & 0x7F));
        m.push_back(0x00);
        m.push_back(static_cast<std::uint8_t>(program & 0x7F));
    }
    m.push_back(0xF7);
    return m;
}

void Kro_sx_request(Session& s, std::uint8_t reqtype, std::uint8_t reqid)
{
    const auto channel = checkedChannel(s, 15, "The Channel bank must be between 0 and 15");
    if (!channel) return;
    const std::optional<int> bank = s.controls.number(ctl::KroBank);
    if (!bank) return refuse(s, "You must specify a valid number for the Kronos Bank.");
    // Programs reach the banks USER-AA..GG (71-77), other objects stop at USER-G.
    const int highest = reqid == 0 ? 77 : 70;
    if (*bank < 0 || *bank > highest) return refuse(s, format("The Kronos bank must be between 0 and %d.", highest));
    const std::optional<int> program = s.controls.number(ctl::KroProg);
    if (!program) return refuse(s, "You must specify a valid number for the Program.");
    if (*program < 0 || *program > 127) return refuse(s, "The program value must be between 0 and 127");
    sendLogged(s, KroRequestMessage(*channel, reqtype, reqid, *bank, *program));
}

void Kro_Req_1ProgClick(Session& s)
{
    Kro_sx_request(s, kKroObjectDumpRequest, 0 /* Prog */);
}

void Kro_Req_1CombiClick(Session& s)
{
    Kro_sx_request(s, kKroObjectDumpRequest, 1 /* Comb */);
}

void Kro_Cur_Prog_req_Click(Session& s)
{
    Kro_sx_request(s, kKroCurrentObjectDumpRequest, 0 /* Prog */);
}

void Kro_Cur_Combi_req_Click(Session& s)
{
    Kro_sx_request(s, kKroCurrentObjectDumpRequest, 1 /* Comb */);
}

void Kro_Cur_Setlist_req_Click(Session& s)
{
    Kro_sx_request(s, kKroCurrentObjectDumpRequest, 0x0D /* Set List */);
}

}  // namespace tolvex
