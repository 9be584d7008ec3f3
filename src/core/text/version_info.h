// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own version record and the texts read from it.
#pragma once

#include <map>
#include <string>

namespace tolvex {

// Key/value strings of a version record (for example "FileVersion" -> "1.6.0").
using VersionRecord = std::map<std::string, std::string>;

// The record compiled into this program.
const VersionRecord& programVersionRecord();

// InfoNum 1..10 selects CompanyName, FileDescription, FileVersion, InternalName,
// LegalCopyright, LegalTradeMarks, OriginalFileName, ProductName, ProductVersion,
// Comments. Found: key + " = " + value + " "; key missing: ""; no record at all
// (record == nullptr): "No version information found".
std::string GetExeVersion(int InfoNum, const VersionRecord* record = &programVersionRecord());

}  // namespace tolvex
