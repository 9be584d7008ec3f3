// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton2kronos/tri_kro_convert.h"

#include <algorithm>
#include <optional>
#include <span>

#include "core/sysex/bit_field.h"
#include "core/text/text_utils.h"
#include "devices/kronos/kronos_defs.h"
#include "devices/kronos/kronos_sysex.h"
#include "devices/triton/triton_names.h"
#include "devices/triton/triton_sysex.h"
#include "devices/triton2kronos/tri_kro_tables.h"
#include "devices/triton2kronos/tri_kro_xmap.h"

namespace tolvex {

using namespace kronos;
using L = TKro_Combi_Layout;
using I = TIns_Effect_Params;
using M = TMas_Tot_Effect_Params;
using KT = TTimbre_Params;
using KC = TCombiCommon;
using TE = triton::InsEffectBytes;
using TM = triton::MastEffectBytes;
using TA = triton::ArpBytes;
using TC = triton::CommonBytes;

namespace {

constexpr std::uint8_t kNoSelector = 3;  // the map's "not mapped" selector

// The Kronos effect the master EQ becomes, and its parameters.
constexpr int kMasterEq = 13;
constexpr int kMasterEqParams = 16;
constexpr int kMasterEqInputTrim = 4;

// Timbre program banks: Triton timbre bank 0-23 to the bank of the program
// name list (-1: none), and the Triton's own texts of the 24 bank numbers.
constexpr std::array<int, 24> tri_combi2PCG_bank_map{0,  1,  2,  3,  4,  -1, -1, -1, -1, -1, -1, -1,
                                                     -1, -1, -1, -1, -1, 5,  6,  7,  8,  9,  10, 11};
constexpr std::array<const char*, 24> tri_PCG_banknames{
    "int-A", "int-B", "int-C", "int-D", "int-E", "int-f", "-GM-G", "?~7~?", "?~8~?", "?~9~?", "?~10?", "?~11?",
    "?~12?", "?~13?", "?~14?", "?~15?", "gm(d)", "EXB-A", "EXB-B", "EXB-C", "EXB-D", "EXB-E", "EXB-F", "EXB-G"};
constexpr int kHighestTimbreBank = 23;

// Lines of a text file, ended CR LF.
class TextOut {
public:
    void write(const std::string& s) { text_ += s; }
    void writeLn(const std::string& s = "")
    {
        text_ += s;
        text_ += "\r\n";
    }
    std::string& text() { return text_; }

private:
    std::string text_;
};

const char* onOff(bool on)
{
    return on ? "On " : "Off";
}

template <class Table>
auto entryOf(const Table& table, std::int64_t i) -> const typename Table::value_type*
{
    return i >= 0 && static_cast<std::uint64_t>(i) < table.size() ? &table[static_cast<std::size_t>(i)] : nullptr;
}

bool fitsByte(std::int64_t v)
{
    return v >= 0 && v <= 0xFF;
}

class Converter {
public:
    explicit Converter(const TriKroConvertInput& in) : in_(in), tri_(in.tri_Combi)
    {
        out_.Kro_Combi = in.Kro_Combi_default;
    }

    TriKroConvertOutput run()
    {
        name();
        for (int n = 1; n <= 5; ++n) insertEffect(n);
        for (int m = 1; m <= 2; ++m) masterEffect(m);
        masterChain();
        masterEq();
        arpeggiator();
        common();
        for (int i = 8; i < L::Timbres; ++i) {
            const std::size_t R = L::timbre(i + 1);
            k_[R + KT::MidiChan_Status] = static_cast<std::uint8_t>(i);  // status 0: off
            k_[R + KT::Volume] = 0;
            k_[R + KT::FilterBits + 2] = 0x80;  // muted
        }
        for (int t = 1; t <= 8; ++t) timbre(t);
        guard();
        log_.writeLn(format("effects %d of %d converted, parameters %d copied, %d at defaults, %d invalid",
                            tally_.effectsConverted, tally_.effectsOn, tally_.copied, tally_.defaults, tally_.invalid));
        log_.writeLn("\r\n\r\n");
        out_.parse = std::move(parse_.text());
        out_.convertLog = std::move(log_.text());
        return std::move(out_);
    }

private:
    void mainLog(const std::string& line) { out_.mainLog.push_back(line); }

    // A switched-on Triton effect t that became Kronos effect K (0: none).
    void countEffect(int t, int K)
    {
        if (t == 0) return;
        ++tally_.effectsOn;
        if (K > 0) ++tally_.effectsConverted;
    }

    NamingLog namingLog()
    {
        return [this](const std::string& line) { mainLog(line); };
    }

