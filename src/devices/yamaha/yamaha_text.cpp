// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/yamaha/yamaha_text.h"

#include <algorithm>

namespace tolvex {

namespace {

constexpr char kEol[] = "\r\n";

std::string nameAt(const std::uint8_t* bytes, std::size_t length = kNameLength)
{
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

// A name as the readable reports show it.
std::string readable(std::string name)
{
    std::replace_if(
        name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    return name;
}

// A name as a quoted CSV field: every byte as it is, a quote doubled, so the
// reader gives back each byte, line ends and commas included.
std::string csvField(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string padLeft(const std::string& s, std::size_t width)
{
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string reference(int performance, const std::string& name)
{
    return format("%3d_", performance + 1) + name;
}

std::string modeText(std::uint8_t mode)
{
    switch (mode) {
    case 0: return "Single";
    case 1: return "Dual  ";
    case 2: return "Split ";
    default: return format("Mod%3d", mode);  // six characters for any byte up to 127
    }
}

using VoiceMap = std::array<TPerfReferenced, 256>;

// A single performance plays voice A only.
bool isSingle(const DX7iiPerformance& r)
{
    return r[dx7ii::kMode] == 0;
}

// The .txt (and .lst) items of parameters 0-30 of a DX7II performance.
void dx7iiItems(const DX7iiPerformance& r, const VoiceMap& map, std::string& txt, std::string* lst)
{
    const bool single = isSingle(r);
    txt += modeText(r[dx7ii::kMode]) + " ";
    if (lst) *lst += modeText(r[dx7ii::kMode]) + " ";
    for (std::size_t j : {dx7ii::kVoiceA, dx7ii::kVoiceB}) {
        if (single && j == dx7ii::kVoiceB) {
            txt += std::string(31, ' ');
            continue;
        }
        const std::uint8_t x = r[j];
        const char* letter = j == dx7ii::kVoiceA ? "A" : "B";
        const bool internal = x < 64;
        const int number = internal ? x + 1 : x - 63;
        txt += format("%s %s%2d ", letter, internal ? "INT" : "CRT", number);
        if (lst) *lst += format("%s (%s%2d ", letter, internal ? "INT" : "CRT", number);
        const std::string v = readable(map[x].VoiceName);
        if (lst) *lst += padLeft(v, 10) + ") ";
        txt += padLeft((v.empty() ? v : "(" + v + ")").substr(0, 20), 23);
    }
    txt += format("Spl:%3d ", r[dx7ii::kSplitPoint]);
    txt += format("Bal:%3d ", r[dx7ii::kBalance] - 50);
    txt += format("Vol: %3d  ", r[dx7ii::kVolume]);
}

// The CSV values of a TX802 packed performance: eight groups, one per parameter.
std::string tx802CsvGroups(const TX802Performance& r)
{
    std::string csv;
    for (int k = 0; k < 8; ++k) {
        csv += "  ";
        for (int tg = 0; tg < 8; ++tg) csv += format("%3d,", r[static_cast<std::size_t>(8 * k + tg)]);
    }
    return csv;
}

std::string cksumLines(unsigned sum)
{
    return std::string(kEol) + format("cksum: %02X", sum % 256) + kEol;
}

}  // namespace

std::string TX802VoiceBankXlate(int z)
{
    static const char banks[] = "ICAB";
    std::string text(1, banks[(z >> 6) & 3]);
    text += format("%2d", (z & 63) + 1);
    return text;
}

TX802Performance TX802_PCED_to_PMEM(const TX802Pced& p)
{
    TX802Performance m{};
    std::copy_n(p.begin() + kPcedName, kNameLength, m.begin() + kPmemName);
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    for (std::size_t t = 0; t < 8; ++t) {
        m[t] = u8(p[t] * 32 + (p[8 + t] & 31));
        m[8 + t] = p[16 + t];
        m[16 + t] = p[88 + t];
        m[24 + t] = p[32 + t];
        m[32 + t] = u8(p[24 + t] * 8 + (p[40 + t] & 7));
        m[40 + t] = p[48 + t];
        m[48 + t] = p[56 + t];
        m[56 + t] = u8(p[72 + t] * 64 + (p[64 + t] & 63));
    }
    return m;
}

void mapVoices(YamahaTables& t, int first)
{
    for (std::size_t v = 0; v < t.DXTX_VMEM.size(); ++v) {
        TPerfReferenced& entry = t.YamPerfMapping[static_cast<std::size_t>(first) + v];
        entry.VoiceNum = first + static_cast<int>(v);
        entry.VoiceName = nameAt(t.DXTX_VMEM[v].data() + kVoiceName, 10);
    }
}

std::string vmemText(YamahaTables& t)
{
    std::string txt;
    unsigned sum = 0;
    for (std::size_t v = 0; v < t.DXTX_VMEM.size(); ++v) {
        const PackedVoice& voice = t.DXTX_VMEM[v];
        t.DXTX_VMEM_names[v] = nameAt(voice.data() + kVoiceName, 10);
        txt += format("v%2d ", int(v) + 1) + readable(t.DXTX_VMEM_names[v]) + " " + kEol;
        for (std::uint8_t b : voice) sum += b;
    }
    return txt + cksumLines(sum);
}

YamahaReport dx7iiBankReport(YamahaTables& t)
{
    YamahaReport r;
    r.csv = std::string("DX7II Performance Bank") + kEol;
    for (std::size_t p = 0; p < t.DX7iiPackedPerf.size(); ++p) {
        const DX7iiPerformance& perf = t.DX7iiPackedPerf[p];
        const std::string name = nameAt(perf.data() + dx7ii::kName);
        r.txt += format("p%2d ", int(p) + 1) + readable(name) + " ";
        r.lst += format("%2d ", int(p) + 1) + readable(name) + " ";
        r.csv += csvField(name) + ", ";
        for (std::size_t j = 0; j < dx7ii::kParameters; ++j)
            r.csv += format("%3d", perf[j]) + (j + 1 < dx7ii::kParameters ? "," : "");
        const std::string ref = reference(static_cast<int>(p), name);
        t.YamPerfMapping[perf[dx7ii::kVoiceA]].References.insert(ref);
        if (!isSingle(perf)) t.YamPerfMapping[perf[dx7ii::kVoiceB]].References.insert(ref);
        dx7iiItems(perf, t.YamPerfMapping, r.txt, &r.lst);
        r.txt += kEol;
        r.lst += kEol;
        r.csv += kEol;
    }
    for (int x = 0; x < 128; ++x) {
        const TPerfReferenced& voice = t.YamPerfMapping[static_cast<std::size_t>(x)];
        r.map +=
            (x < 64 ? format("I%2d", x + 1) : format("C%2d", x - 63)) + " " + readable(voice.VoiceName) + " Used by: ";
        for (const std::string& ref : voice.References) r.map += readable(ref) + " ";
        r.map += kEol;
    }
    return r;
}

std::string dx7iiEditBufText(const YamahaTables& t)
{
    std::string txt = readable(nameAt(t.DX7iiPerfEditBuf.data() + dx7ii::kName)) + " ";
    dx7iiItems(t.DX7iiPerfEditBuf, t.YamPerfMapping, txt, nullptr);
    return txt + kEol;
}

YamahaReport tx802BankReport(YamahaTables& t)
{
    YamahaReport r;
    r.csv = std::string("TX802 Performance Bank") + kEol;
    unsigned sum = 0;
    for (std::size_t p = 0; p < t.TX802PMEM.size(); ++p) {
        const TX802Performance& perf = t.TX802PMEM[p];
        const std::string name = nameAt(perf.data() + kPmemName);
        const std::string ref = reference(static_cast<int>(p), name);
        r.txt += format("p%2d ", int(p) + 1) + readable(name) + " " + kEol;
        r.lst += format("%2d ", int(p) + 1) + readable(name) + " ";
        r.csv += csvField(name) + ",";
        for (int tg = 0; tg < 8; ++tg) {
            r.txt += format("  TG%d ", tg);
            auto x = [&](int k) { return perf[static_cast<std::size_t>(8 * k + tg)]; };
            const int offset = x(0) >> 5;
            if (offset < tg) {
                r.txt += std::string("  ^^^^") + kEol;  // plays with an earlier tone generator
                continue;
            }
            r.txt += format("Vofs:%1d Rch:%2d ", offset, x(0) & 31);
            const std::string voice = TX802VoiceBankXlate(x(1));
            TPerfReferenced& entry = t.YamPerfMapping[x(1)];
            entry.References.insert(ref);
            r.txt += voice + " ";
            r.lst += format(" (%d: ", tg) + voice + " " + padLeft(readable(entry.VoiceName), 10) + ") ";
            r.txt += format("MTT:%3d ", x(2));
            r.txt += format("Vol: %2d  ", x(3));
            r.txt += format("Detn:%2d k:%1d Outch:%2d ", x(4) >> 4, (x(4) & 0x08) ? 1 : 0, x(4) & 7);
            r.txt += format("NLMTL:%2d ", x(5));
            r.txt += format("NLMTH:%2d ", x(6));
            r.txt += format("NShft:%2d ", x(7) & 63);
            r.txt += kEol;
        }
        r.csv += tx802CsvGroups(perf) + kEol;
        r.lst += kEol;
        for (std::uint8_t b : perf) sum += b;
    }
    r.txt += cksumLines(sum);
    for (int x = 0; x < 256; ++x) {
        const TPerfReferenced& voice = t.YamPerfMapping[static_cast<std::size_t>(x)];
        r.map += TX802VoiceBankXlate(x) + " " + readable(voice.VoiceName);
        if (!voice.References.empty()) {
            r.map += " Used by: ";
            for (const std::string& ref : voice.References) r.map += readable(ref) + " ";
        }
        r.map += kEol;
    }
    return r;
}

YamahaReport tx802PerfReport(YamahaTables& t)
{
    const TX802Pced& pced = t.TX802PCED;
    YamahaReport r;
    const std::string name = nameAt(pced.data() + kPcedName);
    r.csv = std::string("TX 802 Single Performance") + kEol + csvField(name) + ",";
    r.txt = readable(name) + " " + kEol;
    r.lst = readable(name) + " ";
    for (int tg = 0; tg < 8; ++tg) {
        r.txt += format("  TG%d ", tg);
        auto x = [&](int k) { return pced[static_cast<std::size_t>(8 * k + tg)]; };
        if (x(0) < tg) {
            r.txt += std::string("  ^^^^") + kEol;
            continue;
        }
        r.txt += format("Vofs:%1d Rch:%2d ", x(0), x(1));
        const std::string voice = TX802VoiceBankXlate(x(2));
        r.txt += voice + " ";
        r.lst += format(" (%d: ", tg) + voice + " " + readable(t.YamPerfMapping[x(2)].VoiceName) + ") ";
        r.txt += format("Detn:%2d ", x(3));
        r.txt += format("Vol: %2d  ", x(4));
        r.txt += format("Outch:%2d ", x(5));
        r.txt += format("NLMTL:%2d ", x(6));
        r.txt += format("NLMTH:%2d ", x(7));
        r.txt += format("NShft:%2d ", x(8) & 63);
        r.txt += format("MTT:%3d ", x(11));
        r.txt += kEol;
    }
    t.TX802onePMEM = TX802_PCED_to_PMEM(pced);
    r.csv += tx802CsvGroups(t.TX802onePMEM) + kEol;
    r.lst += kEol;
    unsigned sum = 0;
    for (std::size_t i = 0; i < std::tuple_size_v<TX802Performance>; ++i) sum += pced[i];
    r.txt += cksumLines(sum);
    return r;
}

bool hasDoubleQuote(const std::string& name)
{
    return name.find('"') != std::string::npos;
}

}  // namespace tolvex
