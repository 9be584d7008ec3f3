// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file, read from memory: any text reads; the keys written read
// back equal, and what is written reads and writes again to the same text.
#include <sstream>

#include "core/text/ini_file.h"
#include "fuzz_common.h"

using namespace tolvex;

namespace {

std::string written(const IniFile& ini)
{
    std::ostringstream out;
    ini.write(out);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    IniFile ini("fuzz.ini", in);
    (void)ini.ReadString("Settings", "Channel", "none");
    (void)ini.ReadInteger("Settings", "LongTimeOut", 100);
    (void)ini.ReadBool("Settings", "Filter7F");
    ini.WriteString("Settings", "Channel", "12");
    ini.WriteString("Fuzz", "Key", "value with = and ;");
    ini.WriteBool("settings", "Filter7F", true);
    const std::string text = written(ini);
    std::istringstream back(text);
    const IniFile again("fuzz.ini", back);
    fuzz::require(again.ReadString("Settings", "Channel", "") == "12");
    fuzz::require(again.ReadString("Fuzz", "Key", "") == "value with = and ;");
    fuzz::require(again.ReadBool("Settings", "Filter7F"));
    fuzz::require(written(again) == text);
    return 0;
}
