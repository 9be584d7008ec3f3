// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/wavestation/wavestation_naming.h"

#include "core/sysex/naming_tables.h"
#include "devices/common/korg_naming.h"

namespace tolvex {

namespace {

using namespace naming;

constexpr IdText kFunctionRows[] = {
    {0x06, " : Multi Mode Setup Dump Request"},
    {0x07, " : Performance Map Dump Request"},
    {0x08, " : Micro Tune Scales Dump Request"},
    {0x0C, " : Wave Sequence Data Dump Request"},
    {0x0E, " : System Setup Dump Request"},
    {0x0F, " : All Data Dump Request"},
    {0x10, " : Single Patch Dump Request"},
    {0x11, " : Patch Write Command"},
    {0x19, " : Single Performance Dump Request"},
    {0x1A, " : Performance Write Command"},
    {0x1C, " : All Patch Dump Request"},
    {0x1D, " : All Performance Dump Request"},
    {0x21, " : Write Complete Message"},
    {0x22, " : Write Error Message"},
    {0x23, " : Data Load Completed"},
    {0x24, " : Data Load Error"},
    {0x40, " : Single Patch Dump"},
    {0x41, " : Parameter Change Message"},
    {0x42, " : Parameter Change Message Expanded"},
    {0x43, " : Parameter Change Message SR Expanded"},
    {0x49, " : Single Performance Dump"},
    {0x4C, " : All Patch Dump (within bank)"},
    {0x4D, " : All Performance Dump (within bank)"},
    {0x50, " : All Data Dump"},
    {0x51, " : System Setup Dump"},
    {0x54, " : All Wave Sequence Dump"},
    {0x55, " : Multi Mode Setup Dump"},
    {0x5A, " : Micro Tune Scales Dump"},
    {0x5B, " : Multi Mode Setup Select"},
    {0x5C, " : System Setup Dump Expanded"},
    {0x5D, " : Performance Map Dump"},
    {0x5E, " : Multi Mode Setup Dump Expanded"},
    {0x5F, " : Performance Map Dump Expanded"},
    {0x60, " : Performance Map Dump SR Expanded"},
    {0x61, " : System Setup Dump SR Expanded"},
    {0x62, " : Multi Mode Setup Dump SR Expanded"},
    {0x63, " : Multi Mode Setup Select SR Expanded"},
};

constexpr ByIdTable kFunctions = byId(kFunctionRows);

}  // namespace

MessageNamer wavestationNamer()
{
    return korgModelNamer(0x28, "Wavestation", [](ByteView sx, NameParts& out) {
        if (const char* text = kFunctions[sx[4]]) out.name += text;
    });
}

}  // namespace tolvex
