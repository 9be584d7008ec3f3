// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos object layouts as byte offsets into the unpacked (8-bit) data of
// a Combi, a Program, the Global data and a set list. Each record is a set of
// named offsets and its size; the records themselves are plain byte arrays,
// read and written at these offsets. Numbers of more than one byte (the Combi
// tempo, an effect LFO's BPM, the knob and switch values) are low byte first.
//
// The Triton records of the same names live in their own namespace.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tolvex::kronos {

// An insert effect slot.
struct TIns_Effect_Params {
    static constexpr std::size_t Ins_Effect_Data = 0;       // 64 bytes: parameters as LE bit fields
    static constexpr std::size_t Ins_Effect_Eff_Type = 64;  // Kronos effect number, 0: no effect
    static constexpr std::size_t Ins_Effect_ChChSw = 65;    // bits 0-5 MIDI channel, 6 effect on, 7 chain on
    static constexpr std::size_t Ins_Effect_ChainTo = 66;
    static constexpr std::size_t Ins_Effect_Unknown = 67;
    static constexpr std::size_t Ins_Effect_Panpot = 68;
    static constexpr std::size_t Ins_Effect_Bus_Sel_Fx = 69;
    static constexpr std::size_t Ins_Effect_Send1 = 70;
    static constexpr std::size_t Ins_Effect_Send2 = 71;
    static constexpr std::size_t Ins_Effect_RecBus = 72;
    static constexpr std::size_t spare = 73;
    static constexpr std::size_t size = 74;
};

// A master or total effect slot.
struct TMas_Tot_Effect_Params {
    static constexpr std::size_t MT_Effect_Data = 0;  // 64 bytes
    static constexpr std::size_t MT_Effect_Eff_Type = 64;
    static constexpr std::size_t MT_Effect_Chan_Sw = 65;  // bits 0-5 MIDI channel, 6 on, 7 chain
    static constexpr std::size_t spare = 66;              // 2 bytes
    static constexpr std::size_t size = 68;
};

inline constexpr std::size_t kEffectDataSize = 64;

struct TextMastParams {
    static constexpr std::size_t MastEf_Return1 = 0;
    static constexpr std::size_t MastEf_Return2 = 1;
    static constexpr std::size_t MastEf_ChainDirSw = 2;
    static constexpr std::size_t MastEf_ChainLevel = 3;
    static constexpr std::size_t size = 4;
};

struct TEffect_LFO_Params {
    static constexpr std::size_t EffLFO_Freq = 0;
    static constexpr std::size_t EffLFO_Sync = 1;
    static constexpr std::size_t EffLFO_Source = 2;
    static constexpr std::size_t EffLFO_MIDIch = 3;
    static constexpr std::size_t EffLFO_BPM = 4;  // 16 bits, low byte first
    static constexpr std::size_t EffLFO_MIDIsyncBN = 6;
    static constexpr std::size_t EffLFO_MIDIsyncBT = 7;
    static constexpr std::size_t size = 8;
};

struct TKnobParam {
    static constexpr std::size_t KnobAssign = 0;
    static constexpr std::size_t Reserved = 1;
    static constexpr std::size_t KnobVal = 2;  // 16 bits
    static constexpr std::size_t size = 4;
};

struct TSwitchParam {
    static constexpr std::size_t SwitchAssign = 0;
    static constexpr std::size_t SwitchVal = 1;
    static constexpr std::size_t SwitchOnVal = 2;  // 16 bits
    static constexpr std::size_t size = 4;
};