    std::string triEffectName(int t) const
    {
        const std::string* name = entryOf(in_.tri.TriEffectNameList, t);
        return name ? *name : "?";
    }

    // The map row of Triton effect t, or null when the map has none (or an empty one).
    const std::vector<Ttrikroefxmaparay>* mapRow(int t) const
    {
        const auto* row = entryOf(in_.tri.efxMap.TriKroEFXMapArray, t);
        return row && !row->empty() ? row : nullptr;
    }

    int highestPid(int t) const
    {
        const std::uint8_t* max = entryOf(in_.tri.efxMap.TriMaxEFXPIDArray, t);
        return max ? *max : 0;
    }

    // The Kronos effect of map row t; 0 (with its parse line) when the map
    // names one that cannot sit in an effect slot.
    int mappedEffect(const std::vector<Ttrikroefxmaparay>& row)
    {
        const int K = row.front().KroEFX;
        if (K <= kKroLastEffect) return K;
        parse_.writeLn(format("Kronos EFX Type %d out of legal range (0 - %d) MappedKroEfxType set to 0 (no effect)", K,
                              kKroLastEffect));
        return -1;
    }

    // Where a Kronos effect parameter sits; null when the table has no position for it.
    const TKroEfxParamArray* position(int efx, int pid) const
    {
        const auto* row = entryOf(in_.kro.KroEFXParamArray, efx);
        const TKroEfxParamArray* at = row ? entryOf(*row, pid) : nullptr;
        return at && at->KroWidth > 0 && at->KroWidth < bmasks.size() ? at : nullptr;
    }

    static void setParam(std::span<std::uint8_t> W, const TKroEfxParamArray& P, std::int32_t value)
    {
        SetBitField(W, BFMode::LE, value, P.KroOfs, P.KroBitPos, P.KroWidth);
    }

    void loadDefaultData(std::size_t slot, int K)
    {
        const auto from = in_.Kro_Default_EFX_Data.begin() + static_cast<std::ptrdiff_t>(kEffectDataSize) * K;
        std::copy_n(from, kEffectDataSize, k_.begin() + static_cast<std::ptrdiff_t>(slot));
    }

    // The Kronos effect number Triton effect t becomes, 0 when none; a
    // negative result means the map's effect was refused (no parameters then).
    int effectOf(int t, bool insert)
    {
        const auto* row = mapRow(t);
        const int rows = static_cast<int>(in_.tri.efxMap.TriKroEFXMapArray.size());
        if (insert && (t < 1 || t >= rows)) {
            parse_.writeLn(format(
                "Triton EFX Type out of legal range (1 - %d): %d MappedKroEfxType set to 0 (no effect)", rows - 1, t));
            return -1;
        }
        if (!row) {
            parse_.writeLn(
                format("Triton EFX Type %d has no row in the effect map MappedKroEfxType set to 0 (no effect)", t));
            return -1;
        }
        return mappedEffect(*row);
    }

    // Walks the parameters of Triton effect t (parameter bytes `params`) into W.
    // ifx: insert effect n (else master effect n).
    void convertParams(ByteView params, int t, int n, bool ifx, std::span<std::uint8_t> W)
    {
        const auto* row = mapRow(t);
        if (!row) return;
        const int highest = highestPid(t);
        if (highest == 0) return;  // an effect with no parameters to convert
        static const Ttrikroefxmaparay kEmpty{};
        for (int p = 0; p <= highest; ++p) {
            const Ttrikroefxmaparay* found = entryOf(*row, p);
            const Ttrikroefxmaparay& E = found ? *found : kEmpty;
            const Outcome done = convertParam(params, t, n, p, ifx, E, W);
            if (done == Outcome::Set) ++tally_.copied;
            if (done == Outcome::NotSet) ++tally_.defaults;
            if (done == Outcome::BadValue || done == Outcome::OutOfRange) ++tally_.invalid;
            if (done == Outcome::NotSet || done == Outcome::BadValue)
                parse_.writeLn(format("Parameter Not Mapped: %s%d , TriEFX %dPID %d", ifx ? "IFX" : "MFX", n, t, p));
        }
    }

    // The Kronos range of map entry (t, p); unknown when the map gave none.
    TriKroRange rangeOf(int t, int p) const
    {
        const auto* row = entryOf(in_.tri.efxMap.KroRangeArray, t);
        const TriKroRange* range = row ? entryOf(*row, p) : nullptr;
        return range ? *range : TriKroRange{};
    }

