// SPDX-License-Identifier: GPL-3.0-or-later
// "Conv Triton Combi" on the Kronos page: the selected Triton Combination dump
// (a bank of 128, one Combination, or the current one) gives one Kronos Combi,
// appended to the Objects Window as a current-Combi dump and sent to the
// Kronos when "Auto Send Triton Converted" is checked.
#pragma once

#include <memory>

#include "devices/kronos/kronos_layouts.h"
#include "devices/triton2kronos/tri_kro_convert.h"

namespace tolvex {

class Session;

inline constexpr char kKroDefaultEfxDataFile[] = "Kro_Default_EFX_Data.bin";
inline constexpr char kTriDebugDataFile[] = "debug-tri-data.bin";
inline constexpr char kKroDebugDataFile[] = "debug-kro-data.bin";
inline constexpr char kTriKroConvertedLabel[] = "Kronos Combi converted from Triton";

// The conversion's working records in the session.
struct TriKroConvertRecords {
    kronos::TKro_Combi Kro_Combi{};          // the last converted Combi
    kronos::TKro_Combi Kro_Combi_default{};  // "KroInitCombi.bin" as read
    std::unique_ptr<KroDefaultEfxData> Kro_Default_EFX_Data = std::make_unique<KroDefaultEfxData>();
    int TriGlobalChannel = 0;  // the "Gchan" field, 0-255
};

// The command. Reads the fields "Gchan" (Tri_Gchan, 0-255), "Prog" (KroProg,
// the Combination of a bank, 0-127) and the check boxes "Conv Pass Program and
// Bank" (read at each run) and "Auto Send Triton Converted". The templates
// "KroInitCombi.bin" and "Kro_Default_EFX_Data.bin" and the name lists come
// from the table folders; a template that is missing, short or unreadable
// ends the command after its "Warning" box, a missing name list is logged and
// the names stay empty. "Tri-Kronos-Combi-Parse.txt" (new) and
// "Tri-Kronos-Combi-Convert-Log.txt" (appended; past 1 MiB its oldest runs
// go) to the current folder, "debug-tri-data.bin" and "debug-kro-data.bin"
// to the folder of diagnostic files; the log names each with its whole path. Every refusal is a "Warning" box and
// leaves the list as it was.
void ConvTriCombiBankClick(Session& s, const TriKroTables& tri, const KronosDefs& kro);
// The same with the program's tables.
void ConvTriCombiBankClick(Session& s);

// The controls of the conversion, as the session keys their values and the window names its widgets.
namespace ctl {
inline constexpr char PassPrgBank[] = "PassPrgBank", AutoSendCB[] = "AutoSendCB";
}

}  // namespace tolvex
