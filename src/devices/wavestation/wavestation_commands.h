// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the Wavestation page: a dump to its files and the name
// tables, and the name tables from two mapping files.
#pragma once

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// Unpacks one Wavestation message into the session's records (the data, its
// function, bank, number and stored checksum), writing its lines to the debug
// file. A message not of the supported formats gives the box "Sysex header
// does not match currently supported format"; one too short for its data
// gives the bulk extraction's box and leaves what it holds in
// "debug_format.bin" (current folder). False in both cases.
bool Extract_WSSR(Session& s, ByteView sx);

// "ExtractWS": unpacks the first selected entry and writes its data beside
// the entry's file (extension ".bin"; "untitled.bin" in the current folder
// when it has none); a patch or performance bank also gives its name list
// "WS_SR_Patchs_bankB.txt" / "WS_SR_Perfs_bankB.txt" and fills that bank of
// the name tables (banks 0-11 only), a performance map gives
// "WS_SR_Perfmap.txt" with the names the tables know. Text files go to the
// current folder.
void Extract_WS_proc(Session& s);

// "Load Mapping": fills the patch and then the performance name table from
// "WS_SR_Global_Patch.txt" and "WS_SR_Global_Perf.txt" in the current folder.
void WS_LoadMappingButton(Session& s);

// The bank requests. Each checks the boxes Channel (0-15) and, for one bank,
// "Bank" (WS_Bank, 0-11), then sends `WSSR_BankRequest` and waits for the
// bank's dump (F0 42 3n 28 4C/4D bank), which is stored, named and handed on
// (to the library when its box is on) as any message received. The wait ends
// 5 s after the last MIDI event arrived (a bank takes about 10 s to travel)
// or at Cancel; the seconds left show in TimeoutLabel.
// "Req Patch Bank" / "Req Perf Bank": the bank of the "Bank" box; no answer
// gives the box "The Wavestation did not answer: no patch bank 3 in 5 s".
void WS_ReqPatchBankClick(Session& s);
void WS_ReqPerfBankClick(Session& s);
// "All Patch" / "All Perf": banks 0-11 in turn, logging each one received
// ("Patch bank 3 received (4 of 12)"); the first bank that does not come ends
// the run (an instrument with fewer banks), logged; the box above only when
// not even bank 0 came.
void WS_AllPatchClick(Session& s);
void WS_AllPerfClick(Session& s);

}  // namespace tolvex
