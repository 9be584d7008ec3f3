// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_naming.h"

#include <string_view>

#include "core/sysex/naming_tables.h"

namespace tolvex {

namespace {

using namespace naming;

// 0x00 is followed by the voice name, hence its three trailing blanks.
constexpr IdText kBulkFormatRows[] = {
    {0x00, "Voice Edit Buffer   "},         {0x01, "One TF1 performance bulk data"},
    {0x02, "TF1 64 performance bulk data"}, {0x05, "Supplemental Edit Buffer"},
    {0x06, "Packed 32 Supplement"},         {0x09, "Packed 32 Voice"},
    {0x7D, "TF1 Condition Acknowledge"},
};
constexpr ByIdTable kBulkFormats = byId(kBulkFormatRows);

struct DataFormatRow {
    std::string_view formatName;
    const char* text;
};

// The format names are exactly six characters; trailing blanks count.
constexpr DataFormatRow kDataFormats[] = {
    {"8973PE", "DX7 II Performance edit buffer"},
    {"8973PM", "DX7 II Packed 32 Performance"},
    {"8973S ", "DX7 II System Setup"},
    {"MCRYE ", "Micro Tuning Edit Buffer"},
    {"MCRYC ", "Micro Tuning cartridge"},
    {"FKSYE ", "Fractional Scaling Edit Buffer"},
    {"FKSYC ", "Fractional Scaling Cartridge Memory"},
    {"8952PE", "TX802 Performance edit buffer"},
    {"8952PM", "TX802 Performance Bulk"},
    {"8952S ", "TX802 System Setup"},
};

const char* dataFormatText(std::string_view formatName)
{
    for (const auto& row : kDataFormats)
        if (row.formatName == formatName) return row.text;
    return nullptr;
}

// Each step appends to `name` and returns as soon as it needs a byte that the
// message does not have: `sx.size() <= i` guards every sx[i].

void nameYamahaBulkDump(ByteView sx, std::string& name, std::string& sup)
{
    name += " Bulk Dump: ";
    if (sx.size() <= 5) return;
    const int count = sx[4] * 128 + sx[5];
    appendFormat(sup, "Byte Count %XH, %d (d)", count, count);
    const std::uint8_t format = sx[3];
    if (format == 0x7E /* universal bulk dump with an ASCII header */) {
        if (sx.size() <= 15) return;
        sup += "Classification Name |";
        sup += charsAt(sx, 6, 4);
        sup += "|Data Format Name |";
        sup += charsAt(sx, 10, 6);
        sup += '|';
        if (const char* text = dataFormatText(charsAt(sx, 10, 6))) name += text;
        return;
    }
    const char* text = kBulkFormats[format];
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
        appendFormat(name, text, p);
    } else if (group == 0x18) {
        if (p == 0x7E || p == 0x7F) {
            if (sx.size() <= 5) return;
            appendFormat(
                name, p == 0x7E ? "Micro Tuning Parameter Change : P %d" : "Fractional Scaling Parameter Change : P %d",
                sx[5]);
        } else {
            appendFormat(name, "Supplement Parameter Change : P %d", p);
        }
    } else if (group == 0x19) {
        appendFormat(name, "Performance Parameter Change : P %d", p);
        for (std::size_t i = 4; i < sx.size(); ++i) {
            appendHex2(sup, sx[i]);
            sup += "h  ";
        }
    } else {
        appendFormat(name, "Switch Remote param G=6 H=3: SW# %d", p);
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
        if (sx.size() > 3) appendFormat(name, " Bulk Dump Request for Format # %d", sx[3]);
        break;
    default: break;
    }
}

}  // namespace

MessageNamer yamahaNamer()
{
    return {{0x43}, std::nullopt, 0, [](ByteView sx, NameParts& out) { nameYamaha(sx, out.name, out.sup); }};
}

}  // namespace tolvex