    // Whether the Kronos field of width bits holds r, within the range when known.
    static bool fits(const TriKroRange& range, std::int32_t r, int width)
    {
        if (range.known && (r < range.low || r > range.high)) return false;
        const std::int64_t top = std::int64_t{1} << width;
        return r < 0 ? -static_cast<std::int64_t>(r) <= top / 2 : r < top;
    }

    // What became of one parameter.
    enum class Outcome {
        Set,         // written
        NotSet,      // no map or no position: the default stays
        BadValue,    // the value map refused the Triton value
        OutOfRange,  // the Kronos field cannot hold the value
    };

    Outcome convertParam(ByteView params, int t, int n, int p, bool ifx, const Ttrikroefxmaparay& E,
                         std::span<std::uint8_t> W)
    {
        std::int32_t v = 0;
        if (!GetBitField(params, BFMode::BE, v, E.TriOfs, E.TriBitPos, E.TriWidth)) {
            const std::string line = format("Range Error extracting bitfield for Triton %s %d (type %d) PID %d",
                                            ifx ? "IFX" : "MFX", n, t, p);
            parse_.writeLn(line);
            mainLog(line);
            return Outcome::NotSet;
        }
        const TKroEfxParamArray* P = position(E.KroEFX, E.KroPID);
        static const TKroEfxParamArray kNowhere{};
        const TKroEfxParamArray& at = P ? *P : kNowhere;
        const TriKroRange range = rangeOf(t, p);
        std::int32_t r = v;
        if (ifx) parse_.write(format("    Tri PID%2d val %3d (0x%X): ", p, v, static_cast<unsigned>(v)));
        if (!ifx) parse_.writeLn(format("Tri PID val %d (0x%X)", v, static_cast<unsigned>(v)));
        if (E.KroXMAP != 0) {
            std::int32_t err = 0;
            r = TriKroXmap(v, E.TriWidth, E.KroXMAP, err);
            if (err != 0) {
                parse_.writeLn(format("Error with XMAP %d", err));
                return E.KroXMAP == kNoSelector ? Outcome::NotSet : Outcome::BadValue;
            }
        } else if (range.known && range.low < 0 && E.TriWidth > 0) {
            r = negatize(v, E.TriWidth);  // a signed Kronos field takes the Triton field as signed
        }
        if (P && !fits(range, r, P->KroWidth)) {
            parse_.writeLn(format("Invalid value %d for ", r) + in_.kro.Kro_efx_name(E.KroEFX, namingLog()) + " " +
                           in_.kro.Kro_efx_desc(E.KroEFX, E.KroPID, namingLog()));
            return Outcome::OutOfRange;
        }
        if (E.KroXMAP != 0) {
            const auto masked = static_cast<std::uint32_t>(r) & bmasks[at.KroWidth];
            if (ifx) {
                parse_.write(format("(Kronos EFXparm: Kpid:%d ofs:%d, width:%d, bitpos:%d, ", E.KroPID, at.KroOfs,
                                    at.KroWidth, at.KroBitPos) +
                             "\"" + in_.kro.Kro_efx_desc(E.KroEFX, E.KroPID, namingLog()) + "\") ");
                parse_.writeLn(format("Mapped Kronos Param %d masked(0x%X)", r, masked));
            } else {
                parse_.writeLn(
                    format("Kronos EFXparm: ofs:%d, width:%d, bitpos:%d ", at.KroOfs, at.KroWidth, at.KroBitPos));
                parse_.writeLn(format("Mapped (Kronos) Parameter %d (0x%X)", r, masked));
            }
        } else if (ifx) {
            parse_.writeLn(" Kronos (" + in_.kro.Kro_efx_desc(E.KroEFX, E.KroPID, namingLog()) +
                           format(") NoMap Param %d (0x%X)", r, static_cast<unsigned>(r)));
        }
        if (!P) return Outcome::NotSet;
        setParam(W, *P, r);
        return Outcome::Set;
    }

    void name()
    {
        const ByteView field(tri_.Combi_Name);
        name_ = std::string(field.begin(), std::find(field.begin(), field.end(), std::uint8_t{0}));
        std::fill_n(k_.begin() + L::Combi_Name, L::NameSize, std::uint8_t{0});
        std::copy(name_.begin(), name_.end(), k_.begin() + L::Combi_Name);
        mainLog(" Triton to Kronos Combi Convert: " + name_);
        parse_.writeLn(name_);
        log_.writeLn("Combi " + in_.progText + " " + name_);
    }