// One timbre of a Combi.
struct TTimbre_Params {
    static constexpr std::size_t Prog_Num = 0;
    static constexpr std::size_t Bank_Num = 1;         // numbered as Kro_Timbre_Bank_Text takes it
    static constexpr std::size_t MidiChan_Status = 2;  // bits 0-4 channel (16: global), 5-7 status
    static constexpr std::size_t ExtBankMSB = 3;
    static constexpr std::size_t ExtBankLSB = 4;
    static constexpr std::size_t Volume = 5;
    static constexpr std::size_t PitchBendRange = 6;
    static constexpr std::size_t Transpose = 7;
    static constexpr std::size_t DetuneMSB = 8;
    static constexpr std::size_t DetuneLSB = 9;
    static constexpr std::size_t DelayMSB = 10;
    static constexpr std::size_t DelayLSB = 11;
    static constexpr std::size_t DelayNoteMode = 12;
    static constexpr std::size_t DelayTempoTimes = 13;
    static constexpr std::size_t Pan = 14;
    static constexpr std::size_t Send1Level = 15;
    static constexpr std::size_t Send2Level = 16;
    static constexpr std::size_t DrumkitPatchIFX = 17;  // 12 bytes
    static constexpr std::size_t BusSelect = 29;        // bits 0-4: the IFX slot the timbre is routed to
    static constexpr std::size_t RecBus = 30;
    static constexpr std::size_t MaxNotesChordMode = 31;
    static constexpr std::size_t FilterBits = 32;  // 4 bytes; bit 7 of the third: the timbre is muted
    static constexpr std::size_t PortamentoTime = 36;
    static constexpr std::size_t KeyZoneTop = 37;
    static constexpr std::size_t KeyZoneBot = 38;
    static constexpr std::size_t KeyZoneSlope = 39;
    static constexpr std::size_t VelZoneTop = 40;
    static constexpr std::size_t VelZoneBot = 41;
    static constexpr std::size_t VelZoneSlope = 42;
    static constexpr std::size_t QuantTrig = 43;
    static constexpr std::size_t Swing = 44;
    static constexpr std::size_t KeySync = 45;
    static constexpr std::size_t TrackEQTrimByp = 46;
    static constexpr std::size_t Reserved1 = 47;
    static constexpr std::size_t TrackEQMidFreq = 48;
    static constexpr std::size_t TrackEQLowGain = 49;
    static constexpr std::size_t TrackEQMidGain = 50;
    static constexpr std::size_t TrackEQHighGain = 51;
    static constexpr std::size_t VJ5AsnVolCenter = 52;
    static constexpr std::size_t VectorCC = 53;
    static constexpr std::size_t KnobParams = 54;     // 8 x TKnobParam
    static constexpr std::size_t SwitchParams = 86;   // 16 x TSwitchParam
    static constexpr std::size_t FaderParams = 150;   // 9 x TKnobParam
    static constexpr std::size_t ExiInpSource = 186;  // 2 bytes
    static constexpr std::size_t size = 188;
};
static_assert(TTimbre_Params::DrumkitPatchIFX + 12 == TTimbre_Params::BusSelect);
static_assert(TTimbre_Params::KnobParams + 8 * TKnobParam::size == TTimbre_Params::SwitchParams);
static_assert(TTimbre_Params::SwitchParams + 16 * TSwitchParam::size == TTimbre_Params::FaderParams);
static_assert(TTimbre_Params::FaderParams + 9 * TKnobParam::size == TTimbre_Params::ExiInpSource);
static_assert(TTimbre_Params::ExiInpSource + 2 == TTimbre_Params::size);

inline constexpr std::size_t kKarmaModuleSize = 744;  // Karma_Module_Data, opaque

// The bytes of a Combi's Common_Params.
struct TCombiCommon {
    static constexpr std::size_t Category = 0;  // bits 0-4 category, 5-7 sub-category
    static constexpr std::size_t ScaleType = 3;
    static constexpr std::size_t ScaleKey = 4;
    static constexpr std::size_t RandomIntensity = 5;
    static constexpr std::size_t SwitchAssign = 6;  // switches 1-2
    static constexpr std::size_t KnobAssign = 8;    // knobs 1-4
    static constexpr std::size_t size = 12;
};

