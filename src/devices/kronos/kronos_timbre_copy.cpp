// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/kronos/kronos_timbre_copy.h"

#include <algorithm>
#include <fstream>
#include <span>

#include "core/app/device_commands.h"
#include "core/app/incoming.h"
#include "core/app/session.h"
#include "core/app/sysex_out.h"
#include "core/app/table_files.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_combi.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"

namespace tolvex {

using namespace kronos;
using L = TKro_Combi_Layout;
using I = TIns_Effect_Params;

namespace {

void copyRange(const TKro_Combi& src, TKro_Combi& dst, std::size_t from, std::size_t size)
{
    std::copy_n(src.begin() + static_cast<std::ptrdiff_t>(from), size, dst.begin() + static_cast<std::ptrdiff_t>(from));
}

KroTimbreCopyView& view(Session& s)
{
    return s.families.records<KroTimbreCopyView>();
}

KronosCombiRecords& records(Session& s)
{
    return s.families.records<KronosCombiRecords>();
}

// The destination a row's drop-down names (1..rows); a drop-down never set
// names its own row.
int chosenRow(const Session& s, const char* array, int row, int rows)
{
    const int d = s.controls.chosen.get(arrayControl(array, row));
    return d >= 1 && d <= rows ? d : row;
}

void allLeds(KroTimbreCopyView& v, bool lit)
{
    for (CopyLed& led : v.TimbreLEDArray) led = {lit, CopyLedColour::Lime};
    for (CopyLed& led : v.IFXLEDArray) led = {lit, CopyLedColour::Lime};
}

// The labels of every row from the source record.
void refreshLabels(Session& s)
{
    KroTimbreCopyView& v = view(s);
    const TKro_Combi& c = records(s).Kro_Combi_CopyBuffer;
    for (int t = 1; t <= kTimbreRows; ++t) {
        const std::size_t at = L::timbre(t);
        std::string text = Kro_Timbre_Bank_Text(0, c[at + TTimbre_Params::Bank_Num]) + "-" +
                           format("%3.3d", c[at + TTimbre_Params::Prog_Num]);
        CopyLabelLook look = CopyLabelLook::Normal;
        if (c[at + TTimbre_Params::FilterBits + 2] & 0x80) {
            text += " Mute";
            look = CopyLabelLook::Mute;
        } else {
            switch (c[at + TTimbre_Params::MidiChan_Status] >> 5) {
            case 0:
                text += " Off";
                look = CopyLabelLook::Grey;
                break;
            case 1: text += " Int"; break;
            case 3: text += " Ext"; break;
            case 4: text += " Ex2"; break;
            default: text += "-?-"; break;
            }
        }
        v.TimbreNameArray[static_cast<std::size_t>(t - 1)] = {text, look};
    }
    const NamingLog log = [&s](const std::string& line) { s.log.LogString(line); };
    for (int n = 1; n <= kIFXRows; ++n) {
        const std::size_t e = L::insEffect(n);
        const auto i = static_cast<std::size_t>(n - 1);
        const std::uint8_t sw = c[e + I::Ins_Effect_ChChSw];
        CopyLabel label{kronosDefs(s).Kro_efx_name(c[e + I::Ins_Effect_Eff_Type], log), CopyLabelLook::Normal};
        if (!(sw & 0x40)) {
            label.text += " (off)";
            label.look = CopyLabelLook::Grey;
        }
        v.IFXNameArray[i] = label;
        // A slot that is not chained says so, rather than keeping the previous Combi's chain.
        v.IFXChainLabelArray[i] = (sw & 0x40) && (sw & 0x80) ? format("i%d", c[e + I::Ins_Effect_ChainTo]) : "---";
        v.IFXTSRCNameArray[i] = ifxRoutingLabel(c, n);
    }
}

bool headerIs(ByteView m, std::initializer_list<std::uint8_t> head)
{
    return m.size() >= head.size() && std::equal(head.begin(), head.end(), m.begin());
}

// The selected Combi into the source record; false after a box.
bool loadSource(Session& s)
{
    const auto entry = firstSelected(s, kNoMessagesSelected);
    if (!entry) return false;
    KroTimbreCopyView& v = view(s);
    v.CopyEditObjName = s.messages.textAt(*entry);
    const ByteView m = s.messages.at(*entry).storage->sxdata;
    const int kind = headerIs(m, {0xF0, 0x42, 0x30, 0x68}) && m.size() > 4 ? m[4] : -1;
    std::size_t offset = 0;
    if (kind == 0x73) {
        // Any bank and index (bytes 6-8); version 03.
        Bytes head(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(m.size(), 10)));
        for (std::size_t i = 6; i < 9 && i < head.size(); ++i) head[i] = 0;
        if (!headerIs(head, {0xF0, 0x42, 0x30, 0x68, 0x73, 0x01, 0x00, 0x00, 0x00, 0x03})) {
            warn(s, "Message is an invalid Kronos Specific Combi Bank");
            return false;
        }
        offset = kKroCombiDumpOffset;
    } else if (kind == 0x75) {
        if (!headerIs(m, {0xF0, 0x42, 0x30, 0x68, 0x75, 0x01, 0x03})) {
            warn(s, "Message is invalid Kronos Edit Buffer Combi Bank");
            return false;
        }
        offset = kKroCurrentCombiOffset;
    } else {
        warn(s, format("Message is not Kronos Combi Bank %X", static_cast<unsigned>(kind)));
        return false;
    }
    try {
        KroUnpack(m, offset, records(s).Kro_Combi_CopyBuffer);
    } catch (const TolvexError& e) {
        warn(s, e.what());
        return false;
    }
    v.SrcCombi = KroCombiName(records(s).Kro_Combi_CopyBuffer);
    return true;
}

}  // namespace

