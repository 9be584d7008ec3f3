// SPDX-License-Identifier: GPL-3.0-or-later
// The Korg Triton's Program and Combination records as they travel unpacked in
// its dumps, and the banks the all-banks dumps hold. Every field is a byte or a
// byte array, so a record is copied from and to dump data byte for byte; the
// name lists, the effect parse and the Triton to Kronos conversion all read
// these layouts.
//
// The Kronos definitions have records named TTimbre_Params and
// TIns_Effect_Params too (of other sizes), hence the namespace.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "core/text/bytes.h"

namespace tolvex::triton {

// One insert effect: its bytes are named by InsEffectBytes.
struct TIns_Effect_Params {
    std::array<std::uint8_t, 24> Ins_Effect_Data;
};
static_assert(sizeof(TIns_Effect_Params) == 24);

// The bytes of Ins_Effect_Data, and of each master effect in Mast_Effect_Params.
struct InsEffectBytes {
    static constexpr std::size_t Params = 0;  // 16 bytes: the parameters as bit fields (positions from the effect map)
    static constexpr std::size_t ParamSize = 16;
    static constexpr std::size_t EffType = 16;
    static constexpr std::size_t Switch = 17;  // bit 6 on, bit 7 chained to the next insert effect
    static constexpr std::size_t Pan = 20;
    static constexpr std::size_t BusSelect = 21;  // bits 0-2
    static constexpr std::size_t Send1 = 22;
    static constexpr std::size_t Send2 = 23;
    static constexpr std::uint8_t On = 0x40, ChainOn = 0x80;  // bits of Switch
};

// The bytes of a Combination's Mast_Effect_Params.
struct MastEffectBytes {
    static constexpr std::size_t Effects = 0;  // master effects 1-2: parameters, type and switch as InsEffectBytes
    static constexpr std::size_t EffectSize = 20;
    static constexpr std::size_t Return1 = 40;
    static constexpr std::size_t Return2 = 41;
    static constexpr std::size_t Chain = 42;  // bits 0-1 L or R only, bit 2 and 3 the chain direction
    static constexpr std::size_t ChainLevel = 43;
    static constexpr std::size_t EqLowGain = 44;
    static constexpr std::size_t EqMidGain = 45;
    static constexpr std::size_t EqHighGain = 46;
    static constexpr std::size_t EqLowFc = 47;
    static constexpr std::size_t EqMidFc = 48;
    static constexpr std::size_t EqHighFc = 49;
    static constexpr std::size_t EqMidQ = 50;
    static constexpr std::size_t EqLowDMod = 51;
    static constexpr std::size_t EqHighDMod = 52;
    static constexpr std::size_t TfxChannel = 53;  // bits 0-5
    static constexpr std::size_t effect(int n) { return Effects + EffectSize * static_cast<std::size_t>(n - 1); }
};
static_assert(MastEffectBytes::effect(3) == MastEffectBytes::Return1);

// The bytes of a Combination's Arp_Effect_Params: the switches, then
// arpeggiators A and B, ArpSize bytes apart, each using its bytes 2-11.
struct ArpBytes {
    static constexpr std::size_t Switches = 0;  // bit 0 on, bit 1 run A, bit 2 run B
    static constexpr std::size_t ArpSize = 10;
    static constexpr std::size_t Pattern = 2;  // bits 0-1 octave, 2-4 resolution, 5 the pattern's high bit
    static constexpr std::size_t Gate = 4;
    static constexpr std::size_t Velocity = 5;
    static constexpr std::size_t Swing = 6;
    static constexpr std::size_t Flags = 7;  // bit 0 sort, 1 latch, 2 key sync, 3 keyboard
    static constexpr std::size_t TopKey = 8;
    static constexpr std::size_t BottomKey = 9;
    static constexpr std::size_t TopVelocity = 10;
    static constexpr std::size_t BottomVelocity = 11;
    static constexpr std::size_t arp(int a) { return ArpSize * static_cast<std::size_t>(a); }  // a: 0 for A, 1 for B
};
static_assert(ArpBytes::arp(1) + ArpBytes::BottomVelocity == 21);

// The bytes of a Combination's Common_Params.
struct CommonBytes {
    static constexpr std::size_t Category = 0;  // bits 0-3 category, 4-7 MOSS bus select
    static constexpr std::size_t ScaleType = 1;
    static constexpr std::size_t ScaleKey = 2;
    static constexpr std::size_t RandomIntensity = 3;
    static constexpr std::size_t Switches = 4;  // switches 1-2: bits 0-4 assignment, 6 toggle, 7 on
    static constexpr std::size_t Knobs = 6;     // knobs 1-4: bits 0-6 assignment, 7 real-time
};

// One Combination timbre.
struct TTimbre_Params {
    std::uint8_t Prog_Num;
    std::uint8_t Bank_Num;
    std::uint8_t MidiChan_Status;  // bits 7-5 status, bit 4 global channel, bits 3-0 channel
    std::uint8_t ExtBankMSB;
    std::uint8_t ExtBankLSB;
    std::uint8_t Volume;
    std::uint8_t PitchBendRange;
    std::uint8_t Transpose;
    std::uint8_t DetuneMSB;
    std::uint8_t DetuneLSB;
    std::uint8_t DelayStart;
    std::uint8_t Pan;
    std::uint8_t Send1Level;
    std::uint8_t Send2Level;
    std::uint8_t DrumkitPatch345;  // bit 0 a further bit of patch 3, bits 1-3 patch 4, bits 4-6 patch 5
    std::uint8_t DrumkitPatch123;  // bits 0-1 patch 1, bits 3-5 patch 2, bits 6-7 patch 3
    std::uint8_t BusSelect;
    std::uint8_t FilterBits;
    std::uint8_t AssignKnobBits;
    std::uint8_t OscBits;
    std::uint8_t PortamentoTime;
    std::uint8_t KeyZoneTop;
    std::uint8_t KeyZoneBot;
    std::uint8_t KeyZoneSlope;
    std::uint8_t VelZoneTop;
    std::uint8_t VelZoneBot;
    std::uint8_t VelZoneSlope;
    std::uint8_t MossVoice;
};
static_assert(sizeof(TTimbre_Params) == 28);
static_assert(offsetof(TTimbre_Params, DelayStart) == 10 && offsetof(TTimbre_Params, BusSelect) == 16 &&
              offsetof(TTimbre_Params, MossVoice) == 27);

// A Combination, 448 bytes.
struct Ttri_Combi {
    std::array<std::uint8_t, 16> Combi_Name;  // ASCII, ended by a NUL when shorter than 16
    std::array<TIns_Effect_Params, 5> Ins_Effect_Group;
    // Master effects 1-2 (20 bytes each from 136: 16 parameter bytes, type, on
    // bit 6), returns, chain, master EQ, total-effect channel bits.
    std::array<std::uint8_t, 56> Mast_Effect_Params;
    std::array<std::uint8_t, 22> Arp_Effect_Params;  // arpeggiators A and B
    std::array<std::uint8_t, 10> Common_Params;      // category, scale, switches, knobs
    std::array<TTimbre_Params, 8> Timbre_Group;
};
static_assert(sizeof(Ttri_Combi) == 448);
static_assert(offsetof(Ttri_Combi, Ins_Effect_Group) == 16 && offsetof(Ttri_Combi, Mast_Effect_Params) == 136 &&
              offsetof(Ttri_Combi, Arp_Effect_Params) == 192 && offsetof(Ttri_Combi, Common_Params) == 214 &&
              offsetof(Ttri_Combi, Timbre_Group) == 224);

// One oscillator of a PCM Program, 154 bytes.
struct TOsc_Params {
    std::array<std::uint8_t, 12> Main;
    std::array<std::array<std::uint8_t, 10>, 2> LFO;
    std::array<std::uint8_t, 24> Pitch;
    std::array<std::uint8_t, 8> FiltCommon;
    std::array<std::array<std::uint8_t, 15>, 2> Filter;
    std::array<std::uint8_t, 18> FiltEG;
    std::array<std::uint8_t, 4> FiltKBtrack;
    std::array<std::uint8_t, 10> Amp;
    std::array<std::uint8_t, 18> AmpEG;
    std::array<std::uint8_t, 4> AmpKBtrack;
    std::array<std::uint8_t, 6> Output;
};
static_assert(sizeof(TOsc_Params) == 154);
static_assert(offsetof(TOsc_Params, Pitch) == 32 && offsetof(TOsc_Params, Filter) == 64 &&
              offsetof(TOsc_Params, Amp) == 116 && offsetof(TOsc_Params, Output) == 148);

// A PCM Program, 540 bytes.
struct Ttri_ProgramPCM {
    std::array<std::uint8_t, 16> Prog_Name;  // ASCII, ended by a NUL when shorter than 16
    std::array<TIns_Effect_Params, 5> Ins_Effect_Group;
    std::array<std::uint8_t, 56> Mast_Effect_Params;
    std::array<std::uint8_t, 12> Arp_Effect_Params;
    std::array<std::uint8_t, 12> Common_Params;
    std::array<std::uint8_t, 14> Pitch_EG;
    std::array<TOsc_Params, 2> OSC;
    std::array<std::uint8_t, 2> reserved;
};
static_assert(sizeof(Ttri_ProgramPCM) == 540);
static_assert(offsetof(Ttri_ProgramPCM, Mast_Effect_Params) == 136 && offsetof(Ttri_ProgramPCM, Common_Params) == 204 &&
              offsetof(Ttri_ProgramPCM, Pitch_EG) == 216 && offsetof(Ttri_ProgramPCM, OSC) == 230 &&
              offsetof(Ttri_ProgramPCM, reserved) == 538);

// Banks: 128 records each; the all-banks dumps hold 12 of them, in the order
// of the bank names INT-A .. INT-E, EXB-A .. EXB-G.
inline constexpr std::size_t kRecordsPerBank = 128;
inline constexpr std::size_t kBanks = 12;
using Ttri_ProgramPCM_bank = std::array<Ttri_ProgramPCM, kRecordsPerBank>;
using Ttri_ProgramPCM_allbanks = std::array<Ttri_ProgramPCM_bank, kBanks>;
using Ttri_Combi_bank = std::array<Ttri_Combi, kRecordsPerBank>;
using Ttri_Combi_allbanks = std::array<Ttri_Combi_bank, kBanks>;
static_assert(sizeof(Ttri_ProgramPCM_bank) == 69120 && sizeof(Ttri_ProgramPCM_allbanks) == 829440);
static_assert(sizeof(Ttri_Combi_bank) == 57344 && sizeof(Ttri_Combi_allbanks) == 688128);

// The Triton tools' working records in the session: what the last name list
// or effect parse unpacked. The all-banks records are made by the first tool
// that needs them.
struct TritonRecords {
    std::unique_ptr<Ttri_ProgramPCM_allbanks> tri_ProgramPCM_allbanks;
    std::unique_ptr<Ttri_Combi_allbanks> tri_Combi_allbanks;
    Ttri_Combi tri_Combi{};
};

// Byte copies between records (or arrays of them) and dump data. The records
// hold bytes only, so a copy is the whole layout. `data` must hold exactly
// sizeof(Record) bytes; anything else throws TolvexError and changes nothing.
template <class Record>
void recordFromBytes(Record& record, ByteView data)
{
    static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
    if (data.size() != sizeof(Record)) throw TolvexError("Triton record of the wrong size");
    std::memcpy(&record, data.data(), sizeof(Record));
}

template <class Record>
Bytes recordBytes(const Record& record)
{
    static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
    Bytes out(sizeof(Record));
    std::memcpy(out.data(), &record, sizeof(Record));
    return out;
}

}  // namespace tolvex::triton
