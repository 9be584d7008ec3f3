// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/kronos/kronos_combi.h"

#include <algorithm>
#include <optional>

#include "core/app/device_commands.h"
#include "core/app/session.h"
#include "core/sysex/bit_field.h"
#include "core/sysex/syx_file.h"
#include "core/text/atomic_file.h"
#include "core/text/text_utils.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"

namespace tolvex {

using namespace kronos;

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int kPidItems = 8;  // parameters shown per effect

// "%2X " items, 32 to a line; each line may start with a prefix of its own.
class HexLines {
public:
    explicit HexLines(std::string& out, std::function<std::string(std::size_t)> prefix = {})
        : out_(out), prefix_(std::move(prefix))
    {
    }
    void add(std::uint8_t b)
    {
        if (n_ % 32 == 0 && prefix_) out_ += prefix_(n_);
        out_ += format("%2X ", b);
        if (++n_ % 32 == 0) out_ += kCrLf;
    }
    void add(ByteView bytes)
    {
        for (std::uint8_t b : bytes) add(b);
    }
    // Ends a line left open.
    void end()
    {
        if (n_ % 32 != 0) out_ += kCrLf;
    }

private:
    std::string& out_;
    std::function<std::string(std::size_t)> prefix_;
    std::size_t n_ = 0;
};

std::string ruler(const char* item)
{
    std::string out;
    for (int i = 1; i <= 32; ++i) out += format(item, i);
    return out;
}

// "PID1=xx, PID2=xx, ..." of one effect: its first parameters read where the
// effect parameter table puts them. Stops at effect 0, at an effect or
// parameter the table does not hold and at a parameter of width 0.
std::string pidItems(ByteView data, int type, const KronosDefs& defs)
{
    std::string out;
    if (type == 0 || static_cast<std::size_t>(type) >= defs.KroEFXParamArray.size()) return out;
    const auto& row = defs.KroEFXParamArray[static_cast<std::size_t>(type)];
    for (int p = 1; p <= kPidItems; ++p) {
        if (static_cast<std::size_t>(p) >= row.size()) break;
        const TKroEfxParamArray& pos = row[static_cast<std::size_t>(p)];
        if (pos.KroWidth == 0) break;
        std::int32_t v = 0;
        if (!GetBitField(data, BFMode::LE, v, pos.KroOfs, pos.KroBitPos, pos.KroWidth)) break;
        out += format("PID%d=%2X, ", p, static_cast<unsigned>(v));
    }
    return out;
}

std::string nameAt(ByteView bytes, std::size_t offset, std::size_t size)
{
    const auto field = bytes.subspan(offset, size);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

// The first selected entry's bytes, or nothing after the warning.
std::optional<ByteView> selectedMessage(Session& s)
{
    const auto entry = firstSelected(s, kNoMessagesSelected);
    if (!entry) return std::nullopt;
    return ByteView(s.messages.at(*entry).storage->sxdata);
}

// The selected Combi in Kro_Combi; its function (0x73 or 0x75), or 0 after a box.
std::uint8_t loadSelectedCombi(Session& s, const char* otherFunctionText)
{
    const auto m = selectedMessage(s);
    if (!m) return 0;
    const std::uint8_t function = Verify_Kro_Combi(*m);
    if (function == 0) {
        warn(s, "Message is not Kronos Combi");
        return 0;
    }
    if (function != 0x73 && function != 0x75) {
        warn(s, otherFunctionText);
        return 0;
    }
    try {
        KroUnpackCombi(*m, function, s.families.records<KronosCombiRecords>().Kro_Combi);
    } catch (const TolvexError& e) {
        warn(s, e.what());
        return 0;
    }
    return function;
}

void logCombiName(Session& s, std::uint8_t function)
{
    const std::string name = KroCombiName(s.families.records<KronosCombiRecords>().Kro_Combi);
    s.log.LogString((function == 0x75 ? "Current combi name: " : "combi name: ") + name);
}

}  // namespace

std::uint8_t Verify_Kro_Combi(ByteView sxd)
{
    static constexpr std::uint8_t kHead[6] = {0xF0, 0x42 /* Korg */, 0x30, 0x68 /* Kronos */, 0x70, 0x01 /* Combi */};
    if (sxd.size() < 6) return 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::uint8_t b = (i == 2 || i == 4) ? sxd[i] & 0xF0 : sxd[i];
        if (b != kHead[i]) return 0;
    }
    return sxd[4];
}

bool isKroGlobalDump(ByteView sxd)
{
    return sxd.size() >= 6 && sxd[0] == 0xF0 && sxd[1] == 0x42 && (sxd[2] & 0xF0) == 0x30 && sxd[3] == 0x68 &&
           sxd[4] == 0x73 /* Object dump */ && sxd[5] == 0x03 /* Global */;
}