    // The Kronos effect for Triton effect t (`mapped`, 0 or less when it has
    // none) into the block at k: its default data at dataAt, its type at
    // typeAt, then the Triton effect's parameters (`b`) converted where the
    // map knows the effect.
    void writeEffect(std::size_t k, std::size_t dataAt, std::size_t typeAt, int mapped, ByteView b, int t, int n,
                     bool insert)
    {
        const int K = std::max(mapped, 0);
        loadDefaultData(dataAt, K);
        k_[typeAt] = static_cast<std::uint8_t>(K);
        std::array<std::uint8_t, kEffectDataSize> W{};
        std::copy_n(k_.begin() + static_cast<std::ptrdiff_t>(k), kEffectDataSize, W.begin());
        if (mapped > 0) convertParams(b.subspan(TE::Params, TE::ParamSize), t, n, insert, W);
        std::copy(W.begin(), W.end(), k_.begin() + static_cast<std::ptrdiff_t>(k));
    }

    void insertEffect(int n)
    {
        const ByteView b(tri_.Ins_Effect_Group[static_cast<std::size_t>(n - 1)].Ins_Effect_Data);
        const std::size_t k = L::insEffect(n);
        if (!(b[TE::Switch] & TE::On)) {
            const std::string line = format("InsEff%d Off | ", n);
            parse_.writeLn(line);
            log_.writeLn(line);
            k_[k + I::Ins_Effect_Eff_Type] = 0;
        } else {
            const int t = b[TE::EffType];
            const int mapped = effectOf(t, true);
            const int K = std::max(mapped, 0);
            countEffect(t, K);
            std::string triName = "\"";
            triName += triEffectName(t);
            triName += '"';
            parse_.writeLn(format("Tri InsEff%d %d: ", n, t) + triName + format(" ---> Kro Efx:%d ", K) + "\"" +
                           in_.kro.Kro_efx_name(K, namingLog()) + "\"");
            log_.writeLn(format("    Tri InsEff%d %d: ", n, t) + triName);
            writeEffect(k, k + I::Ins_Effect_Data, k + I::Ins_Effect_Eff_Type, mapped, b, t, n, true);
        }
        k_[k + I::Ins_Effect_ChChSw] = b[TE::Switch];
        if (b[TE::Switch] & TE::ChainOn) k_[k + I::Ins_Effect_ChainTo] = static_cast<std::uint8_t>(n + 1);
        k_[k + I::Ins_Effect_Panpot] = b[TE::Pan];
        k_[k + I::Ins_Effect_Bus_Sel_Fx] = b[TE::BusSelect] & 7;
        k_[k + I::Ins_Effect_Send1] = b[TE::Send1];
        k_[k + I::Ins_Effect_Send2] = b[TE::Send2];
    }

    void masterEffect(int m)
    {
        const ByteView b = ByteView(tri_.Mast_Effect_Params).subspan(TM::effect(m), TM::EffectSize);
        const std::size_t k = L::mastEffect(m);
        if (b[TE::Switch] & TE::On) {
            const int t = b[TE::EffType];
            const std::string line = format("MastEff%d %d: ", m, t) + triEffectName(t);
            parse_.writeLn(line);
            log_.writeLn("    " + line);
            const int mapped = effectOf(t, false);
            countEffect(t, std::max(mapped, 0));
            writeEffect(k, k + M::MT_Effect_Data, k + M::MT_Effect_Eff_Type, mapped, b, t, m, false);
        } else {
            parse_.writeLn(format("MastEff%d Off", m));
            log_.writeLn(format("    MastEff%d Off", m));
            k_[k + M::MT_Effect_Eff_Type] = 0;
        }
        k_[k + M::MT_Effect_Chan_Sw] = b[TE::Switch];
    }

    void masterChain()
    {
        const std::uint8_t chain = mast(TM::Chain);
        if (chain & 3) {
            const std::string line = "MastEff L or R-channel only chain not supported on Kronos";
            parse_.writeLn(line);
            log_.writeLn(line);
        }
        const std::size_t k = L::Mast_Effect_Params;
        k_[k + TextMastParams::MastEf_ChainDirSw] =
            static_cast<std::uint8_t>(((chain & 0x04) ? 1 : 0) | ((chain & 0x08) ? 2 : 0));
        k_[k + TextMastParams::MastEf_Return1] = mast(TM::Return1);
        k_[k + TextMastParams::MastEf_Return2] = mast(TM::Return2);
        k_[k + TextMastParams::MastEf_ChainLevel] = mast(TM::ChainLevel);
    }

