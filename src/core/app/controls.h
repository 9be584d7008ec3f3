// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the main window's controls, as the session keys their values and
// the window names its widgets.
#pragma once

namespace tolvex::ctl {

// Edit boxes.
inline constexpr char Channel[] = "Channel";
inline constexpr char ProgChange[] = "ProgChange";
inline constexpr char WS_Bank[] = "WS_Bank";
inline constexpr char SXreqString[] = "SXreqString";
inline constexpr char SXrecvString[] = "SXrecvString";
inline constexpr char SP_DevID_edit[] = "SP_DevID_edit";
inline constexpr char SP_Bank_Num_edit[] = "SP_Bank_Num_edit";
inline constexpr char TriProg[] = "TriProg";
inline constexpr char TriBank[] = "TriBank";
inline constexpr char TriEfxPIDtxt[] = "TriEfxPIDtxt";
inline constexpr char KroProg[] = "KroProg";
inline constexpr char KroBank[] = "KroBank";
inline constexpr char Tri_Gchan[] = "Tri_Gchan";
inline constexpr char BankTextMemo1[] = "BankTextMemo1";

// Labels.
inline constexpr char MidEventCountLabel[] = "MidEventCountLabel";
inline constexpr char Label_nbytes[] = "Label_nbytes";
inline constexpr char MemLabel[] = "MemLabel";
inline constexpr char TimeoutLabel[] = "TimeoutLabel";

// Check boxes.
inline constexpr char PassPrgBank[] = "PassPrgBank";
inline constexpr char AutoSendCB[] = "AutoSendCB";
inline constexpr char Filter7F[] = "Filter7F";
inline constexpr char XTCheckBox1[] = "XTCheckBox1";

// Other state the window shows.
inline constexpr char MidiInBusy[] = "MidiInBusy";
inline constexpr char Cancel[] = "Cancel";
inline constexpr char cmbInput[] = "cmbInput";
inline constexpr char cmbOutput[] = "cmbOutput";

}  // namespace tolvex::ctl
