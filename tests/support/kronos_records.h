// SPDX-License-Identifier: GPL-3.0-or-later
// Kronos Combi and Global records filled for the tests, and the dumps that
// carry them (Korg 7-bit packed), so that every value a report shows can be
// traced to the byte set here.
#pragma once

#include <algorithm>
#include <span>
#include <string>

#include "core/sysex/bit_field.h"
#include "devices/common/korg_packing.h"
#include "devices/kronos/kronos_layouts.h"

namespace tolvex::testing {

// Effect 2 (Stereo Compressor): its "Input Trim" (pid 4) is the 7-bit field
// at byte 2, bit 6; 100 there is 0x1900 over bytes 2-3.
inline constexpr int kCompressor = 2;

// "A Combi Name Of 24 Chars" (all 24 characters, no NUL), tempo 120.00;
// IFX 1 the compressor, on, chained to 3, input trim 100, on channel 5;
// IFX 2 empty (type 0), on; IFX 3 off; timbre 1 program I-B005 on the global
// channel (Int), routed to IFX 1 with timbre 3, which is muted; timbre 2 U-AA127
// Ext on channel 10; timbre 16 volume 77 routed to IFX 2.
inline kronos::TKro_Combi sampleCombi()
{
    using namespace kronos;
    using L = TKro_Combi_Layout;
    using I = TIns_Effect_Params;
    using T = TTimbre_Params;
    TKro_Combi c{};
    const std::string name = "A Combi Name Of 24 Chars";
    std::copy(name.begin(), name.end(), c.begin());
    c[L::Karma_Common] = 0xE0;
    c[L::Karma_Common + 1] = 0x2E;
    const std::size_t e1 = L::insEffect(1);
    c[e1 + I::Ins_Effect_Eff_Type] = kCompressor;
    c[e1 + I::Ins_Effect_ChChSw] = 0x80 | 0x40 | 4;
    c[e1 + I::Ins_Effect_ChainTo] = 3;
    c[e1 + I::Ins_Effect_Panpot] = 64;
    c[e1 + I::Ins_Effect_Bus_Sel_Fx] = 0x1A;
    c[e1 + I::Ins_Effect_Send1] = 127;
    SetBitField(std::span(c).subspan(e1, 64), BFMode::LE, 100, 2, 6, 7);
    c[L::insEffect(2) + I::Ins_Effect_ChChSw] = 0x40;
    c[L::insEffect(3) + I::Ins_Effect_Eff_Type] = kCompressor;
    c[L::Mast_Effect_Params + 3] = 9;
    c[L::Total_Effect_MastVol] = 127;
    const std::size_t t1 = L::timbre(1), t2 = L::timbre(2), t3 = L::timbre(3), t16 = L::timbre(16);
    c[t1 + T::Prog_Num] = 5;
    c[t1 + T::Bank_Num] = 1;
    c[t1 + T::MidiChan_Status] = 1 << 5 | 16;
    c[t1 + T::Volume] = 100;
    c[t1 + T::BusSelect] = 1;
    c[t2 + T::Prog_Num] = 127;
    c[t2 + T::Bank_Num] = 24;
    c[t2 + T::MidiChan_Status] = 3 << 5 | 9;
    c[t3 + T::BusSelect] = 0x21;  // bits 5-7 are not the slot
    c[t3 + T::FilterBits + 2] = 0x80;
    c[t16 + T::Volume] = 77;
    c[t16 + T::BusSelect] = 2;
    return c;
}

// Program categories 0 and 17 and Combi category 5 named (with blanks to trim
// and one of 24 characters), every other name empty, and a non-zero byte
// right after each area so a read past a name would show.
inline kronos::TKro_Global sampleGlobal()
{
    using L = kronos::TKro_Global_Layout;
    kronos::TKro_Global g{};
    auto put = [&](std::size_t at, const std::string& text) { std::copy(text.begin(), text.end(), g.begin() + at); };
    put(L::category(L::ProgCategory, 0), "  Keyboard ");
    put(L::subCategory(L::ProgSubCategory, 0, 0), "Acoustic Piano");
    put(L::subCategory(L::ProgSubCategory, 0, 7), "Twentyfour Characters Ok");
    put(L::category(L::ProgCategory, 17), "User 17");
    put(L::category(L::CombiCategory, 5), "Pads");
    put(L::subCategory(L::CombiSubCategory, 5, 3), "Warm");
    g[L::KarmaScale_Params] = 'X';
    g[L::KarmaCategory] = 'K';
    return g;
}

// F0 42 3n 68 73 01 bank 00 index 03 + packed combi + F7.
inline Bytes combiDump(const kronos::TKro_Combi& c, int channel = 0, int bank = 0, int index = 0)
{
    Bytes head{0xF0, 0x42, 0x30, 0x68, 0x73, 0x01, 0x00, 0x00, 0x00, 0x03};
    head[2] = static_cast<std::uint8_t>(0x30 | channel);
    head[6] = static_cast<std::uint8_t>(bank);
    head[8] = static_cast<std::uint8_t>(index);
    return KorgDatatoSXConvert(head, c);
}

// F0 42 3n 68 75 01 03 + packed combi + F7.
inline Bytes currentCombiDump(const kronos::TKro_Combi& c, int channel = 0)
{
    const std::uint8_t head[] = {0xF0, 0x42, static_cast<std::uint8_t>(0x30 | channel), 0x68, 0x75, 0x01, 0x03};
    return KorgDatatoSXConvert(head, c);
}

// F0 42 30 68 73 03 00 00 00 00 + packed global + F7.
inline Bytes globalDump(const kronos::TKro_Global& g)
{
    const std::uint8_t head[] = {0xF0, 0x42, 0x30, 0x68, 0x73, 0x03, 0, 0, 0, 0};
    return KorgDatatoSXConvert(head, g);
}

}  // namespace tolvex::testing
