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

}  // namespace tolvex
