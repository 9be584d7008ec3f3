// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the SP page: "SP>File", reading the bank the SP has loaded
// into a report, loading a bank, and reading a range of disk banks. The
// exchanges wait through the shell, so a test's virtual clock drives them.
#pragma once

#include <cstdint>
#include <string>

#include "core/text/bytes.h"

namespace tolvex {

class Session;

// Requests, with the device byte `devid` (the commands send 7F).
Bytes PV_DirStatusRequest(std::uint8_t devid, std::uint8_t type);
Bytes PV_DumpRequest(std::uint8_t devid, std::uint8_t type, std::uint32_t object);
Bytes PV_LoadBankRequest(std::uint8_t devid, std::uint8_t scsiID, std::uint32_t bank);
Bytes PV_BankNameRequest(std::uint8_t devid);

// "SP>File": each selected entry decoded; a directory status or list to the
// entry's file with extension .txt (lists accumulate over the run), an
// object dump's data to "<file without extension>[Type].bin".
void PV_SPtoFile(Session& s);

// Reads the waves, tones, maps and presets of the loaded bank into
// PV_Bank_Object. False, after its box, when an exchange fails; false
// without a box when a dump had an unexpected length (the debug file says which).
bool Read_PV_SP_preset_data(Session& s, std::int32_t chan, std::uint8_t devid);

// Reads the bank and writes "PV_SP_Preset_Data" + name_suf + ".txt" in the
// current folder; banknum below 0 leaves the number out of the heading.
// True when the report was written.
bool Rd_PV_SP_bank_proc(Session& s, const std::string& name_suf, std::int32_t banknum);

// The bank name from the SP; "" after a box when it does not answer.
std::string PV_Get_Bank_Name(Session& s, std::uint8_t devID);

enum class PVLoadResult { Loaded, Refused, TimedOut };
// Asks the SP to load `bank` from disk device `scsiID`, waiting LongTimeOutVal
// seconds with the countdown in TimeoutLabel. Logs "Bank Loaded OK" or
// "Error Loading Bank"; a time-out is left to the caller.
PVLoadResult PV_Load_Bank(Session& s, std::uint8_t devID, std::uint8_t scsiID, std::uint32_t bank);

void PV_SP_Load_Bank(Session& s);       // "SP Load Bank"
void PV_SP_Load_All_Banks(Session& s);  // "Read all SP Banks"

// The controls of the "SP" page, as the session keys their values and the window names its widgets.
namespace ctl {
inline constexpr char SP_DevID_edit[] = "SP_DevID_edit", SP_Bank_Num_edit[] = "SP_Bank_Num_edit";
}

}  // namespace tolvex