std::string arrayControl(const char* array, int row)
{
    return std::string(array) + "[" + std::to_string(row) + "]";
}

KroTimbreCopyView::KroTimbreCopyView()
{
    TimbreNameArray.fill({"(Timbre-name)", CopyLabelLook::Design});
    IFXNameArray.fill({"(name)", CopyLabelLook::Design});
    IFXChainLabelArray.fill("---");
    IFXTSRCNameArray.fill("(Tnn >");
}

void CopyNonTimbreCombiParams(const TKro_Combi& src, TKro_Combi& dst)
{
    // Everything before the gap, then everything from the effect LFOs up to the timbres.
    copyRange(src, dst, 0, L::Gap);
    copyRange(src, dst, L::Effect_LFO_Group, L::Timbre_Group - L::Effect_LFO_Group);
}

void CopyMFXParams(const TKro_Combi& src, TKro_Combi& dst)
{
    copyRange(src, dst, L::Mast_Effect_Group, L::Total_Effect_Group - L::Mast_Effect_Group);
}

void CopyTFXParams(const TKro_Combi& src, TKro_Combi& dst)
{
    copyRange(src, dst, L::Total_Effect_Group, L::Gap - L::Total_Effect_Group);
}

void CopyKarmaParams(const TKro_Combi& src, TKro_Combi& dst)
{
    copyRange(src, dst, L::Karma_Common, L::Common_Params - L::Karma_Common);
}

void copyInsEffect(const TKro_Combi& src, int s, TKro_Combi& dst, int d)
{
    const std::size_t from = L::insEffect(s), to = L::insEffect(d);
    std::copy_n(src.begin() + static_cast<std::ptrdiff_t>(from), I::size,
                dst.begin() + static_cast<std::ptrdiff_t>(to));
    std::uint8_t& sw = dst[to + I::Ins_Effect_ChChSw];
    if (!(sw & 0x80)) return;
    const int c = d - s + src[from + I::Ins_Effect_ChainTo];
    // A chain leads to a later slot, and there are twelve.
    if (d < c && c <= kIFXRows)
        dst[to + I::Ins_Effect_ChainTo] = static_cast<std::uint8_t>(c);
    else
        sw &= 0x7F;
}

std::string ifxRoutingLabel(const TKro_Combi& combi, int slot)
{
    std::string text = "T";
    for (int t = 1; t <= kTimbreRows; ++t)
        if ((combi[L::timbre(t) + TTimbre_Params::BusSelect] & 0x1F) == slot) text += format("%2d,", t);
    if (text.size() > 1) text.pop_back();
    text += " >";
    return text == "T >" ? "--" : text;
}

void KroTimbreCopyFormCreate(Session& s)
{
    for (const auto& [checks, combos, rows] : {std::tuple{TimbreCheckboxArray, TimbreComboArray, kTimbreRows},
                                               std::tuple{IFXCheckboxArray, IFXComboArray, kIFXRows}})
        for (int row = 1; row <= rows; ++row) {
            s.controls.checked.set(arrayControl(checks, row), false);
            s.controls.chosen.set(arrayControl(combos, row), row);
        }
}

void KroTimbreCopyFormActivate(Session& s)
{
    loadSource(s);
    refreshLabels(s);
    s.changed(kKroTimbreCopyView);
}