// A Combi.
struct TKro_Combi_Layout {
    static constexpr std::size_t Combi_Name = 0;  // 24 characters, NUL-padded
    static constexpr std::size_t NameSize = 24;
    static constexpr std::size_t Ins_Effect_Group = 24;  // 12 x TIns_Effect_Params
    static constexpr int InsEffects = 12;
    static constexpr std::size_t Mast_Effect_Group = 912;  // 2 x TMas_Tot_Effect_Params
    static constexpr std::size_t Mast_Effect_Params = 1048;
    static constexpr std::size_t Total_Effect_Group = 1052;  // 2 x TMas_Tot_Effect_Params
    static constexpr std::size_t Total_Effect_MastVol = 1188;
    static constexpr std::size_t Gap = 1189;
    static constexpr std::size_t Effect_LFO_Group = 1190;       // 2 x TEffect_LFO_Params
    static constexpr std::size_t Vect_Aud__Drum_Params = 1206;  // 98 bytes, opaque
    static constexpr std::size_t Karma_Common = 1304;           // 510 bytes; bytes 0-1: tempo in hundredths of BPM
    static constexpr std::size_t Karma_Module = 1814;           // 4 x 744
    static constexpr std::size_t Common_Params = 4790;          // 12 bytes
    static constexpr std::size_t Timbre_Group = 4802;           // 16 x TTimbre_Params
    static constexpr int Timbres = 16;
    static constexpr std::size_t size = 7810;

    static constexpr std::size_t insEffect(int n) { return Ins_Effect_Group + TIns_Effect_Params::size * (n - 1); }
    static constexpr std::size_t mastEffect(int n)
    {
        return Mast_Effect_Group + TMas_Tot_Effect_Params::size * (n - 1);
    }
    static constexpr std::size_t totalEffect(int n)
    {
        return Total_Effect_Group + TMas_Tot_Effect_Params::size * (n - 1);
    }
    static constexpr std::size_t timbre(int t) { return Timbre_Group + TTimbre_Params::size * (t - 1); }
};
namespace layout_checks {
using C = TKro_Combi_Layout;
static_assert(C::insEffect(C::InsEffects + 1) == C::Mast_Effect_Group);
static_assert(C::mastEffect(3) == C::Mast_Effect_Params);
static_assert(C::Mast_Effect_Params + TextMastParams::size == C::Total_Effect_Group);
static_assert(C::totalEffect(3) == C::Total_Effect_MastVol);
static_assert(C::Effect_LFO_Group + 2 * TEffect_LFO_Params::size == C::Vect_Aud__Drum_Params);
static_assert(C::Vect_Aud__Drum_Params + 98 == C::Karma_Common);
static_assert(C::Karma_Common + 510 == C::Karma_Module);
static_assert(C::Karma_Module + 4 * kKarmaModuleSize == C::Common_Params);
static_assert(C::Common_Params + TCombiCommon::size == C::Timbre_Group);
static_assert(C::timbre(C::Timbres + 1) == C::size);
}  // namespace layout_checks

using TKro_Combi = std::array<std::uint8_t, TKro_Combi_Layout::size>;

// The Global data.
struct TKro_Global_Layout {
    static constexpr std::size_t General = 0;                // 10 bytes
    static constexpr std::size_t Ins_Effect_Group = 10;      // 128 x 98
    static constexpr std::size_t KarmaScale_Params = 12554;  // 358
    static constexpr std::size_t ProgCategory = 12912;       // 18 names of 24 characters
    static constexpr std::size_t ProgSubCategory = 13344;    // 18 x 8 names
    static constexpr std::size_t CombiCategory = 16800;
    static constexpr std::size_t CombiSubCategory = 17232;
    static constexpr std::size_t KarmaCategory = 20688;
    static constexpr std::size_t KarmaSubCategory = 21120;
    static constexpr std::size_t GlobalMIDIAudio = 24576;  // 44
    static constexpr std::size_t size = 24620;
    static constexpr int Categories = 18;
    static constexpr int SubCategories = 8;
    static constexpr std::size_t NameSize = 24;