    // Master EQ parameters taken as they are (selector -1) or through value
    // map `selector`, by parameter id.
    struct EqParam {
        int pid;
        std::size_t field;
        std::int32_t selector;
        const char* name;
    };
    static constexpr EqParam kEqParams[] = {
        {7, TM::EqLowDMod, 1, "Low DMod"}, {10, TM::EqMidQ, -1, "Mid Q"},        {11, TM::EqMidGain, 0, "Mid Gain"},
        {12, TM::EqHighFc, -1, "High Fc"}, {13, TM::EqHighGain, 0, "High Gain"}, {14, TM::EqHighDMod, 1, "High DMod"},
    };

    void masterEq()
    {
        const std::size_t k = L::totalEffect(1);
        loadDefaultData(k + M::MT_Effect_Data, kMasterEq);
        k_[k + M::MT_Effect_Eff_Type] = kMasterEq;
        // Every parameter not written below keeps its default (Wet/Dry at Wet):
        // zero bytes would leave the EQ dry.
        std::array<std::uint8_t, kEffectDataSize> W{};
        std::copy_n(k_.begin() + static_cast<std::ptrdiff_t>(k + M::MT_Effect_Data), kEffectDataSize, W.begin());
        const auto xmap = [](std::uint8_t v, std::int32_t selector) -> std::optional<std::int32_t> {
            std::int32_t err = 0;
            const std::int32_t r = TriKroXmap(v, 5, selector, err);
            return err == 0 ? std::optional(r) : std::nullopt;
        };
        const auto& fcMid = in_.tri.valueMaps.TriKroEfxFcMidMapping;
        for (int p = 0; p < kMasterEqParams; ++p) {
            const TKroEfxParamArray* P = position(kMasterEq, p);
            static const TKroEfxParamArray kNowhere{};
            const TKroEfxParamArray& at = P ? *P : kNowhere;
            parse_.write(format("TFX: PID %d  ", p));
            std::optional<std::int32_t> value;
            std::string text;
            switch (p) {
            case 5:
                value = mast(TM::EqLowFc);
                text =
                    format("Master EQ Low Fc %d ofs:%d, pos:%d, wid:%d", *value, at.KroOfs, at.KroBitPos, at.KroWidth);
                break;
            case 6:
                value = xmap(mast(TM::EqLowGain), 0);
                text = format("Master EQ Low Gain %d, ofs:%d, pos:%d, wid:%d", value.value_or(0), at.KroOfs,
                              at.KroBitPos, at.KroWidth);
                break;
            case 9:
                value = fcMid[mast(TM::EqMidFc) & 0x7F];
                text = format("Master EQ Mid Fc (tri: %d) kro: %d ", mast(TM::EqMidFc), *value);
                break;
            default:
                for (const EqParam& e : kEqParams) {
                    if (e.pid != p) continue;
                    value =
                        e.selector < 0 ? std::optional<std::int32_t>(mast(e.field)) : xmap(mast(e.field), e.selector);
                    text = format("Master EQ %s %d", e.name, value.value_or(0));
                }
                break;
            }
            parse_.writeLn(text);
            if (value && P) setParam(W, *P, *value);
        }
        if (const TKroEfxParamArray* P = position(kMasterEq, kMasterEqInputTrim)) setParam(W, *P, 100);
        std::copy(W.begin(), W.end(), k_.begin() + static_cast<std::ptrdiff_t>(k + M::MT_Effect_Data));
        k_[k + M::MT_Effect_Chan_Sw] = static_cast<std::uint8_t>((mast(TM::TfxChannel) & 0x3F) | 0x40);
        k_[L::Total_Effect_MastVol] = 100;
    }

    void arpeggiator()
    {
        const std::uint8_t sw = arp(TA::Switches);
        parse_.writeLn(format("ARPEG: tempo: %d Switch: ", sw) + onOff(sw & 1) + " RunA: " + onOff(sw & 2) +
                       " RunB: " + onOff(sw & 4));
        for (int a = 0; a < 2; ++a) {
            const std::size_t b = TA::arp(a);
            const int p = arp(b + TA::Pattern);
            const char letter = a == 0 ? 'A' : 'B';
            parse_.writeLn(
                format("ARP%c: pattern: %d Octave: %d Res: %d", letter, p + (p & 0x20) * 8, p & 3, (p & 0x1C) >> 2));
            parse_.writeLn(
                format("ARP Gate: %d Vel: %d Swing: %d", arp(b + TA::Gate), arp(b + TA::Velocity), arp(b + TA::Swing)));
            const std::uint8_t f = arp(b + TA::Flags);
            parse_.writeLn(std::string("Sort: ") + onOff(f & 1) + "Latch: " + onOff(f & 2) + "Ksync: " + onOff(f & 4) +
                           "Keybd: " + onOff(f & 8));
            parse_.writeLn(format("ARP TopKey: %d BotKey: %d TopVel: %d BotVel: %d", arp(b + TA::TopKey),
                                  arp(b + TA::BottomKey), arp(b + TA::TopVelocity), arp(b + TA::BottomVelocity)));
        }
    }