std::size_t KroNeededLength(std::size_t offset, std::size_t dlen)
{
    return offset + KorgPackedSize(dlen) + 1;
}

void KroUnpack(ByteView sx, std::size_t offset, std::span<std::uint8_t> out)
{
    const std::size_t needed = KroNeededLength(offset, out.size());
    if (sx.size() < needed)
        throw TolvexError(
            format("Message too short: %d bytes, %d needed", static_cast<int>(sx.size()), static_cast<int>(needed)));
    const Bytes data = KorgSXtoDataConvert(sx, static_cast<int>(offset), static_cast<int>(out.size()));
    std::copy(data.begin(), data.end(), out.begin());
}

void KroUnpackCombi(ByteView sx, std::uint8_t function, TKro_Combi& combi)
{
    KroUnpack(sx, function == 0x75 ? kKroCurrentCombiOffset : kKroCombiDumpOffset, combi);
}

std::string KroCombiName(const TKro_Combi& combi)
{
    return nameAt(combi, TKro_Combi_Layout::Combi_Name, TKro_Combi_Layout::NameSize);
}

std::string KroCombiTempoText(const TKro_Combi& combi)
{
    const std::size_t at = TKro_Combi_Layout::Karma_Common;
    const int hundredths = combi[at + 1] * 256 + combi[at];
    return format("%3.2f", hundredths / 100.0);
}

Bytes KroCurrentCombiMessage(const TKro_Combi& combi)
{
    static constexpr std::uint8_t kHeader[] = {0xF0, 0x42, 0x30, 0x68, 0x75 /* Current object dump */, 0x01 /* Combi */,
                                               0x03 /* version */};
    return KorgDatatoSXConvert(kHeader, combi);
}

std::string KroCombiParseText(const TKro_Combi& combi, const KronosDefs& defs, const NamingLog& log)
{
    const ByteView c(combi);
    std::string out = KroCombiName(combi) + kCrLf + kCrLf;
    auto effectData = [&](std::size_t at, int type) {
        HexLines hex(out);
        hex.add(c.subspan(at, kEffectDataSize));
        hex.end();
        out += pidItems(c.subspan(at, kEffectDataSize), type, defs) + kCrLf;
    };
    using I = TIns_Effect_Params;
    for (int n = 1; n <= TKro_Combi_Layout::InsEffects; ++n) {
        const std::size_t e = TKro_Combi_Layout::insEffect(n);
        const int type = c[e + I::Ins_Effect_Eff_Type];
        const int sw = c[e + I::Ins_Effect_ChChSw];
        out += format("InsEff %2d Type: %d  ; ", n, type) + "Effect Name: " + defs.Kro_efx_name(type, log) + kCrLf;
        out += format("Midi Chan: %d, EFXon: %d, ChainOn %d, ChainTo: %d", sw & 63, sw & 64, sw & 128,
                      c[e + I::Ins_Effect_ChainTo]) +
               kCrLf;
        out += format("Pan: %d, BusSelFXC: %X, Send1 %d, Send2: %d", c[e + I::Ins_Effect_Panpot],
                      c[e + I::Ins_Effect_Bus_Sel_Fx], c[e + I::Ins_Effect_Send1], c[e + I::Ins_Effect_Send2]) +
               kCrLf;
        effectData(e + I::Ins_Effect_Data, type);
    }
    using M = TMas_Tot_Effect_Params;
    for (int m = 1; m <= 2; ++m) {
        const std::size_t e = TKro_Combi_Layout::mastEffect(m);
        const int type = c[e + M::MT_Effect_Eff_Type];
        const int sw = c[e + M::MT_Effect_Chan_Sw];
        out += format("MastEff %2d %2d| Type %d ", m, m, type) + "Effect Name: " + defs.Kro_efx_name(type, log) + kCrLf;
        out += format("Midi Chan: %d, EFXon: %d, ChainOn %d", sw & 63, sw & 64, sw & 128) + kCrLf;
        effectData(e + M::MT_Effect_Data, type);
    }
    for (int m = 1; m <= 2; ++m) {
        const std::size_t e = TKro_Combi_Layout::totalEffect(m);
        const int type = c[e + M::MT_Effect_Eff_Type];
        out +=
            format("TotalEff %2d %2d| Type %d ", m, m, type) + "Effect Name: " + defs.Kro_efx_name(type, log) + kCrLf;
        effectData(e + M::MT_Effect_Data, type);
    }
    const std::size_t mp = TKro_Combi_Layout::Mast_Effect_Params;
    out += kCrLf;
    out += format("MastEf_Return1 %d, MastEf_Return2 %d,MastEf_ChainDirSw %d,MastEf_ChainLevel %d",
                  c[mp + TextMastParams::MastEf_Return1], c[mp + TextMastParams::MastEf_Return2],
                  c[mp + TextMastParams::MastEf_ChainDirSw], c[mp + TextMastParams::MastEf_ChainLevel]) +
           kCrLf;
    out += format("Total Effect Master Fadeval: %d", c[TKro_Combi_Layout::Total_Effect_MastVol]) + kCrLf;
    out += kCrLf;
    for (int t = 1; t <= TKro_Combi_Layout::Timbres; ++t) {
        const std::size_t at = TKro_Combi_Layout::timbre(t);
        const std::uint8_t mfs = c[at + TTimbre_Params::MidiChan_Status];
        out += format("Timbre %d, MidiCh: %d, Status: %s ", t, (mfs & 15) + 1, mfs_desc(mfs).c_str()) + kCrLf;
        out += ruler("%2d|") + kCrLf;
        HexLines hex(out);
        hex.add(c.subspan(at, TTimbre_Params::size));
        hex.end();
    }
    out += std::string("Raw Combi Data:") + kCrLf;
    out += "--- | " + ruler("%2d|") + kCrLf;
    out += "--- | " + ruler("%2X|") + kCrLf;
    HexLines raw(out, [](std::size_t n) { return format("%3.3X | ", static_cast<unsigned>(n)); });
    raw.add(c.first(TKro_Combi_Layout::Effect_LFO_Group));
    raw.end();
    return out;
}

