// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any file reads; what is written reads back equal.
#include <cstdio>

#include "core/text/ini_file.h"
#include "fuzz_common.h"

using namespace tolvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::asFile(data, size, ".ini");
    IniFile ini(path);
    const std::string value = ini.ReadString("Settings", "Channel", "none");
    (void)ini.ReadInteger("Settings", "LongTimeOut", 100);
    (void)ini.ReadBool("Settings", "Filter7F");
    ini.WriteString("Settings", "Channel", "12");
    ini.WriteString("Fuzz", "Key", "value with = and ;");
    try {
        ini.UpdateFile();
    } catch (const TolvexError&) {
        return 0;
    }
    const IniFile again(path);
    fuzz::require(again.ReadString("Settings", "Channel", "") == "12");
    fuzz::require(again.ReadString("Fuzz", "Key", "") == "value with = and ;");
    std::remove(path.c_str());
    (void)value;
    return 0;
}