    void common()
    {
        const auto& maps = in_.tri.valueMaps;
        const std::size_t k = L::Common_Params;
        std::vector<std::string> invalid;  // written after the line they interrupt
        const int category = commonByte(TC::Category) & 0x0F;
        parse_.write(format("Category %2d, ", category));
        const std::int64_t cat =
            static_cast<std::int64_t>(maps.TriCombiCatMapping[static_cast<std::size_t>(category)]) |
            static_cast<std::int64_t>((maps.DefaultKroCombSubCat & 7) * 32);
        if (maps.TriCombiCatMapping[static_cast<std::size_t>(category)] >= 0 && fitsByte(cat))
            k_[k + KC::Category] = static_cast<std::uint8_t>(cat);
        else
            invalid.push_back(format("Invalid value for Triton Category %d", category));
        parse_.write(format("MOSS BUS SELECT %2d, ", commonByte(TC::Category) >> 4));
        k_[k + KC::ScaleType] = commonByte(TC::ScaleType);
        parse_.write(format("SCALE TYPE %2d, ", commonByte(TC::ScaleType)));
        k_[k + KC::ScaleKey] = commonByte(TC::ScaleKey);
        parse_.write(format("SCALE Key %2d, ", commonByte(TC::ScaleKey)));
        k_[k + KC::RandomIntensity] = commonByte(TC::RandomIntensity);
        parse_.writeLn(format("RANDOM INTENSITY %2d, ", commonByte(TC::RandomIntensity)));
        for (const std::string& line : invalid) parse_.writeLn(line);
        invalid.clear();

        for (int s = 1; s <= 2; ++s) {
            const std::uint8_t sw = commonByte(TC::Switches + static_cast<std::size_t>(s - 1));
            const int assign = sw & 0x1F;
            parse_.write(format("SW%d Assign %2d, SW%d Togg/Mom %2d, SW%d On/Off %2d, ", s, assign, s, (sw >> 6) & 1, s,
                                sw >> 7));
            if (assign < static_cast<int>(maps.TriSwitchMapping.size())) {
                const std::int32_t v = maps.TriSwitchMapping[static_cast<std::size_t>(assign)];
                if (fitsByte(v))
                    k_[k + KC::SwitchAssign + static_cast<std::size_t>(s - 1)] = static_cast<std::uint8_t>(v);
                else
                    invalid.push_back(format("Invalid value for Triton Switch %d", assign));
            } else {
                out_.warnings.push_back(format("Invalid value for Triton Switch Assignment %d", assign));
            }
        }
        parse_.writeLn();
        for (const std::string& line : invalid) parse_.writeLn(line);

        for (int n = 1; n <= 4; ++n) {
            const std::uint8_t knob = commonByte(TC::Knobs + static_cast<std::size_t>(n - 1));
            parse_.write(format("Knob%d Assign %2d, Knob%d RT %2d, ", n, knob & 0x7F, n, knob >> 7));
            k_[k + KC::KnobAssign + static_cast<std::size_t>(n - 1)] = knob & 0x7F;
        }
        parse_.writeLn("\r\n");
    }

    // The name of the timbre's program, with the bank texts, into the parse
    // file and the conversion log.
    void timbreName(int t, const triton::TTimbre_Params& T)
    {
        const int prog = T.Prog_Num, bank = T.Bank_Num;
        if (bank > kHighestTimbreBank) {
            mainLog(format("Error-Timbre %d Prg %d: BankNum %d greater than %d", t, prog, bank, kHighestTimbreBank));
            parse_.write(format("Timbre %d, Bank %2d (--?--), Prog %3d", t, bank, prog));
        } else if (const int b = tri_combi2PCG_bank_map[static_cast<std::size_t>(bank)]; b >= 0) {
            const int index = prog + 128 * b;
            const std::string* found = entryOf(in_.TriProgNameList, index);
            if (!found)
                mainLog(format("Error-Timbre %d Prg %d Bnk %d: Idx %d exceeds %d", t, prog, bank, index,
                               static_cast<int>(in_.TriProgNameList.size()) - 1));
            const std::string text = format(", Bank %2d (", bank) + tri_combi_banknames[static_cast<std::size_t>(b)] +
                                     format("), Prog %3d ", prog) + "\"" + (found ? *found : "--Bank?--") + "\"";
            parse_.write(format("Timbre %d", t) + text);
            log_.write(format("        Timbre %d", t) + text);
        } else {
            const std::string text = format(", Bank %2d (", bank) + tri_PCG_banknames[static_cast<std::size_t>(bank)] +
                                     format("), Prog %3d", prog);
            parse_.write(format("Timbre %d", t) + text);
            log_.write(format("        Timbre %d", t) + text);
        }
        parse_.writeLn();
    }

