// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/triton/triton_naming.h"

#include "core/sysex/naming_tables.h"
#include "devices/common/korg_naming.h"
#include "devices/triton/triton_params.h"

namespace tolvex {

namespace {

using namespace naming;

// 0x4C and 0x4D depend on the dump kind and are not in this table.
constexpr IdText kFunctionRows[] = {
    {0x0D, ": Drumkit Data Dump Request"},
    {0x0E, ": Global Data Dump Request"},
    {0x0F, ": All Data (Prog,Combi,Global,Drums,Arppat,Seq) Dump Request"},
    {0x10, ": Current Program Parameter Dump Request"},
    {0x11, ": Program Write Request"},
    {0x12, ": Mode Request"},
    {0x18, ": Sequence Data Dump Request"},
    {0x19, ": Current Combination Parameter Dump Request"},
    {0x1A, ": Combination Write Request"},
    {0x1C, ": Program Parameter Dump Request"},
    {0x1D, ": Combination Parameter Dump Request"},
    {0x21, ": WRITE COMPLETED "},
    {0x22, ": WRITE ERROR"},
    {0x23, ": DATA LOAD COMPLETED (ACK) "},
    {0x24, ": DATA LOAD ERROR (NAC)"},
    {0x26, ": MIDI IN DATA FORMAT ERROR"},
    {0x34, ": Arpeggio Pattern Data Dump Request"},
    {0x40, ": Current Program Dump"},
    {0x41, ": Parm "},
    {0x42, ": Mode Data"},
    {0x48, ": Sequence Data Dump"},
    {0x49, ": Current Combination Dump"},
    {0x4E, ": Mode Change"},
    {0x50, ": All Data (Prog,Combi,Global,Drums,Arppat,Seq) Dump"},
    {0x51, ": Global Data Dump"},
    {0x52, ": Drumkit Data Dump"},
    {0x53, ": Drumkit Parameter Change"},
    {0x69, ": Arpeggio Pattern Data Dump"},
    {0x6D, ": Arpeggio Pattern Parameter Change"},
};

constexpr const char* kProgramDumps[4] = {": Program Dump IA-IE", ": Program Bank Dump", ": One Program Dump",
                                          ": All Program Dump"};
constexpr const char* kCombiDumps[4] = {": Combination Dump IA-ID", ": Combination Bank Dump", ": One Combination Dump",
                                        ": All Combination Dump"};

constexpr ByIdTable kFunctions = byId(kFunctionRows);

void nameFunction(ByteView sx, NameParts& out)
{
    const std::uint8_t function = sx[4];
    if (function == 0x4C || function == 0x4D) {
        if (sx.size() <= 6) return;
        // Bits 5-4 of the bank byte hold the dump kind (bank, one, all).
        const unsigned kind = (sx[6] >> 4) & 3;
        out.name += function == 0x4C ? kProgramDumps[kind] : kCombiDumps[kind];
        return;
    }
    const char* text = kFunctions[function];
    if (!text) return;
    out.name += text;
    if (function == 0x41) out.name += TriParamParse(sx, out.shortDesc);
}

}  // namespace

MessageNamer tritonNamer()
{
    return korgModelNamer(0x50, "Triton", nameFunction);
}

}  // namespace tolvex
