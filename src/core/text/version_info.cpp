// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/version_info.h"

#include <array>

// The build passes the project's version (CMakeLists.txt); there is no second copy here.
#ifndef TOLVEX_FILE_VERSION
#error "TOLVEX_FILE_VERSION comes from the build"
#endif

namespace tolvex {

const VersionRecord& programVersionRecord()
{
    static const VersionRecord record = {
        {"FileDescription", "MIDI SysEx librarian and converter"},
        {"FileVersion", TOLVEX_FILE_VERSION},
        {"InternalName", "Tolvex"},
        {"ProductName", "Tolvex"},
        {"ProductVersion", TOLVEX_FILE_VERSION},
    };
    return record;
}

std::string GetExeVersion(int InfoNum, const VersionRecord* record)
{
    static constexpr std::array<const char*, 10> keys = {
        "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
        "LegalTradeMarks", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};
    if (record == nullptr) return "No version information found";
    if (InfoNum < 1 || InfoNum > 10) return "";
    const std::string key = keys[static_cast<std::size_t>(InfoNum - 1)];
    const auto it = record->find(key);
    if (it == record->end()) return "";
    return key + " = " + it->second + " ";
}

}  // namespace tolvex
