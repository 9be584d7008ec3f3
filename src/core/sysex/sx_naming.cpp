// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/sysex/sx_naming.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "core/sysex/naming_tables.h"

namespace tolvex {

namespace {

using namespace naming;

constexpr char kDigits[] = "0123456789ABCDEF";

void appendHex2(std::string& s, std::uint8_t b)
{
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
}

// Names are short; formatting into a stack buffer keeps naming at one
// vsnprintf per text, which matters when a dump of thousands of messages is
// named. A text longer than the buffer is cut, which no naming format reaches.
__attribute__((format(printf, 2, 3))) void appendf(std::string& s, const char* fmt, ...)
{
    char buf[160];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    if (n > 0) s.append(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

// The bytes of sx from `first` as characters (voice and format names).
std::string_view charsAt(ByteView sx, std::size_t first, std::size_t count)
{
    return {reinterpret_cast<const char*>(sx.data() + first), count};
}

// Each namer below appends to `name` and returns as soon as it needs a byte
// that the message does not have: `sx.size() <= i` guards every sx[i].

void nameUniversalNonRealtime(ByteView sx, std::string& name, std::string& sup)
{
    if (sx.size() <= 2) return;
    name = "Universal Sysex Non Realtime (ch ";
    appendHex2(name, sx[2]);
    name += ')';
    if (sx.size() <= 3) return;
    const std::uint8_t subId = sx[3];
    switch (subId) {
    case 0x04: name += " - Device Control"; break;
    case 0x06: name += " - General Information"; break;
    case 0x09: name += " - GM System"; break;
    default: return;
    }
    if (sx.size() <= 4) return;
    const std::uint8_t subId2 = sx[4];
    if (subId == 0x04) {
        static constexpr const char* kControls[] = {" : Master Volume %d", " : Master Balance %d",
                                                    " : Master Fine Tune %d", " : Master Coarse Tune %d"};
        if (subId2 < 0x01 || subId2 > 0x04) {
            name += " : Unknown SubID2";
            return;
        }
        if (sx.size() <= 6) return;
        appendf(name, kControls[subId2 - 1], Midi2byteVal(sx[5], sx[6]));
    } else if (subId == 0x06) {
        if (subId2 == 0x01) {
            name += " : Identity Request";
        } else if (subId2 == 0x02) {
            name += " : Identity Reply";
            // The reply's identity bytes, at most nine of them.
            for (std::size_t i = 5; i < std::min<std::size_t>(sx.size(), 14); ++i) {
                sup += ' ';
                appendHex2(sup, sx[i]);
            }
        } else {
            name += " : Unknown SubID2";
        }
    } else {
        if (subId2 == 0x00)
            name += " Disable";
        else if (subId2 == 0x01)
            name += " Enable";
        else
            name += " : Unknown SubID2";
    }
}

void nameEnsoniq(ByteView sx, std::string& name)
{
    if (sx.size() <= 2) return;
    const char* model = EnsoniqModelName(sx[2]);
    if (!model) return;
    name += " - ";
    name += model;
    if (sx.size() <= 5) return;
    if (const char* type = EnsoniqTypeText(sx[2], sx[5])) name += type;
}

void nameTritonFunction(ByteView sx, std::string& name, const FamilyNamers* families, std::string* short_desc_string)
{
    const std::uint8_t function = sx[4];
    if (function == 0x4C || function == 0x4D) {
        if (sx.size() <= 6) return;
        // Bits 5-4 of the bank byte hold the dump kind (bank, one, all).
        if (const char* kind = TritonDumpKindText(function, (sx[6] >> 4) & 3)) name += kind;
        return;
    }
    const char* text = TritonFunctionText(function);
    if (!text) return;
    name += text;
    if (function == 0x41 && families && families->tritonParameter)
        name += families->tritonParameter(sx, short_desc_string);
}

void nameKorg(ByteView sx, std::string& name, bool& ignore, const NamingOptions& opts, std::string* short_desc_string)
{
    // Only the `3n` form of byte 2 (n = MIDI channel) carries a model byte.
    if (sx.size() <= 3 || (sx[2] >> 4) != 0x3) return;
    const KorgModel* model = KorgModelFor(sx[3]);
    if (!model) return;
    name += ' ';
    name += model->name;
    if (sx.size() <= 4) return;
    const std::uint8_t function = sx[4];
    switch (model->functions) {
    case KorgFunctions::None: break;
    case KorgFunctions::M1:
        if (const char* text = M1FunctionText(function)) name += text;
        break;
    case KorgFunctions::Wavestation:
        if (const char* text = WavestationFunctionText(function)) name += text;
        break;
    case KorgFunctions::Triton: nameTritonFunction(sx, name, opts.families, short_desc_string); break;
    case KorgFunctions::Kronos:
        if (function == 0x7F /* Karma control */ && opts.Filter7F) {
            ignore = true;
            return;
        }
        if (opts.families && opts.families->kronos) name += opts.families->kronos(sx, short_desc_string, opts.log);
        break;
    }
}

void nameYamahaBulkDump(ByteView sx, std::string& name, std::string& sup)
{
    name += " Bulk Dump: ";
    if (sx.size() <= 5) return;
    const int count = sx[4] * 128 + sx[5];
    appendf(sup, "Byte Count %XH, %d (d)", count, count);
    const std::uint8_t format = sx[3];
    if (format == 0x7E /* universal bulk dump with an ASCII header */) {
        if (sx.size() <= 15) return;
        sup += "Classification Name |";
        sup += charsAt(sx, 6, 4);
        sup += "|Data Format Name |";
        sup += charsAt(sx, 10, 6);
        sup += '|';
        if (const char* text = YamahaDataFormatText(charsAt(sx, 10, 6))) name += text;
        return;
    }
    const char* text = YamahaBulkFormatText(format);
    if (!text) return;
    name += text;
    if (format == 0x00 /* single voice */ && sx.size() > 160) name += charsAt(sx, 151, 10);
}

void nameYamahaParameterChange(ByteView sx, std::string& name, std::string& sup)
{
    name += " Parameter Change: ";
    if (sx.size() <= 3) return;
    const std::uint8_t group = sx[3];
    const char* text = nullptr;
    switch (group) {
    case 0x00:
    case 0x01: text = "DX Voice Parameter     : P %d"; break;
    case 0x04: text = "TF1 Performance G=1    : P %d"; break;
    case 0x08: text = "TF1 Performance G=2    : P %d"; break;
    case 0x0C: text = "TF1 Performance G=3    : P %d"; break;
    case 0x10: text = "TF1 Performance G=4    : P %d"; break;
    case 0x18:
    case 0x19:
    case 0x1B: break;
    default: name += "Unknown Parameter"; return;
    }
    if (sx.size() <= 4) return;
    const std::uint8_t p = sx[4];
    if (text) {
        appendf(name, text, p);
    } else if (group == 0x18) {
        if (p == 0x7E || p == 0x7F) {
            if (sx.size() <= 5) return;
            appendf(name,
                    p == 0x7E ? "Micro Tuning Parameter Change : P %d" : "Fractional Scaling Parameter Change : P %d",
                    sx[5]);
        } else {
            appendf(name, "Supplement Parameter Change : P %d", p);
        }
    } else if (group == 0x19) {
        appendf(name, "Performance Parameter Change : P %d", p);
        for (std::size_t i = 4; i < sx.size(); ++i) {
            appendHex2(sup, sx[i]);
            sup += "h  ";
        }
    } else {
        appendf(name, "Switch Remote param G=6 H=3: SW# %d", p);
        if (sx.size() <= 5) return;
        name += sx[5] != 0 ? " On" : " Off";
    }
}

void nameYamaha(ByteView sx, std::string& name, std::string& sup)
{
    if (sx.size() <= 2) return;
    // High nibble: sub-status; low nibble: device number.
    switch (sx[2] >> 4) {
    case 0x0: nameYamahaBulkDump(sx, name, sup); break;
    case 0x1: nameYamahaParameterChange(sx, name, sup); break;
    case 0x2:
        if (sx.size() > 3) appendf(name, " Bulk Dump Request for Format # %d", sx[3]);
        break;
    default: break;
    }
}

void nameThreeByteId(ByteView sx, std::string& name, std::string& sup, const FamilyNamers* families)
{
    if (sx.size() <= 3) return;
    if (sx[2] == 0x00 /* American group */) {
        if (const char* maker = AmericanMakerName(sx[3])) name = maker;
        if (sx[3] == 0x1B /* Peavey */ && families && families->peavey) families->peavey(sx, name, sup);
    } else if (sx[2] == 0x20 /* European group */) {
        name = EuropeanMakerName(sx[3]);
    }
}

}  // namespace

std::string SxParseName(ByteView sx, std::string& sup, bool& ignore, const NamingOptions& opts,
                        std::string* short_desc_string)
{
    std::string name;
    sup.clear();
    ignore = false;
    if (sx.size() > 1) {
        const std::uint8_t id = sx[1];
        switch (id) {
        case 0x00: nameThreeByteId(sx, name, sup, opts.families); break;
        case 0x0F /* Ensoniq */:
            name = OneByteMakerName(id);
            nameEnsoniq(sx, name);
            break;
        case 0x42 /* Korg */:
            name = OneByteMakerName(id);
            nameKorg(sx, name, ignore, opts, short_desc_string);
            break;
        case 0x43 /* Yamaha */:
            name = OneByteMakerName(id);
            nameYamaha(sx, name, sup);
            break;
        case 0x7E /* universal non-real-time */: nameUniversalNonRealtime(sx, name, sup); break;
        default:
            if (id < 0x80)
                if (const char* maker = OneByteMakerName(id)) name = maker;
            break;
        }
    }
    if (name.empty()) {
        name = "Unknown : ";
        for (std::size_t i = 0; i < std::min<std::size_t>(sx.size(), 9); ++i) {
            appendHex2(name, sx[i]);
            name += "  ";
        }
    }
    return name;
}

}  // namespace tolvex