void TimbreCopyClick(Session& s)
{
    KroTimbreCopyView& v = view(s);
    v.visible = true;
    s.changed(kKroTimbreCopyView);
    if (!v.windowAttached) KroTimbreCopyFormActivate(s);
}

void CopyFullBtnClick(Session& s)
{
    records(s).Kro_Combi_EditBuffer = records(s).Kro_Combi_CopyBuffer;
    allLeds(view(s), true);
    s.changed(kKroTimbreCopyView);
}

// Copies each checked row of a list to the row its box chooses, and lights
// the LED of the row written.
template <class Copy>
void copyCheckedRows(Session& s, const char* checks, const char* combos, std::span<CopyLed> leds, Copy copy)
{
    const int rows = static_cast<int>(leds.size());
    for (int n = 1; n <= rows; ++n) {
        if (!s.controls.checked.get(arrayControl(checks, n))) continue;
        const int d = chosenRow(s, combos, n, rows);
        copy(n, d);
        leds[static_cast<std::size_t>(d - 1)] = {true, CopyLedColour::Yellow};
    }
    s.changed(kKroTimbreCopyView);
}

void CopyTimbreClick(Session& s)
{
    KronosCombiRecords& r = records(s);
    copyCheckedRows(s, TimbreCheckboxArray, TimbreComboArray, view(s).TimbreLEDArray, [&r](int t, int d) {
        std::copy_n(r.Kro_Combi_CopyBuffer.begin() + static_cast<std::ptrdiff_t>(L::timbre(t)), TTimbre_Params::size,
                    r.Kro_Combi_EditBuffer.begin() + static_cast<std::ptrdiff_t>(L::timbre(d)));
    });
}

void CopyIFXClick(Session& s)
{
    KronosCombiRecords& r = records(s);
    copyCheckedRows(s, IFXCheckboxArray, IFXComboArray, view(s).IFXLEDArray,
                    [&r](int n, int d) { copyInsEffect(r.Kro_Combi_CopyBuffer, n, r.Kro_Combi_EditBuffer, d); });
}

void CopyNonTimbreClick(Session& s)
{
    CopyNonTimbreCombiParams(records(s).Kro_Combi_CopyBuffer, records(s).Kro_Combi_EditBuffer);
}

void CopyMFXClick(Session& s)
{
    CopyMFXParams(records(s).Kro_Combi_CopyBuffer, records(s).Kro_Combi_EditBuffer);
}

void CopyTFXClick(Session& s)
{
    CopyTFXParams(records(s).Kro_Combi_CopyBuffer, records(s).Kro_Combi_EditBuffer);
}

void CopyKarmaClick(Session& s)
{
    CopyKarmaParams(records(s).Kro_Combi_CopyBuffer, records(s).Kro_Combi_EditBuffer);
}

void InitButton1Click(Session& s)
{
    const auto path = findTableFile(kKroInitCombiFile, tableFolders(s.paths.progpath));
    std::ifstream in;
    if (path) in.open(*path, std::ios::binary);
    if (!in.is_open()) {
        warn(s, "Cannot open file " + path.value_or(s.paths.progpath + kKroInitCombiFile));
        return;
    }
    // Read aside: only a whole Combi replaces the edit record, so a short file
    // never leaves a Combi that is half the old one.
    TKro_Combi init{};
    in.read(reinterpret_cast<char*>(init.data()), static_cast<std::streamsize>(init.size()));
    if (in.bad()) {
        warn(s, "Exception loading Kronos Init Combi");
        return;
    }
    if (static_cast<std::size_t>(in.gcount()) != init.size()) {
        warn(s, "Error loading Kronos Init Combi");
        return;
    }
    records(s).Kro_Combi_EditBuffer = init;
    allLeds(view(s), false);
    s.changed(kKroTimbreCopyView);
}

void SendBtnClick(Session& s)
{
    if (!requireOutput(s)) return;
    MidiSysex_bulk_out(s, KroCurrentCombiMessage(records(s).Kro_Combi_EditBuffer));
}

void SaveEditBuffBtnClick(Session& s)
{
    s.messages.append("Kronos Combi with remapped Timbres", KroCurrentCombiMessage(records(s).Kro_Combi_EditBuffer),
                      "Tri2Kro-Convert");
}

void BtnCloseCopyDlgClick(Session& s)
{
    view(s).visible = false;
    s.changed(kKroTimbreCopyView);
}

}  // namespace tolvex
