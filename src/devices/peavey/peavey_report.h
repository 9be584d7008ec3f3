// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the SP tools write: a directory status or list from "SP>File",
// and the bank report of a bank read into the object tree. Lines end in CR LF.
#pragma once

#include <cstdint>
#include <string>

#include "devices/peavey/peavey_sysex.h"

namespace tolvex {

// The status row of object type `type` (0-6): a heading line, then one line per value.
std::string PV_DirStatusText(const PeaveyRecords& rec, int type);
// Every line of PV_SP_dir_list.
std::string PV_DirListText(const PeaveyRecords& rec);

// The line of layer `lyr` (1 = A, 2 = B) of `preset`, with its line end, or
// "" when the preset's mode leaves that layer out.
std::string Layer_Process(const TPV_Bank_Object& bank, const TPV_Preset_Obj& preset, int lyr);

// The bank report: heading (with `banknum` when it is 0 or more), presets,
// maps, tones and waves. A zone whose tone, or a tone whose wave, is not in
// the bank (or is a placeholder) shows "----none----" for its name.
std::string PV_BankReport(const TPV_Bank_Object& bank, std::int32_t banknum, const std::string& bankName);

}  // namespace tolvex