    // A value of a value map into a Kronos byte; out of the table or of a
    // byte, the byte keeps its initial value and the parse file says so.
    template <std::size_t N>
    void mappedByte(const std::array<std::int32_t, N>& map, int index, std::size_t at, const char* what,
                    std::vector<std::string>& invalid)
    {
        const std::int32_t* v = entryOf(map, index);
        if (v && fitsByte(*v))
            k_[at] = static_cast<std::uint8_t>(*v);
        else
            invalid.push_back(format("Invalid value for Triton %s %d", what, index));
    }

    void timbre(int t)
    {
        const auto& maps = in_.tri.valueMaps;
        const triton::TTimbre_Params& T = tri_.Timbre_Group[static_cast<std::size_t>(t - 1)];
        const std::size_t R = L::timbre(t);
        std::vector<std::string> invalid;
        timbreName(t, T);

        k_[R + KT::Prog_Num] = in_.PassPrgBankVal ? T.Prog_Num : 1;
        k_[R + KT::Bank_Num] = in_.PassPrgBankVal ? T.Bank_Num : 1;

        parse_.writeLn("Combi Params Hex: ");
        const Bytes raw = triton::recordBytes(T);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            parse_.write(format("%X ", raw[i]));
            if (i == 15) parse_.writeLn();
        }
        parse_.writeLn();

        parse_.writeLn("MidiChan_Status " + mfs(T.MidiChan_Status) + " " + format("%X2", T.MidiChan_Status) +
                       format(", ExtBank(M/L):%d/%d", T.ExtBankMSB, T.ExtBankLSB));
        std::string channel = " ";
        channel += mfs(T.MidiChan_Status);
        log_.write(channel);
        k_[R + KT::MidiChan_Status] = mfs_map(T.MidiChan_Status);
        k_[R + KT::ExtBankMSB] = T.ExtBankMSB;
        k_[R + KT::ExtBankLSB] = T.ExtBankLSB;

        parse_.writeLn(format("Volume %d, Pan %d, PitchBendRange %d, Transpose %d, PortamentoTime %d", T.Volume, T.Pan,
                              T.PitchBendRange, T.Transpose, T.PortamentoTime));
        k_[R + KT::Volume] = T.Volume;
        k_[R + KT::PitchBendRange] = T.PitchBendRange;
        k_[R + KT::Transpose] = T.Transpose;

        parse_.writeLn(format("DelayStart %d, Detune(M/L):%d/%d", T.DelayStart, T.DetuneMSB, T.DetuneLSB));
        k_[R + KT::DetuneMSB] = T.DetuneLSB;  // the Kronos keeps the two bytes the other way round
        k_[R + KT::DetuneLSB] = T.DetuneMSB;
        const std::int32_t* delay = entryOf(maps.TriDelayMapping, T.DelayStart);
        if (delay && *delay >= 0 && *delay <= 0xFFFF) {
            k_[R + KT::DelayMSB] = static_cast<std::uint8_t>((*delay >> 8) & 0xFF);
            k_[R + KT::DelayLSB] = static_cast<std::uint8_t>(*delay & 0xFF);
        } else {
            invalid.push_back(format("Invalid value for Triton DelayStart %d", T.DelayStart));
        }
        k_[R + KT::Pan] = T.Pan;

        parse_.writeLn(format("Send1Level %3d, Send2Level %3d, DrumkitPatch345 %d, DrumkitPatch123 %d", T.Send1Level,
                              T.Send2Level, T.DrumkitPatch345, T.DrumkitPatch123));
        k_[R + KT::Send1Level] = T.Send1Level;
        k_[R + KT::Send2Level] = T.Send2Level;
        drumKitPatches(T.DrumkitPatch345, T.DrumkitPatch123, R + KT::DrumkitPatchIFX, invalid);

