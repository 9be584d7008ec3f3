// SPDX-License-Identifier: GPL-3.0-or-later
// The Kronos Combi timbre-copy window as a model: the selected Combi is loaded
// into a source record each time the window becomes active, and pieces of it
// (all of it, timbres moved to other slots, insert effects moved to other slots
// with their chains, the non-timbre data, the master and total effects, the
// KARMA data) are copied into an edit record, which can be reset from
// "KroInitCombi.bin", sent to the Kronos edit buffer or saved into the list.
//
// The window's check boxes and drop-downs are session fields
// ("TimbreCheckboxArray[3]", "TimbreComboArray[3]", ... rows from 1); its
// labels and LEDs are the view below, reported as kKroTimbreCopyView.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "devices/kronos/kronos_layouts.h"

namespace tolvex {

class Session;

// The window's caption, under which the command table lists its commands and
// fields; the window itself is the control FormKroTimbreCopy.
inline constexpr char kKroTimbreCopyWindow[] = "Timbre Copy";
inline constexpr char kKroTimbreCopyControl[] = "FormKroTimbreCopy";
inline constexpr char kKroTimbreCopyView[] = "KroTimbreCopyView";  // change name of the view
inline constexpr char kKroInitCombiFile[] = "KroInitCombi.bin";

inline constexpr char TimbreCheckboxArray[] = "TimbreCheckboxArray";
inline constexpr char TimbreComboArray[] = "TimbreComboArray";
inline constexpr char IFXCheckboxArray[] = "IFXCheckboxArray";
inline constexpr char IFXComboArray[] = "IFXComboArray";
inline constexpr int kTimbreRows = kronos::TKro_Combi_Layout::Timbres;
inline constexpr int kIFXRows = kronos::TKro_Combi_Layout::InsEffects;

// The session key of row `row` (from 1) of a control array: "NAME[row]".
std::string arrayControl(const char* array, int row);

// An LED of a row: lit lime green after a full copy, yellow after a mapped
// copy into its slot, off after initialisation.
enum class CopyLedColour { Lime, Yellow };
struct CopyLed {
    bool lit = false;
    CopyLedColour colour = CopyLedColour::Lime;
    bool operator==(const CopyLed&) const = default;
};

// How a name label looks: as designed (before the first load), normal, grey
// (a timbre or effect that is off), or muted (a timbre muted in the Combi).
enum class CopyLabelLook { Design, Normal, Grey, Mute };
struct CopyLabel {
    std::string text;
    CopyLabelLook look = CopyLabelLook::Design;
};

struct KroTimbreCopyView {
    KroTimbreCopyView();
    bool visible = false;         // shown by "Timbre Copy", hidden by "Close"
    bool windowAttached = false;  // a window on screen loads the source on activation
    std::string CopyEditObjName = "CopyEditObjName";
    std::string SrcCombi = "?";
    std::array<CopyLabel, kTimbreRows> TimbreNameArray;
    std::array<CopyLed, kTimbreRows> TimbreLEDArray{};
    std::array<CopyLabel, kIFXRows> IFXNameArray;
    std::array<std::string, kIFXRows> IFXChainLabelArray;
    std::array<std::string, kIFXRows> IFXTSRCNameArray;
    std::array<CopyLed, kIFXRows> IFXLEDArray{};
};

// Copies between two Combi records, no window state involved.
void CopyNonTimbreCombiParams(const kronos::TKro_Combi& src, kronos::TKro_Combi& dst);
void CopyMFXParams(const kronos::TKro_Combi& src, kronos::TKro_Combi& dst);
void CopyTFXParams(const kronos::TKro_Combi& src, kronos::TKro_Combi& dst);
void CopyKarmaParams(const kronos::TKro_Combi& src, kronos::TKro_Combi& dst);
// Insert effect s of src into slot d of dst (slots 1-12), its chain moved by
// the same distance: a chain that would end at or before d, or after slot 12,
// is switched off in the copy.
void copyInsEffect(const kronos::TKro_Combi& src, int s, kronos::TKro_Combi& dst, int d);

// The routing label of an IFX slot: "T" and the timbres routed to it
// ("T 1, 3 >"), or "--" when none is.
std::string ifxRoutingLabel(const kronos::TKro_Combi& combi, int slot);

// Sets the check boxes off and each drop-down to its own row (the window's creation).
void KroTimbreCopyFormCreate(Session& s);
// Loads the first selected entry into the source record and refreshes the
// labels from the source (also after a refusal, which keeps the previous source).
void KroTimbreCopyFormActivate(Session& s);
// "Timbre Copy" on the Kronos page: shows the window. Without a window on
// screen (tolvex-cli), showing it is its activation and loads the source.
void TimbreCopyClick(Session& s);

void CopyFullBtnClick(Session& s);
void CopyTimbreClick(Session& s);
void CopyIFXClick(Session& s);
void CopyNonTimbreClick(Session& s);
void CopyMFXClick(Session& s);
void CopyTFXClick(Session& s);
void CopyKarmaClick(Session& s);
void InitButton1Click(Session& s);
void SendBtnClick(Session& s);
void SaveEditBuffBtnClick(Session& s);
void BtnCloseCopyDlgClick(Session& s);

}  // namespace tolvex
