// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the main window's own controls, as the session keys their values and
// the window names its widgets. Each device family names the controls of its
// page in its family header.
#pragma once

namespace tolvex::ctl {

// Edit boxes.
inline constexpr char Channel[] = "Channel";
inline constexpr char ProgChange[] = "ProgChange";
inline constexpr char SXreqString[] = "SXreqString";
inline constexpr char SXrecvString[] = "SXrecvString";

// Labels.
inline constexpr char MidEventCountLabel[] = "MidEventCountLabel";
inline constexpr char Label_nbytes[] = "Label_nbytes";
inline constexpr char MemLabel[] = "MemLabel";
inline constexpr char TimeoutLabel[] = "TimeoutLabel";

// Check boxes.
inline constexpr char Filter7F[] = "Filter7F";
inline constexpr char XTCheckBox1[] = "XTCheckBox1";
// "Send Selected" sends each dump an instrument confirms only after the answer to the one before.
inline constexpr char WaitAck[] = "WaitAck";

// Other state the window shows.
inline constexpr char MidiInBusy[] = "MidiInBusy";
inline constexpr char Cancel[] = "Cancel";
inline constexpr char cmbInput[] = "cmbInput";
inline constexpr char cmbOutput[] = "cmbOutput";
// The window's status line: what the start found amiss with the MIDI ports.
inline constexpr char StatusBar[] = "StatusBar";

}  // namespace tolvex::ctl
