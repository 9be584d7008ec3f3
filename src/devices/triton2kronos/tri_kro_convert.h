// SPDX-License-Identifier: GPL-3.0-or-later
// One Triton Combination turned into one Kronos Combi: the name, insert
// effects 1-5 parameter by parameter through the effect map, master effects
// 1-2, the master EQ as total effect 1 (Kronos effect 13), the master chain,
// the common bytes through the value maps, timbres 1-8 converted and 9-16
// fixed (off, silent, muted). Everything else stays as the initial Combi holds
// it. Pure bytes and text: the caller writes the files and talks to the user.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/kronos/kronos_layouts.h"
#include "devices/triton/triton_records.h"

namespace tolvex {

struct KronosDefs;
struct TriKroTables;

// The default parameter data of Kronos effects 0-185, 64 bytes each, block n
// for effect n ("Kro_Default_EFX_Data.bin").
inline constexpr int kKroLastEffect = 185;
inline constexpr std::size_t kKroDefaultEfxDataSize = (kKroLastEffect + 1) * kronos::kEffectDataSize;
using KroDefaultEfxData = std::array<std::uint8_t, kKroDefaultEfxDataSize>;

// Everything one conversion reads; the references must outlive the call.
struct TriKroConvertInput {
    const triton::Ttri_Combi& tri_Combi;
    const kronos::TKro_Combi& Kro_Combi_default;  // the initial Combi the result starts from
    const KroDefaultEfxData& Kro_Default_EFX_Data;
    const TriKroTables& tri;  // effect map, value maps, Triton effect names
    const KronosDefs& kro;    // Kronos effect names and parameter positions
    const std::vector<std::string>& TriProgNameList;
    bool PassPrgBankVal;   // timbres keep their program and bank; else 1 and 1
    std::string progText;  // the "Prog" field as typed, for the conversion log
};

struct TriKroConvertOutput {
    kronos::TKro_Combi Kro_Combi{};
    std::string parse;                  // "Tri-Kronos-Combi-Parse.txt", lines ended CR LF
    std::string convertLog;             // appended to "Tri-Kronos-Combi-Convert-Log.txt"
    std::vector<std::string> mainLog;   // lines for the main window's log, in order
    std::vector<std::string> warnings;  // texts for "Warning" boxes
};

// Never reads outside its tables: effect numbers, parameter ids, map rows and
// value-map indexes that the tables do not hold are reported in the parse
// file (or the main log) and leave the initial Combi's bytes. An effect value
// the Kronos parameter cannot hold (outside the map row's Kronos range, or the
// field's width) is never written masked: the default stays and the parse file
// says "Invalid value N for <effect>: <parameter>". The conversion log's entry
// ends with "effects N of M converted, parameters N copied, N at defaults, N invalid".
TriKroConvertOutput Convert_Combi_Triton2Kronos(const TriKroConvertInput& in);

inline constexpr char kTriKroParseFile[] = "Tri-Kronos-Combi-Parse.txt";
inline constexpr char kTriKroConvertLogFile[] = "Tri-Kronos-Combi-Convert-Log.txt";

}  // namespace tolvex