    static constexpr std::size_t category(std::size_t base, int c) { return base + NameSize * c; }
    static constexpr std::size_t subCategory(std::size_t base, int c, int s)
    {
        return base + NameSize * (SubCategories * c + s);
    }
};
namespace layout_checks {
using G = TKro_Global_Layout;
static_assert(G::Ins_Effect_Group + 128 * 98 == G::KarmaScale_Params);
static_assert(G::KarmaScale_Params + 358 == G::ProgCategory);
static_assert(G::category(G::ProgCategory, G::Categories) == G::ProgSubCategory);
static_assert(G::subCategory(G::ProgSubCategory, G::Categories, 0) == G::CombiCategory);
static_assert(G::category(G::CombiCategory, G::Categories) == G::CombiSubCategory);
static_assert(G::subCategory(G::CombiSubCategory, G::Categories, 0) == G::KarmaCategory);
static_assert(G::category(G::KarmaCategory, G::Categories) == G::KarmaSubCategory);
static_assert(G::subCategory(G::KarmaSubCategory, G::Categories, 0) == G::GlobalMIDIAudio);
static_assert(G::GlobalMIDIAudio + 44 == G::size);
}  // namespace layout_checks

using TKro_Global = std::array<std::uint8_t, TKro_Global_Layout::size>;

// Programs (HD-1 and EXi) share the Combi layout up to the KARMA data.
struct TKro_Program_Layout {
    static constexpr std::size_t Prog_Name = 0;
    static constexpr std::size_t Karma_Module = 1814;       // one module
    static constexpr std::size_t Common_Params = 2558;      // 14
    static constexpr std::size_t EQ_Tone_Params = 2572;     // 112
    static constexpr std::size_t HD1_Params = 2684;         // 1022 (TKro_ProgramHD1)
    static constexpr std::size_t padding = 3706;            // 1254
    static constexpr std::size_t EXI_common_Params = 2684;  // 1276 (TKro_ProgramEXI)
    static constexpr std::size_t EXI_unique_Params = 3960;  // 1000
    static constexpr std::size_t size = 4960;
};
namespace layout_checks {
using C = TKro_Combi_Layout;
using P = TKro_Program_Layout;
static_assert(P::Karma_Module == C::Karma_Module);
static_assert(P::Karma_Module + kKarmaModuleSize == P::Common_Params);
static_assert(P::Common_Params + 14 == P::EQ_Tone_Params && P::EQ_Tone_Params + 112 == P::HD1_Params);
static_assert(P::HD1_Params + 1022 == P::padding && P::padding + 1254 == P::size);
static_assert(P::EXI_common_Params + 1276 == P::EXI_unique_Params && P::EXI_unique_Params + 1000 == P::size);
}  // namespace layout_checks

// A set list and its slots.
struct TKro_SetListData {
    static constexpr std::size_t SL_PerfType = 0;
    static constexpr std::size_t SL_Color = 1;
    static constexpr std::size_t SL_Font = 2;
    static constexpr std::size_t SL_PerfBank = 3;
    static constexpr std::size_t SL_Transpose = 4;
    static constexpr std::size_t SL_PerfIndex = 5;
    static constexpr std::size_t SL_HoldTime = 6;
    static constexpr std::size_t SL_Volume = 7;
    static constexpr std::size_t SL_Kbd_Track = 8;
    static constexpr std::size_t size = 9;
};

struct TKro_Set_List_Slot {
    static constexpr std::size_t Slot_Name = 0;         // 24
    static constexpr std::size_t Set_List = 24;         // 6
    static constexpr std::size_t SetList_comment = 30;  // 512
    static constexpr std::size_t size = 542;
};

struct TKro_SetList_Layout {
    static constexpr std::size_t SetList_Name = 0;    // 24
    static constexpr std::size_t Slots = 24;          // 128 x TKro_Set_List_Slot
    static constexpr std::size_t SetList_EQ = 69400;  // 16
    static constexpr std::size_t size = 69416;
};
static_assert(TKro_Set_List_Slot::SetList_comment + 512 == TKro_Set_List_Slot::size);
static_assert(TKro_SetList_Layout::Slots + 128 * TKro_Set_List_Slot::size == TKro_SetList_Layout::SetList_EQ);
static_assert(TKro_SetList_Layout::SetList_EQ + 16 == TKro_SetList_Layout::size);

}  // namespace tolvex::kronos
