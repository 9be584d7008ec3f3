// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/text_utils.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tolvex {

namespace {

constexpr std::array<const char*, 12> Midi_Note_Names = {"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};

constexpr char kDigits[] = "0123456789ABCDEF";

std::string hexListOf(ByteView bytes, std::size_t shown)
{
    std::string out;
    const std::size_t n = bytes.size() < shown ? bytes.size() : shown;
    out.reserve(3 * n + 7);
    for (std::size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
        out += ' ';
    }
    if (bytes.size() > shown) {
        out += "... ";
        out += HexB(bytes.back());
        out += ' ';
    }
    return out;
}

}  // namespace

std::string BinaryToHexList(ByteView bin)
{
    return hexListOf(bin, 24);
}

std::string SxStringToHexList(ByteView sx)
{
    return hexListOf(sx, 25);
}

std::string hexLine(ByteView bytes)
{
    return hexListOf(bytes, bytes.size());
}

Bytes joinNibbles(ByteView pairs, bool highFirst)
{
    Bytes out(pairs.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t first = pairs[2 * i] & 0x0F, second = pairs[2 * i + 1] & 0x0F;
        out[i] = static_cast<std::uint8_t>(highFirst ? first << 4 | second : second << 4 | first);
    }
    return out;
}

std::string MidiNoteTxt(int mnote)
{
    // Floor division keeps negative numbers on the right octave instead of indexing out of range.
    int octave = mnote / 12;
    int note = mnote % 12;
    if (note < 0) {
        note += 12;
        --octave;
    }
    return std::string(Midi_Note_Names[static_cast<std::size_t>(note)]) + std::to_string(octave - 1);
}

std::string Hex(std::uint32_t Number, int nbytes)
{
    if (nbytes < 0 || nbytes > 4) throw TolvexError(format("Hex: %d bytes is out of range (0 to 4)", nbytes));
    std::string out(static_cast<std::size_t>(2 * nbytes), '0');
    for (int i = 2 * nbytes - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kDigits[Number & 0x0F];
        Number >>= 4;
    }
    return out;
}

char HexNib(std::uint32_t Number)
{
    return kDigits[Number & 0x0F];
}

std::string HexB(std::uint8_t B)
{
    return {kDigits[B >> 4], kDigits[B & 0x0F]};
}

std::int32_t HexStringToInt(const std::string& hexnum)
{
    if (hexnum.size() > 8) throw TolvexError("Hex number too large: " + hexnum);
    std::uint32_t value = 0;
    for (char c : hexnum) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            throw TolvexError("Invalid hex number: " + hexnum);
        value = value * 16 + digit;
    }
    if (value > 0x7FFFFFFFu) throw TolvexError("Hex number too large: " + hexnum);
    return static_cast<std::int32_t>(value);
}

std::uint32_t Endian_Reverse_Longword(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

std::string TrimLeadL(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
    return s.substr(i);
}

std::string trimmed(std::string_view s, std::string_view chars)
{
    const auto first = s.find_first_not_of(chars);
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(chars) - first + 1));
}

std::string lowerCase(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void parse(std::string& s, std::string& item, char delim)
{
    s = TrimLeadL(s);
    if (s.empty()) {
        item.clear();
        return;
    }
    std::size_t p = s.find(delim);
    if (delim == ' ' && p != std::string::npos) {
        const std::size_t tab = s.find('\t');
        if (tab != std::string::npos && tab < p) p = tab;
    }
    if (p == std::string::npos) {
        item = s;
        s.clear();
    } else {
        item = s.substr(0, p);
        s = s.substr(p + 1);
    }
}

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string CleanFilenameStrip(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '"':
        case '*':
        case '/':
        case ':':
        case '<':
        case '>':
        case '?':
        case '\\': break;
        default: out += c;
        }
    }
    return out;
}

std::vector<std::string> dialogNameFilters(const std::string& filter)
{
    auto split = [](const std::string& text, char sep) {
        std::vector<std::string> parts;
        std::size_t from = 0;
        for (;;) {
            const std::size_t at = text.find(sep, from);
            parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
            if (at == std::string::npos) return parts;
            from = at + 1;
        }
    };
    auto trimmed = [](const std::string& t) {
        const auto b = t.find_first_not_of(' ');
        return b == std::string::npos ? std::string() : t.substr(b, t.find_last_not_of(' ') - b + 1);
    };
    auto caseOf = [](std::string t, bool upper) {
        for (char& c : t)
            c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                        : std::tolower(static_cast<unsigned char>(c)));
        return t;
    };

    std::vector<std::string> out;
    const std::vector<std::string> parts = split(filter, '|');
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        std::string description = trimmed(parts[i]);
        const auto paren = description.find('(');
        std::string patternText = i + 1 < parts.size() ? parts[i + 1] : std::string();
        if (patternText.empty() && paren != std::string::npos && description.back() == ')')
            patternText = description.substr(paren + 1, description.size() - paren - 2);
        if (paren != std::string::npos) description = trimmed(description.substr(0, paren));
        std::vector<std::string> patterns;
        auto add = [&patterns](const std::string& p) {
            if (!p.empty() && std::find(patterns.begin(), patterns.end(), p) == patterns.end()) patterns.push_back(p);
        };
        for (const std::string& raw : split(patternText, ';')) {
            const std::string p = trimmed(raw);
            if (p == "*.*" || p == "*") {
                add("*");
            } else {
                add(caseOf(p, false));
                add(caseOf(p, true));
            }
        }
        if (patterns.empty()) patterns.push_back("*");
        std::string joined;
        for (const std::string& p : patterns) joined += (joined.empty() ? "" : " ") + p;
        out.push_back((description.empty() ? joined : description + " (" + joined + ")"));
    }
    return out;
}

std::string escapedBytes(std::string_view text, bool highBytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '\\' || (highBytes && b >= 0x80)) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace tolvex