std::string KroGlobalCatText(const TKro_Global& global)
{
    using L = TKro_Global_Layout;
    std::string out;
    const struct {
        const char* label;
        std::size_t names, subNames;
    } kinds[] = {{"      Progcat ", L::ProgCategory, L::ProgSubCategory},
                 {"      Combcat ", L::CombiCategory, L::CombiSubCategory}};
    for (const auto& k : kinds)
        for (int cat = 0; cat < L::Categories; ++cat) {
            const std::string name = trimmed(nameAt(global, L::category(k.names, cat), L::NameSize), " ");
            for (int sub = 0; sub < L::SubCategories; ++sub) {
                const std::string subName =
                    trimmed(nameAt(global, L::subCategory(k.subNames, cat, sub), L::NameSize), " ");
                out += k.label + format("%d \"", cat) + name + format("\"; Sub %d \"", sub) + subName + "\"" + kCrLf;
            }
        }
    return out;
}

void Kro_ParseToText(Session& s)
{
    const std::uint8_t function = loadSelectedCombi(s, "Not a valid Kronos Combi Function Number");
    if (function == 0) return;
    const TKro_Combi& combi = s.families.records<KronosCombiRecords>().Kro_Combi;
    s.log.LogString("combi name: " + KroCombiName(combi));
    s.log.LogString(format("T16 Timbre Volume: %d", combi[TKro_Combi_Layout::timbre(16) + TTimbre_Params::Volume]));
    writeReportFile(s, kCombiParseFile,
                    KroCombiParseText(combi, kronosDefs(s), [&s](const std::string& line) { s.log.LogString(line); }));
}

void Kro_SaveCombiBin(Session& s)
{
    const std::uint8_t function = loadSelectedCombi(s, "Message is not Kronos Combi");
    if (function == 0) return;
    logCombiName(s, function);
    const auto path = s.shell.saveFileDialog({"Save Combi", "Binary Files|*.bin", s.paths.lastpath, "bin", false});
    if (!path) return;
    const TKro_Combi& combi = s.families.records<KronosCombiRecords>().Kro_Combi;
    s.log.LogString(format("Writing Binary Combi, %d", static_cast<int>(combi.size())));
    writeReportFile(s, *path, std::string(combi.begin(), combi.end()));
    s.paths.lastpath = folderOf(*path);
}

void Kro_GetCombiTempo(Session& s)
{
    const std::uint8_t function = loadSelectedCombi(s, "Message is not Kronos Combi");
    if (function == 0) return;
    logCombiName(s, function);
    const std::string tempo = KroCombiTempoText(s.families.records<KronosCombiRecords>().Kro_Combi);
    s.controls.text.set(kCmbTempoButton, tempo);
    s.log.LogString("Combi Tempo: " + tempo);
}

void Kro_Global2Txt(Session& s)
{
    const auto m = selectedMessage(s);
    if (!m) return;
    if (!isKroGlobalDump(*m)) {
        warn(s, "Message is not Kronos Global Data");
        return;
    }
    TKro_Global& global = s.families.records<KronosCombiRecords>().Kro_Global;
    try {
        KroUnpack(*m, kKroGlobalDumpOffset, global);
    } catch (const TolvexError& e) {
        warn(s, e.what());
        return;
    }
    writeReportFile(s, kGlobalCatParseFile, KroGlobalCatText(global));
}

}  // namespace tolvex