        parse_.writeLn(format("BusSelect %d, FilterBits %d, AssignKnobBits %d, OscBits %d, MossVoice %d", T.BusSelect,
                              T.FilterBits, T.AssignKnobBits, T.OscBits, T.MossVoice));
        mappedByte(maps.TriBusSelectMapping, T.BusSelect, R + KT::BusSelect, "BusSelect", invalid);
        const int x = (T.AssignKnobBits >> 4) & 7;
        k_[R + KT::FilterBits] = T.FilterBits;
        k_[R + KT::FilterBits + 1] = T.AssignKnobBits & 0x0F;
        k_[R + KT::FilterBits + 2] =
            static_cast<std::uint8_t>(x | (x > 3 ? 8 : 0) | ((T.AssignKnobBits & 0x80) ? 0x10 : 0));
        k_[R + KT::FilterBits + 3] = T.OscBits & 0x0F;
        k_[R + KT::PortamentoTime] = T.PortamentoTime;

        parse_.writeLn(
            format("KeyZoneTop %3d, KeyZoneBot %3d, KeyZoneSlope %3d", T.KeyZoneTop, T.KeyZoneBot, T.KeyZoneSlope));
        parse_.writeLn(
            format("VelZoneTop %3d, VelZoneBot %3d, VelZoneSlope %3d", T.VelZoneTop, T.VelZoneBot, T.VelZoneSlope));
        k_[R + KT::KeyZoneTop] = T.KeyZoneTop;
        k_[R + KT::KeyZoneBot] = T.KeyZoneBot;
        log_.write(" B:" + MidiNoteTxt(T.KeyZoneBot) + " T:" + MidiNoteTxt(T.KeyZoneTop));
        k_[R + KT::KeyZoneSlope] = T.KeyZoneSlope;
        k_[R + KT::VelZoneTop] = T.VelZoneTop;
        k_[R + KT::VelZoneBot] = T.VelZoneBot;
        k_[R + KT::VelZoneSlope] = T.VelZoneSlope;
        k_[R + KT::VJ5AsnVolCenter] = 0;
        k_[R + KT::VectorCC] = 0;

        for (const std::string& line : invalid) parse_.writeLn(line);
        parse_.writeLn();
        log_.writeLn();
    }

    // Patches 1-5 of a drum kit: 3-bit selectors packed in the two Triton
    // bytes, patch 3 with its high bit in the first byte. Each selector is one
    // index into the map: combining two map values, or reading patch 1 as two
    // bits, would route selectors 1-5 to the wrong bus.
    void drumKitPatches(std::uint8_t p345, std::uint8_t p123, std::size_t at, std::vector<std::string>& invalid)
    {
        const auto& D = in_.tri.valueMaps.TriDrumKitIFXMapping;
        const int selectors[] = {p123 & 7, (p123 >> 3) & 7, ((p345 & 1) << 2) | (p123 >> 6), (p345 >> 1) & 7,
                                 (p345 >> 4) & 7};
        for (std::size_t i = 0; i < 5; ++i) mappedByte(D, selectors[i], at + i, "Drumkit Patch IFX", invalid);
    }

    void guard()
    {
        bool changed = false;
        // Most blocks are as the initial Combi left them: compared whole first.
        constexpr std::size_t kBlock = 64;
        for (std::size_t from = 0; from < k_.size(); from += kBlock) {
            const std::size_t to = std::min(k_.size(), from + kBlock);
            if (std::equal(k_.begin() + static_cast<std::ptrdiff_t>(from), k_.begin() + static_cast<std::ptrdiff_t>(to),
                           in_.Kro_Combi_default.begin() + static_cast<std::ptrdiff_t>(from)))
                continue;
            for (std::size_t q = from; q < to; ++q) {
                if (k_[q] == in_.Kro_Combi_default[q] || !UnchangedRange(static_cast<std::int32_t>(q))) continue;
                parse_.writeLn(format("Change out of bounds offset %zu", q));
                changed = true;
            }
        }
        if (changed) mainLog("Note: Combi has data changes in unexpected areas");
    }

    // The Triton Combination's master effect, arpeggiator and common bytes.
    std::uint8_t mast(std::size_t at) const { return tri_.Mast_Effect_Params[at]; }
    std::uint8_t arp(std::size_t at) const { return tri_.Arp_Effect_Params[at]; }
    std::uint8_t commonByte(std::size_t at) const { return tri_.Common_Params[at]; }

    const TriKroConvertInput& in_;
    const triton::Ttri_Combi& tri_;
    TriKroConvertOutput out_;
    TKro_Combi& k_ = out_.Kro_Combi;
    TextOut parse_, log_;
    std::string name_;
    // For the conversion log's summary line.
    struct {
        int effectsOn = 0, effectsConverted = 0;
        int copied = 0, defaults = 0, invalid = 0;
    } tally_;
};

}  // namespace

TriKroConvertOutput Convert_Combi_Triton2Kronos(const TriKroConvertInput& in)
{
    return Converter(in).run();
}

}  // namespace tolvex
